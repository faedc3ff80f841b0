// The watch of reachable shares between checks (WatchSharesSeconds): a share whose
// server goes away between two checks is published as lost within seconds, not at the
// next ordinary check. Every WatchSharesSeconds seconds the drive of each share the last
// check found reachable is listed, as a check lists it; a drive that no longer answers
// (the listing fails, finds the root empty or passes its deadline) is said in the log,
// "Share lost: \\server\share", and an early check follows, as after a network change,
// which decides and publishes. The watch makes no connect and hands over no password,
// so it can never lock an account; it never runs while a check runs, a check that falls
// due while it lists waits for it, and its count starts anew after each check.
#pragma once

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

// Starts the watch's one-second tick when the station asks for a watch.
void ArmShareWatch(Platform& platform, AppState& state);

// The watch timer's tick: counts the seconds and, when they reach WatchSharesSeconds
// and no check runs, looks at the drives.
void OnShareWatchTimer(Platform& platform, AppState& state);

}  // namespace vt
