// When check cycles run: once 50 ms after start-up, then UpdateInterval minutes after
// the previous cycle ended; and, when RetryAfterFaultSeconds is set, early after a
// cycle with faults, the wait doubling up to the interval.
#pragma once

#include "core/app_state.h"
#include "platform/platform.h"
#include "shares/check_cycle.h"

namespace vt {

// The one-shot tick after start-up: runs the first cycle.
void OnStartTimer(Platform& platform, AppState& state);

// The one-minute tick: counts ticks and starts a cycle at the UpdateInterval-th.
void OnUpdateTimer(Platform& platform, AppState& state);

// The one-second tick of a pending early retry: starts it when its wait is over.
void OnRetryTimer(Platform& platform, AppState& state);

// Runs one cycle for what started it (the start and the schedule check every share,
// the others are early checks), records it, writes the metrics file, and schedules the
// early retry its faults call for; then the ordinary check that fell due meanwhile.
void RunCycle(Platform& platform, AppState& state, CheckTrigger trigger);

// Whether a check may begin now: none runs, and the watch of shares lists no drive
// (a check's listing of a drive the watch lists would find it busy).
bool CheckMayBegin(const AppState& state);

// The ordinary check that fell due while it could not begin, if one did.
void RunCheckThatFellDue(Platform& platform, AppState& state);

}  // namespace vt
