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

}  // namespace

ConnectResult Win32Platform::ConnectShare(const std::wstring& drive, const std::wstring& share,
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
  return {error, SystemText(error)};
}

}  // namespace vt::win32
