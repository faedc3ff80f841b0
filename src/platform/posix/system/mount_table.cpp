#include "platform/posix/system/mount_table.h"

#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>

#include "platform/posix/system/child_process.h"
#include "platform/posix/system/proc_file.h"

namespace vt::posix {

namespace {

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

// Every mount point of the table, in its order.
std::vector<std::string> MountPoints() {
  const std::string table = ReadProcFile("/proc/self/mountinfo");
  std::vector<std::string> points;
  std::size_t line = 0;
  while (line < table.size()) {
    std::size_t end = table.find('\n', line);
    if (end == std::string::npos) end = table.size();
    // The fifth field: id, parent id, device, root, then the mount point.
    std::size_t at = line;
    for (int field = 0; field < 4 && at < end; ++field) {
      at = table.find(' ', at);
      at = at == std::string::npos || at >= end ? end : at + 1;
    }
    if (at < end) {
      std::size_t fieldEnd = table.find(' ', at);
      if (fieldEnd == std::string::npos || fieldEnd > end) fieldEnd = end;
      points.push_back(Unescaped(table.substr(at, fieldEnd - at)));
    }
    line = end + 1;
  }
  return points;
}

}  // namespace

bool IsMounted(const std::string& folder) {
  const std::vector<std::string> points = MountPoints();
  return std::find(points.begin(), points.end(), folder) != points.end();
}

std::vector<std::string> MountPointsBelow(const std::string& folder) {
  std::vector<std::string> below;
  for (const std::string& point : MountPoints()) {
    if (point.size() > folder.size() + 1 && point.compare(0, folder.size(), folder) == 0 &&
        point[folder.size()] == '/')
      below.push_back(point);
  }
  std::reverse(below.begin(), below.end());  // mounted later, on top: unmounted first
  return below;
}

void Unmount(const std::string& folder, std::int64_t deadline) {
  if (!IsMounted(folder) || ::umount2(folder.c_str(), MNT_DETACH) == 0) return;
  std::string program = FindProgram("fusermount3");
  if (program.empty()) program = FindProgram("fusermount");
  if (program.empty()) return;  // the next start tries again
  ChildProcess unmount;
  if (unmount.Start({{program, "-u", "-z", folder}, "/", false, SIGKILL}) != 0) return;
  unmount.WaitUntil(deadline);
  unmount.End(SIGKILL, deadline);
}

}  // namespace vt::posix
