#include "platform/posix/mount_table.h"

#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>

#include "platform/posix/helper_process.h"
#include "platform/posix/monotonic_clock.h"

namespace vt::posix {

namespace {

constexpr std::int64_t PollStepMs = 20;

// The table's octal escapes (\040 for a blank) taken back.
std::string Unescaped(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 +
                                (field[i + 3] - '0'));
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

}  // namespace

bool IsMounted(const std::string& folder) {
  std::ifstream table("/proc/self/mountinfo");
  std::string line;
  while (std::getline(table, line)) {
    // The fifth field: id, parent id, device, root, then the mount point.
    std::size_t at = 0;
    for (int field = 0; field < 4; ++field) {
      at = line.find(' ', at);
      if (at == std::string::npos) break;
      ++at;
    }
    if (at == std::string::npos) continue;
    if (Unescaped(line.substr(at, line.find(' ', at) - at)) == folder) return true;
  }
  return false;
}

void Unmount(const std::string& folder, std::int64_t waitMs) {
  if (!IsMounted(folder) || ::umount2(folder.c_str(), MNT_DETACH) == 0) return;
  std::string program = FindProgram("fusermount3");
  if (program.empty()) program = FindProgram("fusermount");
  if (program.empty()) return;
  try {
    const HelperProcess unmount = StartHelper({program, "-u", "-z", folder}, "/", false, SIGKILL);
    const std::int64_t deadline = MonotonicMs() + waitMs;
    int status = 0;
    while (::waitpid(unmount.pid, &status, WNOHANG) == 0) {
      if (MonotonicMs() >= deadline) {
        ::kill(unmount.pid, SIGKILL);
        ::waitpid(unmount.pid, &status, 0);
        return;
      }
      ::usleep(PollStepMs * 1000);
    }
  } catch (...) {  // an unmount that cannot be tried leaves the mount to the next start
  }
}

}  // namespace vt::posix
