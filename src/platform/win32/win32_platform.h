// The product's platform: user32, kernel32 and mpr. Wide text inside; the system code
// page (CP_ACP) at the 8-bit calls.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winsock2.h>

#include <string>

#include "platform/platform.h"
#include "platform/win32/event_sources.h"
#include "platform/win32/network_watch.h"
#include "platform/win32/share_calls.h"
#include "platform/win32/system_error.h"

namespace vt::win32 {

// Text in the system code page and back.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

class Win32Platform final : public Platform {
 public:
  explicit Win32Platform(HINSTANCE instance);

  // The message loop, with the event sources; returns only when the process is ending.
  [[noreturn]] void RunEventLoop();
  // The event handles the loop waits for beside its messages.
  EventSources& Sources() { return sources_; }

#include "platform/platform_overrides.h"

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  HWND ControlWindow(ControlId control) const;
  void OnPowerBroadcast(WPARAM event);
  // A call that may reach a share's server (see ShareCalls), the window's messages and
  // sources served while it runs.
  std::optional<ShareCalls::Answer> RunShareCall(const std::wstring& drive, std::int64_t deadlineMs,
                                                 std::function<ShareCalls::Answer()> work);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND list_ = nullptr;
  HWND button_ = nullptr;
  Brush background_;
  WindowEvents* events_ = nullptr;
  EventSources sources_;
  ShareCalls shareCalls_{sources_};
  NetworkWatch network_;
  // Resumes are told once the program watches for them.
  bool watchingPower_ = false;
  // The event log's source, registered at the first entry.
  HANDLE eventSource_ = nullptr;
  bool controlsReady_ = false;
  bool timerEnabled_[TimerCount] = {};
  unsigned timerInterval_[TimerCount] = {};
  bool errorReported_ = false;
};

}  // namespace vt::win32
