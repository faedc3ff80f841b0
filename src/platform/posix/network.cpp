#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/paths.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/system_error.h"
#include "portable/codepage.h"

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

// What a drive link refers to, as the station names it: "\\server\share" for a link
// into dosdevices/unc, the host's folder otherwise.
std::wstring HolderOf(const std::string& link) {
  char target[4096] = {};
  const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
  if (length < 0) return L"a folder of this host";
  const std::string path(target, static_cast<std::size_t>(length));
  const std::size_t unc = path.rfind("unc/");
  if (unc == std::string::npos || (unc > 0 && path[unc - 1] != '/')) return DecodeCp1252(path);
  std::wstring share = L"\\\\" + DecodeCp1252(path.substr(unc + 4));
  std::replace(share.begin(), share.end(), L'/', L'\\');
  return share;
}

// A share is a folder under dosdevices/unc; connecting links the drive letter to it.
// Run on a call's own thread: looking at the share's folder may wait for its server.
SystemResult Connect(const std::string& prefix, const std::wstring& drive,
                     const std::wstring& share) {
  if (!IsDriveLetter(drive)) return ErrnoResult(EINVAL);
  const auto hostPathOf = [&prefix](const std::wstring& path) {
    return MapWindowsPath(prefix, path).value_or(std::string());
  };
  const std::string link = hostPathOf(drive + L":");
  struct stat info {};
  if (::lstat(link.c_str(), &info) == 0) {
    SystemResult inUse = ErrnoResult(EEXIST);
    inUse.reason += L". " + drive + L": is connected to " + HolderOf(link);
    return inUse;
  }
  if (!IsShareName(share)) return ErrnoResult(EINVAL);
  const std::string folder = hostPathOf(share);
  if (folder.empty() || !IsFolder(folder)) return ErrnoResult(ENOENT);
  // Linked relative to dosdevices, as Wine links its drives, so the prefix may move.
  const std::string dosdevices = prefix + "/dosdevices/";
  const std::string target = folder.compare(0, dosdevices.size(), dosdevices) == 0
                                 ? folder.substr(dosdevices.size())
                                 : folder;
  if (::symlink(target.c_str(), link.c_str()) != 0) return ErrnoResult(errno);
  return {};
}

}  // namespace

// The user and the password are accepted as a router would take them, and never kept
// (not even handed to the call's thread).
SystemResult PosixPlatform::ConnectShare(const std::wstring& drive, const std::wstring& share,
                                         const std::wstring&, const std::wstring&,
                                         std::int64_t deadlineMs) {
  const std::optional<ShareCalls::Answer> answer =
      RunShareCall(drive, deadlineMs, [prefix = prefix_, drive, share]() -> ShareCalls::Answer {
        return {DriveRoot::Unreadable, Connect(prefix, drive, share)};
      });
  if (!answer) return {NoAnswerError(), L"", FailureKind::NoAnswer};
  return answer->result;
}

// A drive that is there and not a link into dosdevices/unc is a folder of this host.
bool PosixPlatform::IsLocalDisk(const std::wstring& drive) {
  if (!IsDriveLetter(drive)) return false;
  const std::string link = HostPathOf(drive + L":");
  struct stat info {};
  if (link.empty() || ::lstat(link.c_str(), &info) != 0) return false;
  return HolderOf(link).compare(0, 2, L"\\\\") != 0;
}

}  // namespace vt::posix
