#include "platform/posix/profile_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/posix/file_calls.h"
#include "platform/posix/system_error.h"

namespace vt::posix {

namespace {

// Another program that holds its lock on the file is waited for this long at most.
constexpr int LockTries = 20;
constexpr auto LockPause = std::chrono::milliseconds(5);
// How often a replace is redone when another program keeps changing the file under it.
constexpr int ReplaceAttempts = 3;
// A call interrupted by a signal is made again, this often at most.
constexpr int InterruptedRetries = 100;

template <typename Call>
auto Retried(Call call) {
  auto result = call();
  for (int i = 0; i < InterruptedRetries && result < 0 && errno == EINTR; ++i) result = call();
  return result;
}

// Closes a descriptor on every path; a close whose failure matters is made by Close().
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ProfileFileCalls().close(fd_);
  }
  int get() const { return fd_; }
  bool Close() {
    const int fd = fd_;
    fd_ = -1;
    return ProfileFileCalls().close(fd) == 0;
  }

 private:
  int fd_;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool ReadAll(int fd, std::string& content) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = Retried([&] { return ProfileFileCalls().read(fd, buffer, sizeof buffer); });
    if (n < 0) return false;
    if (n == 0) return true;
    content.append(buffer, static_cast<std::size_t>(n));
  }
}

bool WriteAll(int fd, const std::string& content) {
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = Retried([&] {
      return ProfileFileCalls().write(fd, content.data() + written, content.size() - written);
    });
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// A temporary file of ours that a killed process left: ".NAME.XXXXXX" beside the file.
void RemoveLeftoverTemporaries(const std::string& folder, const std::string& base) {
  const std::string prefix = "." + base + ".";
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
      ProfileFileCalls().unlink((folder + "/").append(name).c_str());
    }
  }
  ::closedir(dir);
}

// Waits a little for a lock that another program holds.
int LockFile(int fd) {
  for (int i = 0; i < LockTries; ++i) {
    if (Retried([&] { return ProfileFileCalls().lock(fd); }) == 0) return 0;
    if (errno != EACCES && errno != EAGAIN) return errno;
    std::this_thread::sleep_for(LockPause);
  }
  return EWOULDBLOCK;
}

}  // namespace

ProfileStore::Identity ProfileStore::IdentityOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size,
          static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

void ProfileStore::TakeContent(CachedFile& file, const std::string& bytes,
                               const struct stat& info) {
  const ProfileText text = DecodeProfileFile(bytes);
  file.document = ProfileDocument(text.text, text.encoding);
  ApplyHeldBack(file);
  file.exists = true;
  file.identity = IdentityOf(info);
  file.mode = info.st_mode;
}

void ProfileStore::StartEmpty(CachedFile& file) {
  file.document = ProfileDocument();
  ApplyHeldBack(file);
  file.exists = false;
}

void ProfileStore::ApplyHeldBack(CachedFile& file) {
  for (const Edit& edit : file.heldBack) file.document.Set(edit.section, edit.key, edit.value);
}

int ProfileStore::Load(const std::string& path, CachedFile*& file) {
  const FileCalls& calls = ProfileFileCalls();
  file = &files_[path];
  struct stat info {};
  if (Retried([&] { return calls.lstat(path.c_str(), &info); }) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return errno;
    if (file->exists) StartEmpty(*file);  // the file went away
    return 0;
  }
  // Never through a link, and only plain files: anything else is no profile file.
  if (S_ISLNK(info.st_mode)) return ELOOP;
  if (S_ISDIR(info.st_mode)) return EISDIR;
  if (!S_ISREG(info.st_mode)) return EINVAL;
  if (file->exists && file->identity == IdentityOf(info)) return 0;

  Descriptor fd(Retried([&] {
    return calls.open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0);
  }));
  if (fd.get() < 0) return errno;
  struct stat opened {};
  if (calls.fstat(fd.get(), &opened) != 0) return errno;
  if (!S_ISREG(opened.st_mode)) return EINVAL;
  std::string bytes;
  if (!ReadAll(fd.get(), bytes)) return errno;
  TakeContent(*file, bytes, opened);
  return 0;
}

std::optional<std::wstring> ProfileStore::Read(const std::string& path, const std::wstring& section,
                                               const std::wstring& key) {
  CachedFile* file = nullptr;
  if (Load(path, file) != 0) return std::nullopt;
  return file->document.Find(section, key);
}

SystemResult ProfileStore::Write(const std::string& path, const std::wstring& section,
                                 const std::wstring& key, const std::wstring& value) {
  CachedFile* file = nullptr;
  if (const int error = Load(path, file); error != 0) return ErrnoResult(error);
  if (file->exists && (file->mode & 0222) == 0) return ErrnoResult(EACCES);
  if (!file->exists) {
    struct stat folder {};
    if (ProfileFileCalls().lstat(FolderOf(path).c_str(), &folder) != 0) return ErrnoResult(errno);
    if (!S_ISDIR(folder.st_mode)) return ErrnoResult(ENOTDIR);
  }
  if (file->document.Find(section, key) == value) return {};  // stored already: nothing to write
  if (!file->document.Set(section, key, value)) return ErrnoResult(EINVAL);
  file->heldBack.push_back({section, key, value});
  return {};
}

bool ProfileStore::HasHeldBackWrites() const {
  for (const auto& entry : files_) {
    if (!entry.second.heldBack.empty()) return true;
  }
  return false;
}

SystemResult ProfileStore::Commit() {
  SystemResult first;
  for (auto& [path, file] : files_) {
    if (file.heldBack.empty()) continue;
    const SystemResult result = CommitFile(path, file);
    if (!result.Succeeded() && first.Succeeded()) first = result;
  }
  return first;
}

SystemResult ProfileStore::CommitFile(const std::string& path, CachedFile& file) {
  SystemResult result = ErrnoResult(EAGAIN);
  for (int attempt = 0; attempt < ReplaceAttempts; ++attempt) {
    bool changedUnderUs = false;
    result = ReplaceOnce(path, file, changedUnderUs);
    if (!changedUnderUs) break;
    result = ErrnoResult(EAGAIN);
  }
  file.heldBack.clear();
  // After a failure the next read takes the file as it is on disk.
  if (!result.Succeeded()) file.exists = false;
  return result;
}

SystemResult ProfileStore::ReplaceOnce(const std::string& path, CachedFile& file,
                                       bool& changedUnderUs) {
  const FileCalls& calls = ProfileFileCalls();
  changedUnderUs = false;
  // The file as it is now, locked for the programs that lock it too.
  Descriptor target(Retried([&] {
    return calls.open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  }));
  if (target.get() < 0 && errno != ENOENT) return ErrnoResult(errno);
  const bool exists = target.get() >= 0;
  struct stat before {};
  if (exists) {
    if (calls.fstat(target.get(), &before) != 0) return ErrnoResult(errno);
    if (!S_ISREG(before.st_mode)) return ErrnoResult(EINVAL);
    if ((before.st_mode & 0222) == 0) return ErrnoResult(EACCES);
    if (const int error = LockFile(target.get()); error != 0) return ErrnoResult(error);
    if (!file.exists || !(IdentityOf(before) == file.identity)) {
      // Another program changed the file since we read it: the writes are made again on
      // what it holds now, so its change is kept.
      std::string bytes;
      if (!ReadAll(target.get(), bytes)) return ErrnoResult(errno);
      TakeContent(file, bytes, before);
    }
  } else if (file.exists) {
    StartEmpty(file);  // the file went away since we read it
  }

  const std::string folder = FolderOf(path);
  RemoveLeftoverTemporaries(folder, BaseOf(path));
  std::string temporary = folder + "/." + BaseOf(path) + ".XXXXXX";
  Descriptor temp(Retried([&] { return calls.mkstemp(temporary.data()); }));
  if (temp.get() < 0) return ErrnoResult(errno);
  auto fail = [&](int error) {
    calls.unlink(temporary.c_str());
    return ErrnoResult(error);
  };
  // The replacement keeps the permissions of the file it replaces.
  const mode_t mode = exists ? before.st_mode & 07777 : 0644;
  if (Retried([&] { return calls.fchmod(temp.get(), mode); }) != 0) return fail(errno);
  const std::string bytes = EncodeProfileFile(file.document.Text(), file.document.Encoding());
  if (!WriteAll(temp.get(), bytes)) return fail(errno);
  if (Retried([&] { return calls.fsync(temp.get()); }) != 0) return fail(errno);
  struct stat written {};
  if (calls.fstat(temp.get(), &written) != 0) return fail(errno);
  if (!temp.Close()) return fail(errno);

  // The last look before the rename: a program that does not lock may have changed the
  // file meanwhile.
  struct stat now {};
  const int looked = Retried([&] { return calls.lstat(path.c_str(), &now); });
  if (looked != 0 && errno != ENOENT) return fail(errno);
  if (exists ? looked != 0 || !(IdentityOf(now) == IdentityOf(before)) : looked == 0) {
    calls.unlink(temporary.c_str());
    changedUnderUs = true;
    return {};
  }
  if (Retried([&] { return calls.rename(temporary.c_str(), path.c_str()); }) != 0) {
    return fail(errno);
  }
  file.exists = true;
  file.identity = IdentityOf(written);
  file.mode = written.st_mode;

  // The rename itself is made durable by flushing the folder.
  Descriptor dir(
      Retried([&] { return calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0); }));
  if (dir.get() < 0) return ErrnoResult(errno);
  if (Retried([&] { return calls.fsync(dir.get()); }) != 0) return ErrnoResult(errno);
  return {};
}

}  // namespace vt::posix
