// The program's one window: its creation, start-up, shut-down and event handlers.
#pragma once

#include "app/app_state.h"
#include "config/env_vars.h"
#include "platform/platform.h"

namespace vt {

extern const wchar_t* const MainWindowCaption;  // "Vodu Tavisto"

constexpr unsigned TimerStartIntervalMs = 50;
constexpr unsigned TimerUpdateIntervalMs = 60000;
constexpr unsigned TimerWebBrowserIntervalMs = 2000;

// The window, its controls and timers as they are created.
WindowProperties MainWindowProperties();

struct MainWindow final : WindowEvents {
  explicit MainWindow(Platform& host) : platform(host) {}

  void OnTimer(TimerId timer) override;
  void OnButtonClick() override;
  void OnResize() override;
  void OnTeardown() override;

  Platform& platform;
  AppState state;
  // The directory variables live for the whole run, beside the window's own state.
  EnvVarTable EnvVar;
};

// Creates the window, runs StartUp and shows the window. An error that StartUp does
// not handle is reported and ends the process.
void Launch(MainWindow& window);

// The fixed start-up order; runs once, before the window is first shown.
void StartUp(MainWindow& window);

// Disables the three timers and ends the process; drive mappings stay.
[[noreturn]] void ShutDown(MainWindow& window);

}  // namespace vt
