#include "windows/window_watch.h"

#include <cstdint>

namespace vt {

const wchar_t* const StudioWindowTitle = L"DERuvezo";
const wchar_t* const BrowserWindowTitle = L"Vwwebbrowser";

void ArmWindowWatch(Platform& platform, AppState& state) {
  state.WatchedWindowTitle = state.VWStudio ? StudioWindowTitle : BrowserWindowTitle;
  state.WatchedWindowHandle = platform.FindWindowByTitle(state.WatchedWindowTitle);
  // The handle is read as a signed 32-bit number: one with its top bit set counts as
  // not found.
  const auto asSigned =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(state.WatchedWindowHandle));
  if (asSigned > 0) platform.EnableTimer(TimerId::WatchTimer, true);
}

WatchedWindow OnWatchTimer(Platform& platform, const AppState& state) {
  if (platform.FindWindowByTitle(state.WatchedWindowTitle) != 0) return WatchedWindow::Present;
  platform.EnableTimer(TimerId::WatchTimer, false);
  return WatchedWindow::Gone;
}

}  // namespace vt
