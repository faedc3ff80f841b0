// The main window, its list box, button and timers, the message loop, and the
// window-system calls of the single-instance guard and the window watch.
#include <algorithm>
#include <vector>

#include "platform/win32/twips.h"
#include "platform/win32/win32_platform.h"

namespace vt::win32 {

namespace {

const wchar_t* const WindowClassName = L"VoduTavistoMainWindow";
constexpr int ListId = 1;
constexpr int ButtonId = 2;
// Timer ids are the TimerId values plus one (0 is not a valid id).
constexpr UINT_PTR FirstTimerId = 1;

constexpr DWORD MainWindowStyle = WS_OVERLAPPEDWINDOW;

WindowHandle HandleOf(HWND window) {
  return reinterpret_cast<WindowHandle>(window);
}
HWND WindowOf(WindowHandle handle) {
  return reinterpret_cast<HWND>(handle);
}

HWND CreateControl(HINSTANCE instance, HWND parent, const wchar_t* className, const wchar_t* text,
                   DWORD style, int id) {
  HWND control =
      ::CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
  ThrowLastErrorIf(control == nullptr, L"CreateWindowExW");
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)),
                 FALSE);
  return control;
}

// A list box answers LB_ERR or LB_ERRSPACE when it cannot take an item.
void CheckListResult(LRESULT result, const wchar_t* message) {
  if (result == LB_ERR || result == LB_ERRSPACE) {
    ThrowSystemError(message,
                     result == LB_ERRSPACE ? ERROR_NOT_ENOUGH_MEMORY : ERROR_INVALID_INDEX);
  }
}

// The outer size of a window, frame included.
TwipsSize SizeInTwips(HWND window) {
  RECT rect{};
  ThrowLastErrorIf(!::GetWindowRect(window, &rect), L"GetWindowRect");
  const ScreenDpi dpi = ReadScreenDpi();
  return {PixelsToTwips(rect.right - rect.left, dpi.x),
          PixelsToTwips(rect.bottom - rect.top, dpi.y)};
}

}  // namespace

Win32Platform::Win32Platform(HINSTANCE instance) : instance_(instance) {}

LRESULT CALLBACK Win32Platform::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32Platform*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (self->window_ == nullptr) self->window_ = window;
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT Win32Platform::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // A disabled button delivers no click, also not one sent to it as a message.
      if (LOWORD(wParam) == ButtonId && HIWORD(wParam) == BN_CLICKED &&
          ::IsWindowEnabled(button_)) {
        events_->OnExitClick();
      }
      return 0;
    case WM_TIMER: {
      const UINT_PTR index = wParam - FirstTimerId;
      // A tick already queued when its timer was disabled is dropped.
      if (index < TimerCount && timerEnabled_[index]) events_->OnTimer(static_cast<TimerId>(index));
      return 0;
    }
    case WM_SIZE:
      if (controlsReady_) events_->OnResize();
      return 0;
    case WM_DESTROY:
      events_->OnTeardown();
      return 0;
    case WM_POWERBROADCAST:
      OnPowerBroadcast(wParam);
      return TRUE;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void Win32Platform::CreateMainWindow(const WindowProperties& properties, WindowEvents& events) {
  events_ = &events;
  const COLORREF grey =
      RGB((properties.backgroundRgb >> 16) & 0xFF, (properties.backgroundRgb >> 8) & 0xFF,
          properties.backgroundRgb & 0xFF);
  background_.reset(::CreateSolidBrush(grey));
  ThrowLastErrorIf(!background_.valid(), L"CreateSolidBrush");

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProcedure;
  windowClass.hInstance = instance_;
  windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hIcon = ::LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
  windowClass.hbrBackground = background_.get();
  windowClass.lpszClassName = WindowClassName;
  ThrowLastErrorIf(::RegisterClassExW(&windowClass) == 0, L"RegisterClassExW");

  const ScreenDpi dpi = ReadScreenDpi();
  RECT outer{0, 0, TwipsToPixels(properties.clientSize.width, dpi.x),
             TwipsToPixels(properties.clientSize.height, dpi.y)};
  ThrowLastErrorIf(!::AdjustWindowRectEx(&outer, MainWindowStyle, FALSE, 0), L"AdjustWindowRectEx");
  const HWND created = ::CreateWindowExW(
      0, WindowClassName, properties.caption.c_str(), MainWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
      outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance_, this);
  ThrowLastErrorIf(created == nullptr, L"CreateWindowExW");

  list_ = CreateControl(instance_, window_, L"LISTBOX", L"",
                        WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, ListId);
  button_ = CreateControl(instance_, window_, L"BUTTON", properties.exitButtonCaption.c_str(),
                          WS_TABSTOP | BS_PUSHBUTTON, ButtonId);
  MoveControl(ControlId::LogList, properties.logListRect);
  MoveControl(ControlId::ExitButton, properties.exitButtonRect);
  for (const TimerSetting& timer : properties.timers) {
    timerInterval_[static_cast<int>(timer.id)] = timer.intervalMs;
  }
  controlsReady_ = true;
}

void Win32Platform::ShowMainWindow() {
  ::ShowWindow(window_, SW_SHOWNORMAL);
  ::UpdateWindow(window_);
  events_->OnResize();  // the layout runs at the first show whatever size messages came
}

WindowHandle Win32Platform::MainWindowHandle() {
  return HandleOf(window_);
}

void Win32Platform::ListAddItem(const std::wstring& text) {
  CheckListResult(::SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())),
                  L"LB_ADDSTRING");
}

std::wstring Win32Platform::ListItem(int index) {
  const LRESULT length = ::SendMessageW(list_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  CheckListResult(length, L"LB_GETTEXTLEN");
  std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1);
  CheckListResult(::SendMessageW(list_, LB_GETTEXT, static_cast<WPARAM>(index),
                                 reinterpret_cast<LPARAM>(text.data())),
                  L"LB_GETTEXT");
  return std::wstring(text.data());
}

void Win32Platform::ListSetItem(int index, const std::wstring& text) {
  // A list box has no "set item": the item is replaced by delete and insert.
  ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  const LRESULT deleted = ::SendMessageW(list_, LB_DELETESTRING, static_cast<WPARAM>(index), 0);
  const LRESULT inserted = ::SendMessageW(list_, LB_INSERTSTRING, static_cast<WPARAM>(index),
                                          reinterpret_cast<LPARAM>(text.c_str()));
  ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  ::InvalidateRect(list_, nullptr, TRUE);
  CheckListResult(deleted, L"LB_DELETESTRING");
  CheckListResult(inserted, L"LB_INSERTSTRING");
}

void Win32Platform::EnableExitButton(bool enabled) {
  ::EnableWindow(button_, enabled ? TRUE : FALSE);
}

void Win32Platform::EnableTimer(TimerId timer, bool enabled) {
  const int index = static_cast<int>(timer);
  if (enabled == timerEnabled_[index]) return;
  timerEnabled_[index] = enabled;
  if (enabled) {
    ThrowLastErrorIf(::SetTimer(window_, FirstTimerId + index, timerInterval_[index], nullptr) == 0,
                     L"SetTimer");
  } else {
    ::KillTimer(window_, FirstTimerId + index);
  }
}

void Win32Platform::DoEvents() {
  sources_.ServeSignalled();
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) EndProcess();
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

std::optional<ShareCalls::Answer> Win32Platform::RunShareCall(
    const std::wstring& drive, std::int64_t deadlineMs, std::function<ShareCalls::Answer()> work) {
  return shareCalls_.Run(drive, deadlineMs, std::move(work), [this](DWORD maxMs) {
    sources_.WaitForMessageOrSource(maxMs);
    DoEvents();
  });
}

void Win32Platform::RunEventLoop() {
  for (;;) {
    sources_.WaitForMessageOrSource();
    DoEvents();
  }
}

TwipsSize Win32Platform::OuterSize() {
  return SizeInTwips(window_);
}

HWND Win32Platform::ControlWindow(ControlId control) const {
  return control == ControlId::LogList ? list_ : button_;
}

TwipsSize Win32Platform::ControlSize(ControlId control) {
  return SizeInTwips(ControlWindow(control));
}

void Win32Platform::MoveControl(ControlId control, const TwipsRect& rect) {
  const ScreenDpi dpi = ReadScreenDpi();
  ThrowLastErrorIf(!::MoveWindow(ControlWindow(control), TwipsToPixels(rect.left, dpi.x),
                                 TwipsToPixels(rect.top, dpi.y), TwipsToPixels(rect.width, dpi.x),
                                 TwipsToPixels(rect.height, dpi.y), TRUE),
                   L"MoveWindow");
}

WindowHandle Win32Platform::AdjacentWindow(WindowHandle window, StackDirection direction) {
  return HandleOf(::GetWindow(WindowOf(window),
                              direction == StackDirection::Below ? GW_HWNDNEXT : GW_HWNDPREV));
}

std::wstring Win32Platform::WindowTitle(WindowHandle window, int capacity) {
  std::vector<char> buffer(static_cast<std::size_t>(std::max(capacity, 1)) + 1, '\0');
  const int count = ::GetWindowTextA(WindowOf(window), buffer.data(), capacity);
  if (count <= 0) return std::wstring();
  return Widen(std::string(buffer.data(), static_cast<std::size_t>(std::min(count, capacity - 1))));
}

WindowSearch Win32Platform::FindWindowByTitle(const std::wstring& title) {
  return WindowSearch::Of(HandleOf(::FindWindowA(nullptr, Narrow(title).c_str())));
}

void Win32Platform::EndProcess() {
  if (eventSource_ != nullptr) ::DeregisterEventSource(eventSource_);
  const UINT status = errorReported_ ? 1 : 0;
  // A thread still waiting for a server that stopped answering must not hold up the
  // end: ExitProcess would run every DLL's detach beside it.
  if (shareCalls_.AnyOutstanding()) ::TerminateProcess(::GetCurrentProcess(), status);
  ::ExitProcess(status);
}

void Win32Platform::ReportUncaughtError(const std::wstring& message) {
  errorReported_ = true;
  ::MessageBoxW(nullptr, message.c_str(), L"Vodu Tavisto", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

std::wstring Win32Platform::TimeOfDay() {
  wchar_t text[64] = {};
  ThrowLastErrorIf(::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, text, 64) == 0,
                   L"GetTimeFormatW");
  return text;
}

std::wstring Win32Platform::LocalDateTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  wchar_t text[32] = {};
  ::wsprintfW(text, L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
              now.wMinute, now.wSecond);
  return text;
}

std::int64_t Win32Platform::UnixTimeMs() {
  // FILETIME counts 100 ns since 1601-01-01.
  constexpr std::int64_t UnixEpochIn100ns = 116444736000000000LL;
  FILETIME now{};
  ::GetSystemTimeAsFileTime(&now);
  const std::int64_t since1601 =
      (static_cast<std::int64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  return (since1601 - UnixEpochIn100ns) / 10000;
}

std::int64_t Win32Platform::ElapsedMs() {
  // The performance counter exists and never fails from Windows XP on.
  LARGE_INTEGER count{};
  LARGE_INTEGER frequency{};
  ::QueryPerformanceCounter(&count);
  ::QueryPerformanceFrequency(&frequency);
  return count.QuadPart / frequency.QuadPart * 1000 +
         count.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart;
}

std::wstring Win32Platform::UpperCase(const std::wstring& text) {
  std::wstring upper(text);
  if (!upper.empty()) ::CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
  return upper;
}

}  // namespace vt::win32
