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

// A window system that has answered no lookup for this long counts as gone with the
// window: it has stopped for good.
constexpr std::int64_t SilentWindowSystemMs = 30000;

// The poll. When no window has the watched title any more (a lookup answered none, or
// the window system has answered none for SilentWindowSystemMs) it disarms itself and
// answers Gone: the program must end. A lookup without an answer is asked again at the
// next tick: a busy window system ends nothing.
WatchedWindow OnWatchTimer(Platform& platform, AppState& state);

}  // namespace vt
