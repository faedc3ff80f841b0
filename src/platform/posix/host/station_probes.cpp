// What a check of the station asks of the host beyond what the program itself needs.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/posix/host/posix_platform.h"
#include "platform/posix/system/system_error.h"

namespace vt::posix {

SystemResult PosixPlatform::ProbeFolderWritable(const std::wstring& folder) {
  const std::string path = HostPathOf(folder);
  if (path.empty()) return ErrnoResult(ENOENT);
  // An unnamed file leaves nothing behind, even when the process is killed meanwhile.
  int descriptor = ::open(path.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (descriptor >= 0) {
    ::close(descriptor);
    return {};
  }
  if (errno != EOPNOTSUPP && errno != EISDIR) return ErrnoResult(errno);
  // A file system without unnamed files: a named one, removed at once.
  std::string name = path + "/.vodu-probe-XXXXXX";
  descriptor = ::mkstemp(name.data());
  if (descriptor < 0) return ErrnoResult(errno);
  ::close(descriptor);
  ::unlink(name.c_str());
  return {};
}

// A native station has no split tokens: what the user maps, the user's programs see.
bool PosixPlatform::DrivesHiddenFromElevatedPrograms() {
  return false;
}

}  // namespace vt::posix
