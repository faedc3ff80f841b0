// When check cycles run: once 50 ms after start-up, then UpdateInterval minutes after
// the previous cycle ended.
#pragma once

namespace vt {

struct MainWindow;

// The one-shot after start-up.
void TimerStart_Timer(MainWindow& window);

// The one-minute tick: counts ticks and starts a cycle at the UpdateInterval-th.
void TimerUpdate_Timer(MainWindow& window);

}  // namespace vt
