// Timers for hosts that keep their own (the native host, the simulated platform):
// each has an interval and is enabled or not; an enabled timer falls due an interval
// after it was enabled, and after each tick an interval from the tick, so ticks that
// were missed come as one, as WM_TIMER brings them.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/platform.h"

namespace vt {

class TimerTable {
 public:
  using Millis = std::int64_t;

  void Configure(const TimerSetting (&timers)[TimerCount]);
  void Enable(TimerId id, bool enabled, Millis now);
  bool Enabled(TimerId id) const { return timers_[Index(id)].enabled; }

  // The enabled timer that falls due first, if any; on a tie the lower id.
  std::optional<TimerId> Earliest() const;
  Millis DueAt(TimerId id) const { return timers_[Index(id)].due; }
  // Records the tick of `id` at `now`: the next one is an interval later.
  void Ticked(TimerId id, Millis now);

 private:
  struct Timer {
    unsigned intervalMs = 0;
    bool enabled = false;
    Millis due = 0;
  };
  static int Index(TimerId id) { return static_cast<int>(id); }

  Timer timers_[TimerCount];
};

}  // namespace vt
