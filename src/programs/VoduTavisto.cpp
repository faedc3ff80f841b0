// The program on Windows: the real window, timers and calls.
#include "app/main_window.h"
#include "platform/win32/win32_platform.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // A drive that is not ready must fail its listing, not wait for someone to answer a
  // system dialog on a station nobody watches.
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  vt::win32::Win32Platform platform(instance);
  vt::MainWindow window(platform);
  vt::Launch(window);
  platform.RunEventLoop();
}
