// The share check cycle: test each configured share's drive, connect it when missing,
// and publish the outcome in the status file. The only writer of the status file.
#pragma once

#include <string>

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

// A scheduled cycle checks every share; an early one (a retry after faults, a check
// after a network change or a resume) leaves alone the shares whose last connect was a
// refused logon, so it can never lock an account out.
enum class CycleKind { Scheduled, Early };

// What a cycle found that decides what comes after it.
struct CycleOutcome {
  int retryableFaults = 0;       // the faults an early retry may mend (not a refused logon)
  SystemResult statusFileWrite;  // the first failure to write the status file, if any
};

// One pass over the five share slots. Disables "Exit" and the update timer while it
// runs and enables them again when it ends.
CycleOutcome CheckShares(Platform& platform, AppState& state,
                         CycleKind kind = CycleKind::Scheduled);

// The root of the slot's drive, listed as a check lists it, within ShareTimeoutSeconds;
// a listing that cannot even be tried reads as unreadable.
DriveRoot ListShareDrive(Platform& platform, const AppState& state, const ShareSlot& slot);

// Whether `reference` lies on the share `netAddress`: longer than 3 characters,
// beginning with "\\" and, upper-cased, beginning with the upper-cased address.
bool LiesOnShare(Platform& platform, const std::wstring& reference, const std::wstring& netAddress);

// The line that gives a failure's reason: "  error N: the system's text", a very long
// text cut to fit the list. (The connect step has already masked the password.)
std::wstring ReasonLine(const SystemResult& result);

}  // namespace vt
