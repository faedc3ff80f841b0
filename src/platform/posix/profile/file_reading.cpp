#include "platform/posix/profile/file_reading.h"

#include <fcntl.h>

#include <chrono>
#include <thread>

#include "platform/posix/profile/atomic_file.h"
#include "platform/posix/system/descriptor.h"
#include "platform/posix/system/file_calls.h"

namespace vt::posix {

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto QuietTime = std::chrono::milliseconds(100);
constexpr auto EmptyQuietTime = std::chrono::seconds(1);
constexpr auto LongestWait = std::chrono::seconds(2);

std::chrono::nanoseconds QuietTimeFor(const struct stat& info) {
  return info.st_size == 0 ? std::chrono::nanoseconds(EmptyQuietTime)
                           : std::chrono::nanoseconds(QuietTime);
}

std::chrono::nanoseconds SinceLastChange(const struct stat& info) {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto changed =
      std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec);
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now - changed);
}

bool ReadAll(int fd, std::string& content) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = Retried([&] { return FileCallTable().read(fd, buffer, sizeof buffer); });
    if (n < 0) return false;
    if (n == 0) return true;
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

FileRead Failure(int error) {
  FileRead read;
  read.error = error;
  return read;
}

}  // namespace

bool HasBeenQuiet(const struct stat& info) {
  return SinceLastChange(info) >= QuietTimeFor(info);
}

FileRead ReadWholeFile(const std::string& path, bool settle) {
  const FileCalls& calls = FileCallTable();
  const Clock::time_point start = Clock::now();
  // A time of last change in the future (another machine's clock, a clock set back) says
  // nothing: such a file is quiet once we have seen it unchanged for the quiet time.
  FileIdentity seen;
  Clock::time_point seenSince = start;
  for (;;) {
    Descriptor fd(Retried([&] {
      return calls.open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0);
    }));
    if (!fd.valid()) {
      if (errno == ENOENT || errno == ENOTDIR) return FileRead{};
      return Failure(errno);
    }
    FileRead read;
    read.exists = true;
    if (calls.fstat(fd.get(), &read.info) != 0) return Failure(errno);
    if (S_ISDIR(read.info.st_mode)) return Failure(EISDIR);
    if (!S_ISREG(read.info.st_mode)) return Failure(EINVAL);
    const Clock::time_point now = Clock::now();
    const FileIdentity identity = FileIdentity::Of(read.info);
    if (identity != seen) {
      seen = identity;
      seenSince = now;
    }
    read.settled = HasBeenQuiet(read.info) || now - seenSince >= QuietTimeFor(read.info);
    if (settle && !read.settled) {
      if (now - start >= LongestWait) return Failure(EBUSY);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    if (!ReadAll(fd.get(), read.bytes)) return Failure(errno);
    struct stat after {};
    if (calls.fstat(fd.get(), &after) != 0) return Failure(errno);
    if (FileIdentity::Of(after) == identity) return read;
    // It changed while we read it: what we have may be half of it.
    read.settled = false;
    if (!settle) return read;
  }
}

}  // namespace vt::posix
