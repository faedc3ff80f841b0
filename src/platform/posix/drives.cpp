#include <dirent.h>

#include <string>

#include "platform/posix/codepage.h"
#include "platform/posix/posix_platform.h"

namespace vt::posix {

DriveListing PosixPlatform::ListDriveRoot(const std::wstring& path) {
  const std::string folder = HostPathOf(path);
  DIR* dir = folder.empty() ? nullptr : ::opendir(folder.c_str());
  if (dir == nullptr) return {ListingOutcome::Error, {}};
  // Names beginning with "." are this host's hidden entries. The alphabetically first
  // visible entry is taken, so the answer does not depend on the folder's order.
  std::string first;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    if (first.empty() || name < first) first = name;
  }
  ::closedir(dir);
  if (first.empty()) return {ListingOutcome::Empty, {}};
  return {ListingOutcome::Entry, DecodeCp1252(first)};
}

}  // namespace vt::posix
