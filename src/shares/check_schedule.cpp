#include "shares/check_schedule.h"

#include "app/main_window.h"
#include "shares/check_cycle.h"

namespace vt {

void TimerStart_Timer(MainWindow& window) {
  // Disabled as soon as its tick arrives: the first cycle yields to pending events,
  // and a second tick must not start a nested cycle.
  window.platform.EnableTimer(TimerId::TimerStart, false);
  CheckShares(window);
}

void TimerUpdate_Timer(MainWindow& window) {
  AppState& state = window.state;
  ++state.UpdateCounter;
  if (state.UpdateCounter >= state.UpdateInterval) {
    state.UpdateCounter = 0;
    CheckShares(window);
  }
}

}  // namespace vt
