#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/paths.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/system_error.h"

namespace vt::posix {

namespace {

bool IsDriveLetter(const std::wstring& drive) {
  return drive.size() == 1 &&
         ((drive[0] >= L'A' && drive[0] <= L'Z') || (drive[0] >= L'a' && drive[0] <= L'z'));
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

ConnectResult Failed(int error) {
  return {static_cast<std::uint32_t>(error), ErrnoText(error)};
}

}  // namespace

// A share is a folder under dosdevices/unc; connecting links the drive letter to it. The
// user and the password are accepted as a router would take them, and never kept.
ConnectResult PosixPlatform::ConnectShare(const std::wstring& drive, const std::wstring& share,
                                          const std::wstring&, const std::wstring&) {
  if (!IsDriveLetter(drive)) return Failed(EINVAL);
  const std::string link = HostPathOf(drive + L":");
  struct stat info {};
  if (::lstat(link.c_str(), &info) == 0) return Failed(EEXIST);
  if (!IsShareName(share)) return Failed(EINVAL);
  const std::string folder = HostPathOf(share);
  if (folder.empty() || !IsFolder(folder)) return Failed(ENOENT);
  // Linked relative to dosdevices, as Wine links its drives, so the prefix may move.
  const std::string dosdevices = prefix_ + "/dosdevices/";
  const std::string target = folder.compare(0, dosdevices.size(), dosdevices) == 0
                                 ? folder.substr(dosdevices.size())
                                 : folder;
  if (::symlink(target.c_str(), link.c_str()) != 0) return Failed(errno);
  return {};
}

}  // namespace vt::posix
