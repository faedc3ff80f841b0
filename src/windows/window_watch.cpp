#include "windows/window_watch.h"

#include <cstdint>

#include "app/main_window.h"

namespace vt {

const wchar_t* const StudioWindowTitle = L"DERuvezo";
const wchar_t* const BrowserWindowTitle = L"Vwwebbrowser";

void ArmWindowWatch(MainWindow& window) {
  AppState& state = window.state;
  state.WatchedWindowTitle = state.VWStudio ? StudioWindowTitle : BrowserWindowTitle;
  state.WatchedWindowHandle = window.platform.FindWindowByTitle(state.WatchedWindowTitle);
  // The handle is read as a signed 32-bit number: one with its top bit set counts as
  // not found.
  const auto asSigned =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(state.WatchedWindowHandle));
  if (asSigned > 0) window.platform.EnableTimer(TimerId::TimerWebBrowser, true);
}

void TimerWebBrowser_Timer(MainWindow& window) {
  if (window.platform.FindWindowByTitle(window.state.WatchedWindowTitle) != 0) return;
  window.platform.EnableTimer(TimerId::TimerWebBrowser, false);
  ShutDown(window);
}

}  // namespace vt
