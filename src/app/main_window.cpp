#include "app/main_window.h"

#include <cstdlib>

#include "app/event_log.h"
#include "app/layout.h"
#include "config/configuration.h"
#include "platform/error.h"
#include "shares/check_schedule.h"
#include "windows/instance_guard.h"
#include "windows/window_watch.h"

namespace vt {

const wchar_t* const MainWindowCaption = L"Vodu Tavisto";

namespace {

constexpr std::uint32_t LightGrey = 0xC0C0C0;

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (; *text != '\0'; ++text) wide.push_back(static_cast<unsigned char>(*text));
  return wide;
}

// Every event runs on its own: an error that escapes its handler is shown, naming it,
// and ends the process; it never reaches the code that happened to yield to the event.
template <typename Handler>
void RunHandler(MainWindow& window, Handler handler) {
  try {
    handler();
    return;
  } catch (const ProgramError& error) {
    window.platform.ReportUncaughtError(error.Message());
  } catch (const std::exception& error) {
    window.platform.ReportUncaughtError(Widen(error.what()));
  }
  window.platform.EndProcess();
}

}  // namespace

WindowProperties MainWindowProperties() {
  WindowProperties properties;
  properties.caption = MainWindowCaption;
  properties.backgroundRgb = LightGrey;
  properties.clientSize = {7440, 2490};
  properties.listRect = {60, 150, 5325, 1815};
  properties.buttonRect = {5085, 2085, 990, 330};
  properties.buttonCaption = L"Exit";
  properties.timers[0] = {TimerId::TimerStart, TimerStartIntervalMs};
  properties.timers[1] = {TimerId::TimerUpdate, TimerUpdateIntervalMs};
  properties.timers[2] = {TimerId::TimerWebBrowser, TimerWebBrowserIntervalMs};
  return properties;
}

void MainWindow::OnTimer(TimerId timer) {
  RunHandler(*this, [this, timer] {
    switch (timer) {
      case TimerId::TimerStart:
        TimerStart_Timer(*this);
        break;
      case TimerId::TimerUpdate:
        TimerUpdate_Timer(*this);
        break;
      case TimerId::TimerWebBrowser:
        TimerWebBrowser_Timer(*this);
        break;
    }
  });
}

void MainWindow::OnButtonClick() {
  RunHandler(*this, [this] { ShutDown(*this); });
}

void MainWindow::OnResize() {
  RunHandler(*this, [this] { Form_Resize(*this); });
}

void MainWindow::OnTeardown() {
  RunHandler(*this, [this] { ShutDown(*this); });
}

void Launch(MainWindow& window) {
  window.platform.CreateMainWindow(MainWindowProperties(), window);
  RunHandler(window, [&window] { StartUp(window); });
  window.platform.ShowMainWindow();
}

void StartUp(MainWindow& window) {
  Platform& platform = window.platform;
  CreateLogLines(window);
  LogMessage(window, L"Initialisize");
  CollectWindowTitles(window);
  FindOtherInstance(window);
  InitDirectoryVariables(platform, window.EnvVar);
  LoadProjectSettings(platform, window.EnvVar, window.state);
  ArmWindowWatch(window);
  LoadCustomerConfiguration(platform, window.state);
  platform.EnableTimer(TimerId::TimerStart, true);
}

void ShutDown(MainWindow& window) {
  Platform& platform = window.platform;
  platform.EnableTimer(TimerId::TimerStart, false);
  platform.EnableTimer(TimerId::TimerUpdate, false);
  platform.EnableTimer(TimerId::TimerWebBrowser, false);
  platform.EndProcess();
  std::abort();  // not reached: EndProcess does not return
}

}  // namespace vt
