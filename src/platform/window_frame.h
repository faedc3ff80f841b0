// The frame a window system draws around a client area, for hosts that draw none:
// a border of 120 twips on each side and a caption bar of 330 twips.
#pragma once

#include "platform/platform.h"

namespace vt {

inline TwipsSize OuterSizeOf(TwipsSize client) {
  constexpr double FrameWidth = 2 * 120;
  constexpr double FrameHeight = 2 * 120 + 330;
  return {client.width + FrameWidth, client.height + FrameHeight};
}

}  // namespace vt
