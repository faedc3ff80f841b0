// The single-instance guard: a starting copy ends when another top-level window's
// title holds the program's marker, such as the main window of a copy that runs.
#pragma once

#include <string>

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

// Whether an upper-cased title holds "VODU TAVISTO" (the caption upper-cased) or
// "DOCU TAVISTO", anywhere in it.
bool TitleHoldsMarker(Platform& platform, const std::wstring& upperTitle);

// Records the titles of the other top-level windows, upper-cased: those below the
// main window, nearest first, then those above it.
void CollectWindowTitles(Platform& platform, AppState& state);

// Whether a recorded title holds a marker: another copy runs, and this one must end.
bool FindOtherInstance(Platform& platform, const AppState& state);

}  // namespace vt
