#include "app/layout.h"

#include <algorithm>
#include <cmath>

#include "app/main_window.h"

namespace vt {

namespace {

constexpr double ButtonRightMargin = 180;
constexpr double ButtonBottomMargin = 450;
constexpr double ListLeft = 60;
constexpr double ListTop = 150;
constexpr double ListWidthAllowance = 240;
constexpr double Int16Max = 32767;

// Nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value) {
  const double below = std::floor(value);
  const double fraction = value - below;
  if (fraction > 0.5) return below + 1;
  if (fraction < 0.5) return below;
  return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

// A 16-bit length or position that cannot be negative.
double Clamped(double value) {
  return std::clamp(RoundHalfEven(value), 0.0, Int16Max);
}

}  // namespace

ControlLayout ArrangeControls(TwipsSize window, TwipsSize button) {
  ControlLayout layout;
  layout.button.left = Clamped(window.width - button.width - ButtonRightMargin);
  layout.button.top = RoundHalfEven(window.height - button.height - ButtonBottomMargin);
  layout.button.width = button.width;
  layout.button.height = button.height;
  layout.list.left = ListLeft;
  layout.list.top = ListTop;
  layout.list.width = Clamped(window.width - ListWidthAllowance);
  layout.list.height = Clamped(window.height - ListTop - button.height - ButtonBottomMargin);
  return layout;
}

void Form_Resize(MainWindow& window) {
  Platform& platform = window.platform;
  const ControlLayout layout =
      ArrangeControls(platform.OuterSize(), platform.ControlSize(ControlId::CommandEnde));
  platform.MoveControl(ControlId::CommandEnde, layout.button);
  platform.MoveControl(ControlId::List1, layout.list);
}

}  // namespace vt
