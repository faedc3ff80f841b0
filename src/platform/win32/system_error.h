// Win32 results that are checked, and the owners of the handles the program holds.
// A failing call raises the program's error naming the call, the error number and the
// system's text: "CreateWindowExW failed: 1400 Invalid window handle."
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "platform/platform.h"

namespace vt::win32 {

// The system's text for an error number, in the user's language, on one line.
std::wstring SystemText(DWORD error);

// What kind of failure a Win32 error number is.
FailureKind FailureKindOf(DWORD error);

// A failure as the platform interface reports it: the number, the system's text and
// its kind.
SystemResult FailureOf(DWORD error);
// The same for GetLastError().
SystemResult LastFailure();
// A failure that names its call: "WSAIoctl failed: 10045 The attempted operation ...".
SystemResult CallFailure(const wchar_t* call, DWORD error);

// Raises the program's error for `call` with `error` and its text.
[[noreturn]] void ThrowSystemError(const wchar_t* call, DWORD error);

// When `failed`, raises the program's error for `call` with GetLastError().
void ThrowLastErrorIf(bool failed, const wchar_t* call);

// Owns a handle and releases it on every path. `Traits` names the empty value
// (`None()`) and the release (`Release(handle)`).
template <typename Traits>
class Owner {
 public:
  using Handle = decltype(Traits::None());
  explicit Owner(Handle handle = Traits::None()) : handle_(handle) {}
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  ~Owner() { reset(); }
  Handle get() const { return handle_; }
  bool valid() const { return handle_ != Traits::None(); }
  void reset(Handle handle = Traits::None()) {
    if (valid()) Traits::Release(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_;
};

struct FindTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static void Release(HANDLE handle) { ::FindClose(handle); }
};
struct BrushTraits {
  static HBRUSH None() { return nullptr; }
  static void Release(HBRUSH brush) { ::DeleteObject(brush); }
};

struct FileTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static void Release(HANDLE file) { ::CloseHandle(file); }
};

struct KernelObjectTraits {
  static HANDLE None() { return nullptr; }
  static void Release(HANDLE object) { ::CloseHandle(object); }
};

// A search handle of FindFirstFileA.
using FindHandle = Owner<FindTraits>;
// A file the program opened.
using File = Owner<FileTraits>;
// An event or a thread the program created.
using KernelObject = Owner<KernelObjectTraits>;
// A brush the program created.
using Brush = Owner<BrushTraits>;

// The screen's device context, for as long as it is needed.
class ScreenDc {
 public:
  ScreenDc();
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() { ::ReleaseDC(nullptr, dc_); }
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

}  // namespace vt::win32
