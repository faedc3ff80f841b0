// Checks early when the network changes or the station resumes from sleep, when the
// station asks for it (CheckOnNetworkChange): the status file is then fresh within
// seconds instead of at the next ordinary check.
//
// A check comes once the network has been quiet for 3 s, and at most 15 s after the
// first change of a burst, so a storm of changes gives one check. A change while a check
// runs asks for one more after it. A resume gives a check, and one more 30 s later (the
// network is often not ready at the moment of resume). These checks leave out the shares
// whose last connect was a refused logon, and leave the ordinary schedule's minute count
// as it is. Before each the log says why: "Network changed", "Resumed".
#pragma once

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

constexpr std::int32_t ChangeQuietMs = 3000;
constexpr std::int32_t ChangeBurstCapMs = 15000;
constexpr std::int32_t ResumeFollowUpMs = 30000;

// Starts the platform's watch when the station asks for it; a watch that cannot be set
// up is said once in the log, and the checks go on by the schedule.
void ArmChangeChecks(Platform& platform, AppState& state);

// A network change or a resume that the platform reported.
void OnSystemEvent(Platform& platform, AppState& state, SystemEvent event);

// The change timer's tick while a change check is pending: counts the time and starts
// the check when it is due and no other check runs.
void OnChangeTimer(Platform& platform, AppState& state, std::int32_t tickMs);

}  // namespace vt
