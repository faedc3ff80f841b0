// A small Windows program that drives and reads the running Vodu Tavisto window through
// the window system, for the end-to-end tests under Wine. One command per run:
//
//   driver wait-window TITLE SECONDS       exit 0 once a window has that title
//   driver wait-gone TITLE SECONDS         exit 0 once no window has that title
//   driver wait-line TEXT SECONDS          exit 0 once a log line contains TEXT
//   driver items                           prints "N items", then the log lines
//   driver wait-count TEXT N SECONDS       exit 0 once N log lines contain TEXT
//   driver power-resume                    sends WM_POWERBROADCAST (resumed) to the window
//   driver set-event NAME                  sets the named event (test builds watch one)
//   driver hold-file PATH SECONDS          keeps the file open without delete sharing
//                                          meanwhile, as windows_exporter does while it reads
//   driver wait-disabled SECONDS           exit 0 once "Exit" is disabled
//   driver button-enabled                  prints 1 or 0
//   driver click-exit                      BM_CLICK on "Exit"
//   driver hold-window TITLE SECONDS [hidden|minimised]
//                                          a window with that title meanwhile, shown
//                                          (by default), hidden or minimised
//   driver resize WIDTH HEIGHT             resizes the main window (pixels) and prints
//                                          outer size, list and button rects in twips
//   driver message-box                     prints the text of the error message box
//   driver dismiss-message-box             presses its OK button
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const Caption = "Vodu Tavisto";

HWND MainWindow() {
  // The program's window is of its own class; a message box with the same title is not.
  return ::FindWindowA("VoduTavistoMainWindow", Caption);
}

HWND Child(HWND parent, const char* className) {
  return parent == nullptr ? nullptr : ::FindWindowExA(parent, nullptr, className, nullptr);
}

bool WaitFor(bool (*condition)(const char*), const char* argument, double seconds) {
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds * 1000);
  while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
    if (condition(argument)) return true;
    ::Sleep(100);
  }
  return condition(argument);
}

std::vector<std::string> Items() {
  std::vector<std::string> items;
  HWND list = Child(MainWindow(), "LISTBOX");
  if (list == nullptr) return items;
  const LRESULT count = ::SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    // The list is a wide window; its text is read wide and shown in the code page.
    wchar_t text[1024] = {};
    const LRESULT length = ::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    if (length >= 0 && length < 1024) {
      ::SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    }
    char narrow[4096] = {};
    ::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow, sizeof narrow, nullptr, nullptr);
    items.push_back(narrow);
  }
  return items;
}

bool ButtonDisabled(const char*) {
  HWND button = Child(MainWindow(), "BUTTON");
  return button != nullptr && !::IsWindowEnabled(button);
}

bool WindowExists(const char* title) {
  return ::FindWindowA(nullptr, title) != nullptr;
}
bool WindowGone(const char* title) {
  return !WindowExists(title);
}
bool LineLogged(const char* text) {
  for (const std::string& item : Items()) {
    if (item.find(text) != std::string::npos) return true;
  }
  return false;
}

HWND MessageBoxWindow() {
  return ::FindWindowA("#32770", Caption);
}

double Twips(int pixels, int dpi) {
  return pixels * 1440.0 / dpi;
}

int Resize(int width, int height) {
  HWND window = MainWindow();
  if (window == nullptr) return 2;
  ::SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
  ::Sleep(500);
  HDC screen = ::GetDC(nullptr);
  const int dpiX = ::GetDeviceCaps(screen, LOGPIXELSX);
  const int dpiY = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  RECT outer{};
  ::GetWindowRect(window, &outer);
  std::printf("dpi %d %d\n", dpiX, dpiY);
  std::printf("window %.0f %.0f\n", Twips(outer.right - outer.left, dpiX),
              Twips(outer.bottom - outer.top, dpiY));
  for (const char* className : {"LISTBOX", "BUTTON"}) {
    HWND control = Child(window, className);
    RECT rect{};
    ::GetWindowRect(control, &rect);
    POINT topLeft{rect.left, rect.top};
    ::ScreenToClient(window, &topLeft);
    std::printf("%s %.0f %.0f %.0f %.0f\n", className, Twips(topLeft.x, dpiX),
                Twips(topLeft.y, dpiY), Twips(rect.right - rect.left, dpiX),
                Twips(rect.bottom - rect.top, dpiY));
  }
  return 0;
}

int HoldWindow(const char* title, double seconds, const char* how) {
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = ::DefWindowProcA;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "VoduE2eHeldWindow";
  ::RegisterClassA(&windowClass);
  HWND window = ::CreateWindowA("VoduE2eHeldWindow", title, WS_OVERLAPPEDWINDOW, 600, 400, 200, 100,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  const std::string state = how != nullptr ? how : "";
  if (state == "minimised") {
    ::ShowWindow(window, SW_SHOWMINIMIZED);
  } else if (state != "hidden") {
    ::ShowWindow(window, SW_SHOWNORMAL);
  }
  std::printf("holding %s\n", title);
  std::fflush(stdout);
  const DWORD end = ::GetTickCount() + static_cast<DWORD>(seconds * 1000);
  while (static_cast<LONG>(end - ::GetTickCount()) > 0) {
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
    ::Sleep(20);
  }
  ::DestroyWindow(window);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string command = argv[1];
  const double seconds = argc > 3 ? std::atof(argv[3]) : 0;
  if (command == "wait-window" && argc > 3) return WaitFor(WindowExists, argv[2], seconds) ? 0 : 1;
  if (command == "wait-gone" && argc > 3) return WaitFor(WindowGone, argv[2], seconds) ? 0 : 1;
  if (command == "wait-line" && argc > 3) return WaitFor(LineLogged, argv[2], seconds) ? 0 : 1;
  if (command == "wait-disabled" && argc > 2) {
    return WaitFor(ButtonDisabled, nullptr, std::atof(argv[2])) ? 0 : 1;
  }
  if (command == "items") {
    const std::vector<std::string> items = Items();
    if (MainWindow() == nullptr) return 1;
    std::printf("%u items\n", static_cast<unsigned>(items.size()));
    for (const std::string& item : items) std::printf("%s\n", item.c_str());
    return 0;
  }
  if (command == "wait-count" && argc > 4) {
    const DWORD end = ::GetTickCount() + static_cast<DWORD>(std::atof(argv[4]) * 1000);
    for (;;) {
      int count = 0;
      for (const std::string& item : Items()) {
        if (item.find(argv[2]) != std::string::npos) ++count;
      }
      if (count >= std::atoi(argv[3])) return 0;
      if (static_cast<LONG>(end - ::GetTickCount()) <= 0) {
        std::printf("%d\n", count);
        return 1;
      }
      ::Sleep(100);
    }
  }
  if (command == "power-resume") {
    HWND window = MainWindow();
    if (window == nullptr) return 1;
    ::PostMessageA(window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    return 0;
  }
  if (command == "set-event" && argc > 2) {
    HANDLE event = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (event == nullptr) return 1;
    const BOOL set = ::SetEvent(event);
    ::CloseHandle(event);
    return set ? 0 : 1;
  }
  if (command == "hold-file" && argc > 3) {
    HANDLE file = ::CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    std::printf("holding %s\n", argv[2]);
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(seconds * 1000));
    ::CloseHandle(file);
    return 0;
  }
  // Whether the program's window answers a message within a second, as Windows tells a
  // window that is "Not responding".
  if (command == "answers") {
    HWND window = MainWindow();
    DWORD_PTR result = 0;
    return window != nullptr && ::SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                                      &result) != 0
               ? 0
               : 1;
  }
  if (command == "button-enabled") {
    HWND button = Child(MainWindow(), "BUTTON");
    if (button == nullptr) return 1;
    std::printf("%d\n", ::IsWindowEnabled(button) ? 1 : 0);
    return 0;
  }
  if (command == "click-exit") {
    HWND button = Child(MainWindow(), "BUTTON");
    if (button == nullptr) return 1;
    ::PostMessageA(button, BM_CLICK, 0, 0);
    return 0;
  }
  if (command == "hold-window" && argc > 3)
    return HoldWindow(argv[2], seconds, argc > 4 ? argv[4] : nullptr);
  if (command == "resize" && argc > 3) return Resize(std::atoi(argv[2]), std::atoi(argv[3]));
  if (command == "message-box") {
    HWND box = MessageBoxWindow();
    if (box == nullptr) return 1;
    char text[1024] = {};
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    std::printf("%s\n", text);
    return 0;
  }
  if (command == "dismiss-message-box") {
    HWND box = MessageBoxWindow();
    if (box == nullptr) return 1;
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    return 0;
  }
  return 2;
}
