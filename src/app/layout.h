// Stretching the log list over the window and keeping "Exit" in the bottom-right corner.
#pragma once

#include "platform/platform.h"

namespace vt {

struct ControlLayout {
  TwipsRect list;
  TwipsRect button;
};

// Positions for a window of outer size `window` (twips) and a button of size `button`.
// Widths, heights and the button's left are whole numbers from 0 to 32767 (clamped,
// so a huge window cannot overflow them); the button's top may be negative.
ControlLayout ArrangeControls(TwipsSize window, TwipsSize button);

// The resize handler: applies ArrangeControls to the window's current size.
void ArrangeWindow(Platform& platform);

}  // namespace vt
