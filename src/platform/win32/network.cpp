#include <vector>

#include "platform/win32/win32_platform.h"
// after windows.h, which it needs
#include <winnetwk.h>

namespace vt::win32 {

namespace {

// A writable, NUL-terminated 8-bit copy, as NETRESOURCEA wants it.
std::vector<char> Buffer(const std::wstring& text) {
  const std::string narrow = Narrow(text);
  std::vector<char> buffer(narrow.begin(), narrow.end());
  buffer.push_back('\0');
  return buffer;
}

}  // namespace

std::uint32_t Win32Platform::AddConnection(const NetResource& resource,
                                           const std::wstring& password, const std::wstring& user,
                                           std::uint32_t flags) {
  std::vector<char> localName = Buffer(resource.lpLocalName);
  std::vector<char> remoteName = Buffer(resource.lpRemoteName);
  std::vector<char> comment = Buffer(resource.lpComment);
  std::vector<char> provider = Buffer(resource.lpProvider);
  NETRESOURCEA record{};
  record.dwScope = resource.dwScope;
  record.dwType = resource.dwType;
  record.dwDisplayType = resource.dwDisplayType;
  record.dwUsage = resource.dwUsage;
  record.lpLocalName = localName.data();
  record.lpRemoteName = remoteName.data();
  record.lpComment = comment.data();
  record.lpProvider = resource.hasProvider ? provider.data() : nullptr;
  // An empty user or password is passed as none, so the router uses the logged-on
  // user's own credentials.
  const std::string narrowPassword = Narrow(password);
  const std::string narrowUser = Narrow(user);
  return ::WNetAddConnection2A(&record, password.empty() ? nullptr : narrowPassword.c_str(),
                               user.empty() ? nullptr : narrowUser.c_str(), flags);
}

}  // namespace vt::win32
