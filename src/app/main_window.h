// The roof of the program: its one window, which starts everything and hands each
// window event to the feature it belongs to.
#pragma once

#include "config/env_vars.h"
#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

constexpr unsigned StartTimerIntervalMs = 50;
constexpr unsigned UpdateTimerIntervalMs = 60000;
constexpr unsigned WatchTimerIntervalMs = 2000;
constexpr unsigned RetryTimerIntervalMs = 1000;
constexpr unsigned ChangeTimerIntervalMs = 500;
constexpr unsigned ShareWatchTimerIntervalMs = 1000;

// The window, its controls and timers as they are created.
WindowProperties MainWindowProperties();

struct MainWindow final : WindowEvents {
  explicit MainWindow(Platform& host) : platform(host) {}

  void OnTimer(TimerId timer) override;
  void OnExitClick() override;
  void OnResize() override;
  void OnTeardown() override;
  void OnSystemEvent(SystemEvent event) override;
  void OnHostFault(const std::wstring& line) override;

  Platform& platform;
  AppState state;
  // The directory variables live for the whole run, beside the window's own state.
  EnvVarTable EnvVar;
  // An error's box shows and the process ends after it: no other event is handled.
  bool reportingError = false;
};

// Creates the window, runs StartUp and shows the window. An error on the way is
// reported and ends the process.
void Launch(MainWindow& window);

// The fixed start-up order; runs once, before the window is first shown.
void StartUp(MainWindow& window);

// Disables the timers and ends the process (the platform's EndProcess does not
// return); drive mappings stay.
void ShutDown(Platform& platform);

}  // namespace vt
