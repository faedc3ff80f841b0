#include "platform/win32/system_error.h"

#include <lmerr.h>

#include <cstdlib>

#include "platform/error.h"

namespace vt::win32 {

namespace {

#ifdef VT_FAULT_INJECTION
// Test builds only: the call named by VODU_FAIL_CALL fails with error VODU_FAIL_ERROR
// (default 8, not enough memory), so a test can see how each failure is reported.
bool InjectedFault(const wchar_t* call) {
  wchar_t name[128] = {};
  if (::GetEnvironmentVariableW(L"VODU_FAIL_CALL", name, 128) == 0) return false;
  if (std::wstring(name) != call) return false;
  wchar_t error[16] = {};
  const DWORD code = ::GetEnvironmentVariableW(L"VODU_FAIL_ERROR", error, 16) > 0
                         ? std::wcstoul(error, nullptr, 10)
                         : ERROR_NOT_ENOUGH_MEMORY;
  ::SetLastError(code);
  return true;
}
#else
bool InjectedFault(const wchar_t*) {
  return false;
}
#endif

}  // namespace

std::wstring SystemText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 ? std::wstring(buffer, length) : L"(no text for this error)";
  if (buffer != nullptr) ::LocalFree(buffer);
  // One line: line breaks become blanks, and the trailing ones go.
  for (wchar_t& c : text) {
    if (c == L'\r' || c == L'\n') c = L' ';
  }
  const std::size_t last = text.find_last_not_of(L' ');
  return last == std::wstring::npos ? std::wstring() : text.substr(0, last + 1);
}

FailureKind FailureKindOf(DWORD error) {
  switch (error) {
    case ERROR_INVALID_PASSWORD:     // 86
    case ERROR_LOGON_FAILURE:        // 1326: unknown user name or bad password
    case ERROR_ACCOUNT_RESTRICTION:  // 1327
    case ERROR_PASSWORD_EXPIRED:     // 1330
    case ERROR_ACCOUNT_DISABLED:     // 1331
    case ERROR_ACCOUNT_LOCKED_OUT:   // 1909
    case NERR_BadUsername:           // 2202
      return FailureKind::LogonRefused;
    case ERROR_ALREADY_ASSIGNED:           // 85
    case ERROR_DEVICE_ALREADY_REMEMBERED:  // 1202
      return FailureKind::LetterInUse;
    case ERROR_BAD_NETPATH:          // 53
    case ERROR_NETNAME_DELETED:      // 64
    case ERROR_BAD_NET_NAME:         // 67
    case ERROR_NO_NET_OR_BAD_PATH:   // 1203
    case ERROR_NO_NETWORK:           // 1222
    case ERROR_NETWORK_UNREACHABLE:  // 1231
    case ERROR_HOST_UNREACHABLE:     // 1232
    case ERROR_SEM_TIMEOUT:          // 121
      return FailureKind::Unreachable;
    default:
      return FailureKind::Other;
  }
}

SystemResult FailureOf(DWORD error) {
  return {error, SystemText(error), FailureKindOf(error)};
}

SystemResult LastFailure() {
  return FailureOf(::GetLastError());
}

SystemResult CallFailure(const wchar_t* call, DWORD error) {
  SystemResult failure = FailureOf(error);
  failure.reason = FailedCallText(call, error, failure.reason);
  return failure;
}

void ThrowSystemError(const wchar_t* call, DWORD error) {
  throw SystemCallFailed(call, error, SystemText(error));
}

void ThrowLastErrorIf(bool failed, const wchar_t* call) {
  if (InjectedFault(call)) ThrowSystemError(call, ::GetLastError());
  if (failed) ThrowSystemError(call, ::GetLastError());
}

ScreenDc::ScreenDc() : dc_(::GetDC(nullptr)) {
  ThrowLastErrorIf(dc_ == nullptr, L"GetDC");
}

}  // namespace vt::win32
