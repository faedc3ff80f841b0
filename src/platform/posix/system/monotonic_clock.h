// Milliseconds on the monotonic clock: never going back, whatever the wall clock does.
#pragma once

#include <chrono>
#include <cstdint>

namespace vt::posix {

inline std::int64_t MonotonicMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace vt::posix
