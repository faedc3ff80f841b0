#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/codepage.h"
#include "platform/posix/paths.h"
#include "platform/posix/posix_platform.h"

namespace vt::posix {

namespace {

// The answers a real multiple provider router gives.
constexpr std::uint32_t ErrorBadNetName = 67;       // the network name cannot be found
constexpr std::uint32_t ErrorAlreadyAssigned = 85;  // the local device name is in use
constexpr std::uint32_t ErrorBadDevice = 1200;      // the device name is not valid
constexpr std::uint32_t ErrorNoNetwork = 1222;      // the link could not be made

bool IsDriveName(const std::wstring& name) {
  return name.size() == 2 && name[1] == L':' &&
         ((name[0] >= L'A' && name[0] <= L'Z') || (name[0] >= L'a' && name[0] <= L'z'));
}

// "\\server\share" exactly: two components after the leading backslashes.
bool IsShareName(const std::wstring& name) {
  if (name.size() < 5 || name.compare(0, 2, L"\\\\") != 0) return false;
  const std::size_t separator = name.find(L'\\', 2);
  return separator != std::wstring::npos && separator > 2 && separator + 1 < name.size() &&
         name.find(L'\\', separator + 1) == std::wstring::npos;
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

// A share is a folder under dosdevices/unc; connecting links the drive letter to it. The
// user and the password are accepted as a router would take them, and never kept.
std::uint32_t PosixPlatform::AddConnection(const NetResource& resource, const std::wstring&,
                                           const std::wstring&, std::uint32_t) {
  if (!IsDriveName(resource.lpLocalName)) return ErrorBadDevice;
  const std::string drive = HostPathOf(resource.lpLocalName);
  struct stat info {};
  if (::lstat(drive.c_str(), &info) == 0) return ErrorAlreadyAssigned;
  if (!IsShareName(resource.lpRemoteName)) return ErrorBadNetName;
  const std::string share = HostPathOf(resource.lpRemoteName);
  if (share.empty() || !IsFolder(share)) return ErrorBadNetName;
  // Linked relative to dosdevices, as Wine links its drives, so the prefix may move.
  const std::string dosdevices = prefix_ + "/dosdevices/";
  const std::string target = share.compare(0, dosdevices.size(), dosdevices) == 0
                                 ? share.substr(dosdevices.size())
                                 : share;
  return ::symlink(target.c_str(), drive.c_str()) == 0 ? 0 : ErrorNoNetwork;
}

}  // namespace vt::posix
