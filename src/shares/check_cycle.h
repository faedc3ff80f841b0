// The share check cycle: test each configured share's drive, connect it when missing,
// and publish the outcome in the status file. The only writer of the status file.
#pragma once

#include <string>

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

// One pass over the five share slots. Disables "Exit" and the update timer while it
// runs and enables them again when it ends.
void CheckShares(Platform& platform, AppState& state);

// Whether `reference` lies on the share `netAddress`: longer than 3 characters,
// beginning with "\\" and, upper-cased, beginning with the upper-cased address.
bool LiesOnShare(Platform& platform, const std::wstring& reference, const std::wstring& netAddress);

}  // namespace vt
