#include "windows/window_watch.h"

#include <cstdint>

namespace vt {

const wchar_t* const StudioWindowTitle = L"DERuvezo";
const wchar_t* const BrowserWindowTitle = L"Vwwebbrowser";

void ArmWindowWatch(Platform& platform, AppState& state) {
  state.WatchedWindowTitle = state.VWStudio ? StudioWindowTitle : BrowserWindowTitle;
  // A lookup without an answer is no window: the watch stays unarmed, as without it.
  state.WatchedWindowHandle = platform.FindWindowByTitle(state.WatchedWindowTitle).window;
  state.WatchedWindowAnsweredMs = platform.ElapsedMs();
  // The handle is read as a signed 32-bit number: one with its top bit set counts as
  // not found.
  const auto asSigned =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(state.WatchedWindowHandle));
  if (asSigned > 0) platform.EnableTimer(TimerId::WatchTimer, true);
}

WatchedWindow OnWatchTimer(Platform& platform, AppState& state) {
  switch (platform.FindWindowByTitle(state.WatchedWindowTitle).outcome) {
    case WindowSearch::Outcome::Found:
      state.WatchedWindowAnsweredMs = platform.ElapsedMs();
      return WatchedWindow::Present;
    case WindowSearch::Outcome::NoAnswer:
      if (platform.ElapsedMs() - state.WatchedWindowAnsweredMs < SilentWindowSystemMs)
        return WatchedWindow::Present;
      break;
    case WindowSearch::Outcome::None:
      break;
  }
  platform.EnableTimer(TimerId::WatchTimer, false);
  return WatchedWindow::Gone;
}

}  // namespace vt
