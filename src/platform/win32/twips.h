// Twips (1/1440 inch) and pixels, through the screen's logical DPI.
#pragma once

#include <windows.h>

namespace vt::win32 {

struct ScreenDpi {
  int x;
  int y;
};

ScreenDpi ReadScreenDpi();
int TwipsToPixels(double twips, int dpi);
double PixelsToTwips(int pixels, int dpi);

}  // namespace vt::win32
