#include "shares/change_checks.h"

#include "core/event_log.h"
#include "shares/check_schedule.h"

namespace vt {

namespace {

void Check(Platform& platform, AppState& state, const wchar_t* why, CheckTrigger trigger) {
  LogMessage(platform, state, why);
  RunCycle(platform, state, trigger);
}

}  // namespace

void ArmChangeChecks(Platform& platform, AppState& state) {
  if (!state.CheckOnNetworkChange) return;
  // Armed once, at start-up: a watch that cannot be set up is said this once.
  const SystemResult watched = platform.WatchNetworkAndPower();
  if (!watched.Succeeded())
    LogMessage(platform, state, L"Fault by network watch: " + watched.reason);
}

void OnSystemEvent(Platform& platform, AppState& state, SystemEvent event) {
  if (!state.CheckOnNetworkChange) return;
  ChangeChecks& changes = state.Changes;
  if (!changes.BurstPending) {
    changes.BurstPending = true;
    changes.SinceBurstStartMs = 0;
    changes.BurstHasResume = false;
  }
  changes.SinceLastChangeMs = 0;
  if (event == SystemEvent::Resumed) {
    changes.BurstHasResume = true;
    changes.FollowUpPending = true;
    changes.SinceResumeMs = 0;
  }
  platform.EnableTimer(TimerId::ChangeTimer, true);
}

void OnChangeTimer(Platform& platform, AppState& state, std::int32_t tickMs) {
  ChangeChecks& changes = state.Changes;
  if (changes.BurstPending) {
    changes.SinceBurstStartMs += tickMs;
    changes.SinceLastChangeMs += tickMs;
  }
  if (changes.FollowUpPending) changes.SinceResumeMs += tickMs;
  // A check that runs now (this tick came while it yields) is not interrupted, nor is the
  // watch of shares: what is due waits for their end.
  if (!CheckMayBegin(state)) return;
  // The tick after a change counts a whole tick: more than the quiet time counted is at
  // least the quiet time passed.
  if (changes.BurstPending && (changes.SinceLastChangeMs > ChangeQuietMs ||
                               changes.SinceBurstStartMs >= ChangeBurstCapMs)) {
    changes.BurstPending = false;
    if (changes.BurstHasResume) {
      Check(platform, state, L"Resumed", CheckTrigger::Resume);
    } else {
      Check(platform, state, L"Network changed", CheckTrigger::NetworkChange);
    }
  } else if (changes.FollowUpPending && changes.SinceResumeMs >= ResumeFollowUpMs) {
    changes.FollowUpPending = false;
    Check(platform, state, L"Resumed 30 s ago", CheckTrigger::Resume);
  }
  if (!changes.BurstPending && !changes.FollowUpPending)
    platform.EnableTimer(TimerId::ChangeTimer, false);
}

}  // namespace vt
