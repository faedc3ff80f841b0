#include <vector>

#include "platform/win32/win32_platform.h"
#include "portable/secret_text.h"
// after windows.h, which it needs
#include <winnetwk.h>

namespace vt::win32 {

namespace {

// The comment every connection of this program carries.
const wchar_t* const ConnectionComment = L"XTavisto";

// A writable, NUL-terminated copy, as NETRESOURCEW wants it.
std::vector<wchar_t> Buffer(const std::wstring& text) {
  std::vector<wchar_t> buffer(text.begin(), text.end());
  buffer.push_back(L'\0');
  return buffer;
}

// The network provider's own code and text behind ERROR_EXTENDED_ERROR.
SystemResult ProviderError() {
  DWORD code = 0;
  wchar_t text[512] = {};
  wchar_t provider[256] = {};
  if (::WNetGetLastErrorW(&code, text, 512, provider, 256) != NO_ERROR) {
    return FailureOf(ERROR_EXTENDED_ERROR);
  }
  // Providers speak in Win32 numbers too (the Microsoft network's 1326 for a bad password).
  return {code, std::wstring(text) + L" (" + provider + L")", FailureKindOf(code)};
}

// What holds a drive letter that is in use; empty when the router does not say.
std::wstring HolderOf(const std::wstring& drive) {
  wchar_t remote[1024] = {};
  DWORD length = 1024;
  if (::WNetGetConnectionW((drive + L":").c_str(), remote, &length) != NO_ERROR) return {};
  return remote;
}

// The wide call: a password or user name the system code page cannot hold (a protected
// password may hold any character) is handed over as it is, never with substitutes that
// would be refused again and again until the account locks. Run on a call's own thread
// (the provider's last error is that thread's too).
SystemResult Connect(const std::wstring& drive, const std::wstring& share, const std::wstring& user,
                     const std::wstring& password) {
  std::vector<wchar_t> localName = Buffer(drive + L":");
  std::vector<wchar_t> remoteName = Buffer(share);
  std::vector<wchar_t> comment = Buffer(ConnectionComment);
  NETRESOURCEW record{};
  record.dwScope = RESOURCE_GLOBALNET;
  record.dwType = RESOURCETYPE_DISK;
  record.dwDisplayType = RESOURCEDISPLAYTYPE_SHARE;
  record.dwUsage = RESOURCEUSAGE_CONNECTABLE;
  record.lpLocalName = localName.data();
  record.lpRemoteName = remoteName.data();
  record.lpComment = comment.data();
  record.lpProvider = nullptr;  // the router finds the provider
  // The credentials go as configured: an empty password is "no password", which a
  // null one is not (it means the logged-on user's own).
  const DWORD error =
      ::WNetAddConnection2W(&record, password.c_str(), user.c_str(), CONNECT_REDIRECT);
  if (error == NO_ERROR) return {};
  if (error == ERROR_EXTENDED_ERROR) return ProviderError();
  SystemResult failed = FailureOf(error);
  // The program never unmaps anything; it says what holds the letter instead.
  if (error == ERROR_ALREADY_ASSIGNED || error == ERROR_DEVICE_ALREADY_REMEMBERED) {
    const std::wstring holder = HolderOf(drive);
    if (!holder.empty()) failed.reason += L" " + drive + L": is connected to " + holder;
  }
  return failed;
}

}  // namespace

SystemResult Win32Platform::ConnectShare(const std::wstring& drive, const std::wstring& share,
                                         const std::wstring& user, const std::wstring& password,
                                         std::int64_t deadlineMs) {
  // The thread's copy of the password is wiped as soon as the call has it.
  const std::optional<ShareCalls::Answer> answer = RunShareCall(
      drive, deadlineMs,
      [drive, share, user, password = std::wstring(password)]() mutable -> ShareCalls::Answer {
        SystemResult result = Connect(drive, share, user, password);
        Wipe(password);
        return {DriveRoot::Unreadable, result};
      });
  if (!answer) return {NoAnswerError(), L"", FailureKind::NoAnswer};
  return answer->result;
}

}  // namespace vt::win32
