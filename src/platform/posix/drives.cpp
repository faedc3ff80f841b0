#include <dirent.h>

#include <string>

#include "platform/posix/posix_platform.h"

namespace vt::posix {

DriveRoot PosixPlatform::ListDriveRoot(const std::wstring& drive) {
  const std::string folder = HostPathOf(drive + L":\\");
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

}  // namespace vt::posix
