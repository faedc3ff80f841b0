#include "platform/posix/profile/temporary_files.h"

#include <ctime>

#include "platform/posix/station/paths.h"
#include "platform/posix/system/file_calls.h"

namespace vt::posix {

namespace {

constexpr std::time_t LeftoverAgeSeconds = 60;
// mkstemp replaces the six X of the pattern.
constexpr std::size_t RandomPartLength = 6;

}  // namespace

std::string TemporaryPattern(const std::string& path) {
  return FolderOf(path) + "/." + BaseNameOf(path) + "." + std::string(RandomPartLength, 'X');
}

void RemoveLeftoverTemporaries(const std::string& path) {
  const FileCalls& calls = FileCallTable();
  const std::string folder = FolderOf(path);
  const std::string prefix = "." + BaseNameOf(path) + ".";
  DIR* dir = calls.opendir(folder.c_str());
  if (dir == nullptr) return;
  const std::time_t now = std::time(nullptr);
  while (const dirent* entry = calls.readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() != prefix.size() + RandomPartLength ||
        name.compare(0, prefix.size(), prefix) != 0)
      continue;
    const std::string leftover = (folder + "/").append(name);
    struct stat info {};
    if (calls.lstat(leftover.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
    if (now - info.st_mtim.tv_sec >= LeftoverAgeSeconds) calls.unlink(leftover.c_str());
  }
  calls.closedir(dir);
}

}  // namespace vt::posix
