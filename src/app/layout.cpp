#include "app/layout.h"

#include <algorithm>

#include "portable/text_rules.h"

namespace vt {

namespace {

constexpr double ButtonRightMargin = 180;
constexpr double ButtonBottomMargin = 450;
constexpr double ListLeft = 60;
constexpr double ListTop = 150;
constexpr double ListWidthAllowance = 240;
constexpr double Int16Max = 32767;

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

void ArrangeWindow(Platform& platform) {
  const ControlLayout layout =
      ArrangeControls(platform.OuterSize(), platform.ControlSize(ControlId::ExitButton));
  platform.MoveControl(ControlId::ExitButton, layout.button);
  platform.MoveControl(ControlId::LogList, layout.list);
}

}  // namespace vt
