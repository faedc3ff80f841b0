#include "shares/share_watch.h"

#include <vector>

#include "core/event_log.h"
#include "shares/check_cycle.h"
#include "shares/check_schedule.h"

namespace vt {

void ArmShareWatch(Platform& platform, AppState& state) {
  state.Watch = {};
  if (state.WatchSharesSeconds > 0) platform.EnableTimer(TimerId::ShareWatchTimer, true);
}

void OnShareWatchTimer(Platform& platform, AppState& state) {
  ShareWatch& watch = state.Watch;
  // A round yields while a server answers: a tick that comes inside it counts nothing.
  if (watch.Running) return;
  if (watch.SinceCheckSeconds < state.WatchSharesSeconds) ++watch.SinceCheckSeconds;
  if (watch.SinceCheckSeconds < state.WatchSharesSeconds || state.CheckRunning) return;
  watch.SinceCheckSeconds = 0;
  watch.Running = true;
  std::vector<const ShareSlot*> lost;
  for (const ShareSlot& slot : state.Shares) {
    if (slot.NetAddress.empty() || !slot.NetOK) continue;
    if (ListShareDrive(platform, state, slot) != DriveRoot::HasEntry) lost.push_back(&slot);
  }
  // The lines too let events run: a check that falls due meanwhile waits for this one.
  for (const ShareSlot* slot : lost)
    LogMessage(platform, state, L"Share lost: " + slot->NetAddress);
  watch.Running = false;
  if (!lost.empty()) {
    RunCycle(platform, state, CheckTrigger::ShareLost);
  } else {
    RunCheckThatFellDue(platform, state);
  }
}

}  // namespace vt
