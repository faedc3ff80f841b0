#include <vector>

#include "platform/win32/win32_platform.h"
// after windows.h, which it needs
#include <winnetwk.h>

namespace vt::win32 {

namespace {

// The comment every connection of this program carries.
const wchar_t* const ConnectionComment = L"XTavisto";

// A writable, NUL-terminated 8-bit copy, as NETRESOURCEA wants it.
std::vector<char> Buffer(const std::wstring& text) {
  const std::string narrow = Narrow(text);
  std::vector<char> buffer(narrow.begin(), narrow.end());
  buffer.push_back('\0');
  return buffer;
}

// The network provider's own code and text behind ERROR_EXTENDED_ERROR.
SystemResult ProviderError() {
  DWORD code = 0;
  char text[512] = {};
  char provider[256] = {};
  if (::WNetGetLastErrorA(&code, text, sizeof text, provider, sizeof provider) != NO_ERROR) {
    return FailureOf(ERROR_EXTENDED_ERROR);
  }
  // Providers speak in Win32 numbers too (the Microsoft network's 1326 for a bad password).
  return {code, Widen(text) + L" (" + Widen(provider) + L")", FailureKindOf(code)};
}

// What holds a drive letter that is in use; empty when the router does not say.
std::wstring HolderOf(const std::wstring& drive) {
  char remote[1024] = {};
  DWORD length = sizeof remote;
  if (::WNetGetConnectionA(Narrow(drive + L":").c_str(), remote, &length) != NO_ERROR) return {};
  return Widen(remote);
}

}  // namespace

SystemResult Win32Platform::ConnectShare(const std::wstring& drive, const std::wstring& share,
                                         const std::wstring& user, const std::wstring& password) {
  std::vector<char> localName = Buffer(drive + L":");
  std::vector<char> remoteName = Buffer(share);
  std::vector<char> comment = Buffer(ConnectionComment);
  NETRESOURCEA record{};
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
  const std::string narrowPassword = Narrow(password);
  const std::string narrowUser = Narrow(user);
  const DWORD error =
      ::WNetAddConnection2A(&record, narrowPassword.c_str(), narrowUser.c_str(), CONNECT_REDIRECT);
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

}  // namespace vt::win32
