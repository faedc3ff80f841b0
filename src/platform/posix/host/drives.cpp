#include <dirent.h>

#include <string>

#include "platform/posix/host/posix_platform.h"
#include "platform/posix/station/paths.h"

namespace vt::posix {

namespace {

// The listing itself, on a call's own thread: it may wait for as long as the server of
// a mount keeps silent.
DriveRoot ListRoot(const std::string& prefix, const std::wstring& drive) {
  const std::string folder = MapWindowsPath(prefix, drive + L":\\").value_or(std::string());
  DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
  if (dir == nullptr) return DriveRoot::Unreadable;
  // Names beginning with "." are this host's hidden entries.
  bool entry = false;
  while (const dirent* found = ::readdir(dir)) {
    if (found->d_name[0] != '\0' && found->d_name[0] != '.') {
      entry = true;
      break;
    }
  }
  ::closedir(dir);
  return entry ? DriveRoot::HasEntry : DriveRoot::Empty;
}

}  // namespace

DriveRoot PosixPlatform::ListDriveRoot(const std::wstring& drive, std::int64_t deadlineMs) {
  const std::optional<ShareCalls::Answer> answer =
      RunShareCall(drive, deadlineMs, [prefix = prefix_, drive]() -> ShareCalls::Answer {
        return {ListRoot(prefix, drive), {}};
      });
  return answer ? answer->root : DriveRoot::NoAnswer;
}

std::uint32_t PosixPlatform::NoAnswerError() {
  return ETIMEDOUT;
}

std::int32_t PosixPlatform::ShortestListingIntervalSeconds() {
  return 1;  // the SMB file system keeps what a server said for less than a second
}

}  // namespace vt::posix
