#include "shares/check_schedule.h"

#include "shares/check_cycle.h"

namespace vt {

void OnStartTimer(Platform& platform, AppState& state) {
  // Disabled as soon as its tick arrives: the first cycle yields to pending events,
  // and a second tick must not start a nested cycle.
  platform.EnableTimer(TimerId::StartTimer, false);
  CheckShares(platform, state);
}

void OnUpdateTimer(Platform& platform, AppState& state) {
  ++state.UpdateCounter;
  if (state.UpdateCounter >= state.UpdateInterval) {
    state.UpdateCounter = 0;
    CheckShares(platform, state);
  }
}

}  // namespace vt
