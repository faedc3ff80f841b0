#include "shares/check_schedule.h"

#include <algorithm>

#include "events/system_events.h"
#include "metrics/metrics_file.h"

namespace vt {

namespace {

// After a cycle: with faults that a retry may mend, the next try comes early, first
// RetryAfterFaultSeconds after the cycle, then twice as long after each further cycle
// with faults. A wait that reaches the interval is left to the ordinary schedule, and
// a cycle without such faults returns to it.
void ScheduleRetry(Platform& platform, AppState& state, int retryableFaults) {
  const std::int32_t intervalSeconds = std::int32_t{state.UpdateInterval} * 60;
  std::int32_t wait = 0;
  if (state.RetryAfterFaultSeconds > 0 && retryableFaults > 0) {
    wait = state.RetryWaitSeconds == 0 ? state.RetryAfterFaultSeconds
                                       : std::min(state.RetryWaitSeconds * 2, intervalSeconds);
  }
  state.RetryWaitSeconds = wait;
  state.RetryCounter = 0;
  platform.EnableTimer(TimerId::RetryTimer, wait > 0 && wait < intervalSeconds);
}

}  // namespace

void RunCycle(Platform& platform, AppState& state, CheckTrigger trigger) {
  const CycleKind kind = trigger == CheckTrigger::Start || trigger == CheckTrigger::Schedule
                             ? CycleKind::Scheduled
                             : CycleKind::Early;
  platform.EnableTimer(TimerId::RetryTimer, false);
  state.CheckRunning = true;
  const std::int64_t started = platform.ElapsedMs();
  const CycleOutcome outcome = CheckShares(platform, state, kind);
  CheckRecord& record = state.Record;
  ++record.Checks[static_cast<int>(trigger)];
  record.LastEndUnixMs = platform.UnixTimeMs();
  record.LastDurationMs = std::max<std::int64_t>(0, platform.ElapsedMs() - started);
  record.StatusFileWrite = outcome.statusFileWrite;
  // What follows the check may log a line and so let events run: no other check may
  // begin before the check has been recorded and its retry scheduled.
  WriteMetricsFile(platform, state);
  ReportTransitions(platform, state);
  ScheduleRetry(platform, state, outcome.retryableFaults);
  state.Watch.SinceCheckSeconds = 0;  // the watch starts its count anew
  state.CheckRunning = false;
  RunCheckThatFellDue(platform, state);
}

bool CheckMayBegin(const AppState& state) {
  return !state.CheckRunning && !state.Watch.Running;
}

void RunCheckThatFellDue(Platform& platform, AppState& state) {
  if (!state.ScheduledCheckDue) return;
  state.ScheduledCheckDue = false;
  state.UpdateCounter = 0;
  RunCycle(platform, state, CheckTrigger::Schedule);
}

void OnStartTimer(Platform& platform, AppState& state) {
  // Disabled as soon as its tick arrives: the first cycle yields to pending events,
  // and a second tick must not start a nested cycle.
  platform.EnableTimer(TimerId::StartTimer, false);
  RunCycle(platform, state, CheckTrigger::Start);
}

void OnUpdateTimer(Platform& platform, AppState& state) {
  if (state.UpdateCounter < state.UpdateInterval) ++state.UpdateCounter;
  if (state.UpdateCounter < state.UpdateInterval) return;
  // Due while an early check or the watch yields: it follows them, never inside them.
  if (!CheckMayBegin(state)) {
    state.ScheduledCheckDue = true;
    return;
  }
  state.UpdateCounter = 0;
  RunCycle(platform, state, CheckTrigger::Schedule);
}

void OnRetryTimer(Platform& platform, AppState& state) {
  ++state.RetryCounter;
  // Due while the watch lists drives: the next tick starts it.
  if (state.RetryCounter >= state.RetryWaitSeconds && CheckMayBegin(state))
    RunCycle(platform, state, CheckTrigger::Retry);
}

}  // namespace vt
