#include "platform/posix/profile/atomic_file.h"

#include <fcntl.h>

#include <chrono>
#include <thread>

#include "platform/posix/profile/temporary_files.h"
#include "platform/posix/station/paths.h"
#include "platform/posix/system/descriptor.h"
#include "platform/posix/system/file_calls.h"
#include "platform/posix/system/system_error.h"

namespace vt::posix {

namespace {

// Another program that holds its lock on the file is waited for this long at most.
constexpr int LockTries = 20;
constexpr auto LockPause = std::chrono::milliseconds(5);

using Outcome = ReplaceResult::Outcome;

ReplaceResult Failed(int error) {
  ReplaceResult result;
  result.outcome = Outcome::Failed;
  result.failure = ErrnoResult(error);
  return result;
}

ReplaceResult Changed() {
  ReplaceResult result;
  result.outcome = Outcome::Changed;
  return result;
}

// Waits a little for a lock that another program holds.
int LockFile(int fd) {
  for (int i = 0; i < LockTries; ++i) {
    if (Retried([&] { return FileCallTable().lock(fd); }) == 0) return 0;
    if (errno != EACCES && errno != EAGAIN) return errno;
    std::this_thread::sleep_for(LockPause);
  }
  return EWOULDBLOCK;
}

bool WriteAll(int fd, const std::string& content) {
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = Retried([&] {
      return FileCallTable().write(fd, content.data() + written, content.size() - written);
    });
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// The temporary beside the file; removed again unless it is renamed over the file.
class Temporary {
 public:
  explicit Temporary(const std::string& path) : name_(TemporaryPattern(path)) {
    fd_.Reset(Retried([&] { return FileCallTable().mkstemp(name_.data()); }));
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;
  ~Temporary() {
    fd_.Reset();
    if (!renamed_) FileCallTable().unlink(name_.c_str());
  }
  bool valid() const { return fd_.valid(); }
  int fd() const { return fd_.get(); }
  const std::string& name() const { return name_; }
  bool Close() { return fd_.Close(); }
  void Renamed() { renamed_ = true; }

 private:
  std::string name_;
  Descriptor fd_;
  bool renamed_ = false;
};

}  // namespace

FileIdentity FileIdentity::Of(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size,
          static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

ReplaceResult ReplaceFileAtomically(const std::string& path, const std::string& bytes,
                                    const ReplaceBase* base) {
  const FileCalls& calls = FileCallTable();
  // The file as it is now, locked for the programs that lock it too.
  Descriptor target(Retried([&] {
    return calls.open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  }));
  if (!target.valid() && errno != ENOENT) return Failed(errno);
  const bool exists = target.valid();
  struct stat before {};
  if (exists) {
    if (calls.fstat(target.get(), &before) != 0) return Failed(errno);
    if (!S_ISREG(before.st_mode)) return Failed(EINVAL);
    if ((before.st_mode & 0222) == 0) return Failed(EACCES);
    if (const int error = LockFile(target.get()); error != 0) return Failed(error);
  }
  if (base != nullptr &&
      (exists != base->existed || (exists && FileIdentity::Of(before) != base->identity))) {
    return Changed();
  }

  RemoveLeftoverTemporaries(path);
  Temporary temporary(path);
  if (!temporary.valid()) return Failed(errno);
  // The replacement keeps the permissions of the file it replaces.
  const mode_t mode = exists ? before.st_mode & 07777 : 0644;
  if (Retried([&] { return calls.fchmod(temporary.fd(), mode); }) != 0) return Failed(errno);
  if (!WriteAll(temporary.fd(), bytes)) return Failed(errno);
  if (Retried([&] { return calls.fsync(temporary.fd()); }) != 0) return Failed(errno);
  struct stat written {};
  if (calls.fstat(temporary.fd(), &written) != 0) return Failed(errno);
  if (!temporary.Close()) return Failed(errno);

  // The last look before the rename: a program that does not lock may have changed the
  // file meanwhile.
  if (base != nullptr) {
    struct stat now {};
    const int looked = Retried([&] { return calls.lstat(path.c_str(), &now); });
    if (looked != 0 && errno != ENOENT) return Failed(errno);
    if (exists ? looked != 0 || FileIdentity::Of(now) != FileIdentity::Of(before) : looked == 0) {
      return Changed();
    }
  }
  if (Retried([&] { return calls.rename(temporary.name().c_str(), path.c_str()); }) != 0) {
    return Failed(errno);
  }
  temporary.Renamed();

  ReplaceResult result;
  result.outcome = Outcome::Replaced;
  result.identity = FileIdentity::Of(written);
  result.mode = written.st_mode;
  // The rename itself is made durable by flushing the folder. When that fails the new
  // file is in place all the same: said as what it is, not as a failed write.
  const std::string folder = FolderOf(path);
  Descriptor dir(
      Retried([&] { return calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0); }));
  if (!dir.valid() || Retried([&] { return calls.fsync(dir.get()); }) != 0) {
    const int error = errno;
    result.outcome = Outcome::ReplacedNotFlushed;
    result.failure = ErrnoResult(error);
    result.failure.reason = L"the new file is in place, but its folder could not be flushed (" +
                            result.failure.reason + L"): a power cut may bring the old one back";
  }
  return result;
}

}  // namespace vt::posix
