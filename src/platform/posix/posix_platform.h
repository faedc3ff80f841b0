// A host of our own for Linux and other POSIX systems. Drives and shares follow the
// layout Wine uses, so one station folder serves this host and the Windows build under
// Wine; the window system is the terminal.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/timer_table.h"

namespace vt::posix {

class PosixPlatform final : public Platform {
 public:
  // `prefix` is the Wine prefix whose dosdevices folder holds the drives; `echoLog`
  // writes each new log line to standard output.
  explicit PosixPlatform(std::string prefix, bool echoLog = true);

  // Runs timers and the teardown signals until the process ends.
  [[noreturn]] void RunEventLoop();

  // Where a Windows path lies on this host (see paths.h); empty when nowhere.
  std::string HostPathOf(const std::wstring& windowsPath) const;

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
  // Runs the teardown when SIGINT or SIGTERM has come.
  void HandleTeardownSignal();

  std::string prefix_;
  WindowEvents* events_ = nullptr;
  std::vector<std::wstring> items_;
  TimerTable timers_;
  TwipsRect listRect_{};
  TwipsRect buttonRect_{};
  TwipsSize outer_{};
  bool errorReported_ = false;
  bool echoLog_ = true;
};

}  // namespace vt::posix
