// The product's platform: user32, kernel32 and mpr. Wide text inside; the system code
// page (CP_ACP) at the 8-bit calls.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/system_error.h"

namespace vt::win32 {

// Text in the system code page and back.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

class Win32Platform final : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);

  // The message loop; returns only when the process is ending.
  [[noreturn]] void RunEventLoop();

  void CreateMainWindow(const WindowProperties& properties, WindowEvents& events) override;
  void ShowMainWindow() override;
  WindowHandle MainWindowHandle() override;
  void ListAddItem(const std::wstring& text) override;
  std::wstring ListItem(int index) override;
  void ListSetItem(int index, const std::wstring& text) override;
  void EnableExitButton(bool enabled) override;
  void EnableTimer(TimerId timer, bool enabled) override;
  void DoEvents() override;
  TwipsSize OuterSize() override;
  TwipsSize ControlSize(ControlId control) override;
  void MoveControl(ControlId control, const TwipsRect& rect) override;
  WindowHandle AdjacentWindow(WindowHandle window, StackDirection direction) override;
  std::wstring WindowTitle(WindowHandle window, int capacity) override;
  WindowHandle FindWindowByTitle(const std::wstring& title) override;
  [[noreturn]] void EndProcess() override;
  void ReportUncaughtError(const std::wstring& message) override;
  std::wstring TimeOfDay() override;
  std::wstring UpperCase(const std::wstring& text) override;
  EnvironmentLookup EnvironmentVariable(const std::wstring& name, std::size_t maxLength) override;
  std::wstring ProfileString(const std::wstring& section, const std::wstring& key,
                             const std::wstring& file, std::size_t maxLength) override;
  std::int32_t ProfileInt(const std::wstring& section, const std::wstring& key,
                          std::int32_t defaultValue, const std::wstring& file) override;
  bool ProfileWrite(const std::wstring& section, const std::wstring& key, const std::wstring& value,
                    const std::wstring& file) override;
  DriveRoot ListDriveRoot(const std::wstring& drive) override;
  ConnectResult ConnectShare(const std::wstring& drive, const std::wstring& share,
                             const std::wstring& user, const std::wstring& password) override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND ControlWindow(ControlId control) const;

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND button_ = nullptr;
  Brush background_;
  WindowEvents* events_ = nullptr;
  bool controlsReady_ = false;
  bool timerEnabled_[TimerCount] = {false, false, false};
  unsigned timerInterval_[TimerCount] = {0, 0, 0};
  bool errorReported_ = false;
};

}  // namespace vt::win32
