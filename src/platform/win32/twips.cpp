#include "platform/win32/twips.h"

#include <cmath>

#include "platform/win32/system_error.h"

namespace vt::win32 {

namespace {
constexpr double TwipsPerInch = 1440.0;
}

ScreenDpi ReadScreenDpi() {
  const ScreenDc screen;
  const ScreenDpi dpi{::GetDeviceCaps(screen.get(), LOGPIXELSX),
                      ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
  return {dpi.x > 0 ? dpi.x : 96, dpi.y > 0 ? dpi.y : 96};
}

int TwipsToPixels(double twips, int dpi) {
  return static_cast<int>(std::lround(twips * dpi / TwipsPerInch));
}

double PixelsToTwips(int pixels, int dpi) {
  return pixels * TwipsPerInch / dpi;
}

}  // namespace vt::win32
