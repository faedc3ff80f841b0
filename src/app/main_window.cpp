#include "app/main_window.h"

#include "app/layout.h"
#include "config/configuration.h"
#include "core/event_log.h"
#include "core/identity.h"
#include "events/system_events.h"
#include "platform/error.h"
#include "shares/change_checks.h"
#include "shares/check_schedule.h"
#include "shares/share_watch.h"
#include "windows/instance_guard.h"
#include "windows/window_watch.h"

namespace vt {

namespace {

constexpr std::uint32_t LightGrey = 0xC0C0C0;

std::wstring Widen(const char* text) {
  std::wstring wide;
  for (; *text != '\0'; ++text) wide.push_back(static_cast<unsigned char>(*text));
  return wide;
}

// Every event runs on its own: an error that escapes its handler is shown, naming it
// (and written to the event log first, when the station keeps one), and ends the
// process; it never reaches the code that happened to yield to the event. The box's own
// message loop still delivers the window's ticks and clicks while it shows: none of
// their handlers runs then, so one error gives one box, and nothing else happens (no
// check, no second box, no end by the window watch) before the process ends.
template <typename Handler>
void RunHandler(MainWindow& window, Handler handler) {
  if (window.reportingError) return;
  std::wstring message;
  try {
    handler();
    return;
  } catch (const ProgramError& error) {
    message = error.Message();
  } catch (const std::exception& error) {
    message = Widen(error.what());
  }
  window.reportingError = true;
  ReportFatalError(window.platform, window.state, message);
  window.platform.ReportUncaughtError(message);
  window.platform.EndProcess();
}

}  // namespace

WindowProperties MainWindowProperties() {
  WindowProperties properties;
  properties.caption = MainWindowCaption;
  properties.backgroundRgb = LightGrey;
  properties.clientSize = {7440, 2490};
  properties.logListRect = {60, 150, 5325, 1815};
  properties.exitButtonRect = {5085, 2085, 990, 330};
  properties.exitButtonCaption = L"Exit";
  properties.timers[0] = {TimerId::StartTimer, StartTimerIntervalMs};
  properties.timers[1] = {TimerId::UpdateTimer, UpdateTimerIntervalMs};
  properties.timers[2] = {TimerId::WatchTimer, WatchTimerIntervalMs};
  properties.timers[3] = {TimerId::RetryTimer, RetryTimerIntervalMs};
  properties.timers[4] = {TimerId::ChangeTimer, ChangeTimerIntervalMs};
  properties.timers[5] = {TimerId::ShareWatchTimer, ShareWatchTimerIntervalMs};
  return properties;
}

void MainWindow::OnTimer(TimerId timer) {
  RunHandler(*this, [this, timer] {
    switch (timer) {
      case TimerId::StartTimer:
        OnStartTimer(platform, state);
        break;
      case TimerId::UpdateTimer:
        OnUpdateTimer(platform, state);
        break;
      case TimerId::WatchTimer:
        if (OnWatchTimer(platform, state) == WatchedWindow::Gone) ShutDown(platform);
        break;
      case TimerId::RetryTimer:
        OnRetryTimer(platform, state);
        break;
      case TimerId::ChangeTimer:
        OnChangeTimer(platform, state, ChangeTimerIntervalMs);
        break;
      case TimerId::ShareWatchTimer:
        OnShareWatchTimer(platform, state);
        break;
    }
  });
}

void MainWindow::OnSystemEvent(SystemEvent event) {
  RunHandler(*this, [this, event] { vt::OnSystemEvent(platform, state, event); });
}

void MainWindow::OnHostFault(const std::wstring& line) {
  RunHandler(*this, [this, &line] { LogMessage(platform, state, line); });
}

void MainWindow::OnExitClick() {
  RunHandler(*this, [this] { ShutDown(platform); });
}

void MainWindow::OnResize() {
  RunHandler(*this, [this] { ArrangeWindow(platform); });
}

void MainWindow::OnTeardown() {
  RunHandler(*this, [this] { ShutDown(platform); });
}

void Launch(MainWindow& window) {
  RunHandler(window, [&window] {
    window.platform.CreateMainWindow(MainWindowProperties(), window);
    StartUp(window);
    window.platform.ShowMainWindow();
  });
}

void StartUp(MainWindow& window) {
  Platform& platform = window.platform;
  AppState& state = window.state;
  CreateLogLines(platform);
  LogMessage(platform, state, L"Initialisize");
  CollectWindowTitles(platform, state);
  // A copy that already runs goes on alone: this one ends before it reads any file.
  if (FindOtherInstance(platform, state)) platform.EndProcess();
  InitDirectoryVariables(platform, window.EnvVar);
  LoadProjectSettings(platform, window.EnvVar, state);
  ArmWindowWatch(platform, state);
  LoadCustomerConfiguration(platform, window.EnvVar, state);
  ArmChangeChecks(platform, state);
  ArmShareWatch(platform, state);
  ReportStart(platform, state);
  platform.EnableTimer(TimerId::StartTimer, true);
}

void ShutDown(Platform& platform) {
  platform.EnableTimer(TimerId::StartTimer, false);
  platform.EnableTimer(TimerId::UpdateTimer, false);
  platform.EnableTimer(TimerId::WatchTimer, false);
  platform.EnableTimer(TimerId::RetryTimer, false);
  platform.EnableTimer(TimerId::ChangeTimer, false);
  platform.EnableTimer(TimerId::ShareWatchTimer, false);
  platform.EndProcess();
}

}  // namespace vt
