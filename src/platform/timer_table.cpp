#include "platform/timer_table.h"

namespace vt {

void TimerTable::Configure(const TimerSetting (&timers)[TimerCount]) {
  for (const TimerSetting& setting : timers) timers_[Index(setting.id)] = {setting.intervalMs};
}

void TimerTable::Enable(TimerId id, bool enabled, Millis now) {
  Timer& timer = timers_[Index(id)];
  if (enabled && !timer.enabled) timer.due = now + timer.intervalMs;
  timer.enabled = enabled;
}

std::optional<TimerId> TimerTable::Earliest() const {
  std::optional<TimerId> earliest;
  for (int t = 0; t < TimerCount; ++t) {
    if (!timers_[t].enabled) continue;
    if (!earliest || timers_[t].due < timers_[Index(*earliest)].due)
      earliest = static_cast<TimerId>(t);
  }
  return earliest;
}

void TimerTable::Ticked(TimerId id, Millis now) {
  Timer& timer = timers_[Index(id)];
  timer.due = now + timer.intervalMs;
}

}  // namespace vt
