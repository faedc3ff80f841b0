// What the Windows host tells the program once it asks: address changes (network_watch.h)
// and resumes from sleep (WM_POWERBROADCAST to the main window, a top-level window).
#include "platform/win32/win32_platform.h"

namespace vt::win32 {

namespace {

// Windows 8 and later send modern-standby machines' resumes only to those who register;
// the call does not exist before, so it is looked up at run time.
void RegisterForSuspendResume(HWND window) {
  using Register = void*(WINAPI*)(HANDLE recipient, DWORD flags);
  constexpr DWORD DeviceNotifyWindowHandle = 0;
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  const auto registerNotification = reinterpret_cast<Register>(
      reinterpret_cast<void (*)()>(::GetProcAddress(user32, "RegisterSuspendResumeNotification")));
  // The registration lives as long as the process; a failure leaves the broadcast.
  if (registerNotification != nullptr) registerNotification(window, DeviceNotifyWindowHandle);
}

bool IsResume(WPARAM event) {
  return event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND ||
         event == PBT_APMRESUMECRITICAL;
}

}  // namespace

SystemResult Win32Platform::WatchNetworkAndPower() {
  watchingPower_ = true;
  RegisterForSuspendResume(window_);
#ifdef VT_FAULT_INJECTION
  // Test builds only: an event named by VODU_TEST_NETWORK_EVENT, which the end-to-end
  // driver sets, stands for a network change; it proves the loop's sources under Wine.
  wchar_t name[128] = {};
  if (::GetEnvironmentVariableW(L"VODU_TEST_NETWORK_EVENT", name, 128) > 0) {
    const HANDLE event = ::CreateEventW(nullptr, FALSE, FALSE, name);
    ThrowLastErrorIf(event == nullptr, L"CreateEventW");
    sources_.Watch(event, [this] { events_->OnSystemEvent(SystemEvent::NetworkChanged); });
  }
#endif
  return network_.Start(sources_, [this] { events_->OnSystemEvent(SystemEvent::NetworkChanged); });
}

void Win32Platform::OnPowerBroadcast(WPARAM event) {
  if (watchingPower_ && IsResume(event)) events_->OnSystemEvent(SystemEvent::Resumed);
}

}  // namespace vt::win32
