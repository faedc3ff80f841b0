// The watch on the visualisation window: the program ends when it goes away.
#pragma once

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

extern const wchar_t* const StudioWindowTitle;   // watched when VWStudio is true
extern const wchar_t* const BrowserWindowTitle;  // watched otherwise

enum class WatchedWindow { Present, Gone };

// Chooses the watched title and arms the 2-second poll when that window exists now.
void ArmWindowWatch(Platform& platform, AppState& state);

// The poll. When no window has the watched title any more it disarms itself and
// answers Gone: the program must end.
WatchedWindow OnWatchTimer(Platform& platform, const AppState& state);

}  // namespace vt
