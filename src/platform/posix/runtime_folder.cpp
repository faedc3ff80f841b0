#include "platform/posix/runtime_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/posix/system_error.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

const char* const Stem = "vodu-tavisto.";
const char* const LockName = "/lock";

// Goes on past what cannot be removed: the rest still goes.
int RemoveEntry(const char* path, const struct stat*, int, FTW*) {
  ::remove(path);
  return 0;
}

void RemoveTree(const std::string& path) {
  ::nftw(path.c_str(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS);
}

// Removes the folders of programs that were killed (their lock is free), with whatever
// they held.
void RemoveAbandoned(const std::string& base) {
  DIR* folder = ::opendir(base.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    if (std::strncmp(entry->d_name, Stem, std::strlen(Stem)) != 0) continue;
    const std::string path = base + "/" + entry->d_name;
    const int lock = ::open((path + LockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (lock < 0) continue;  // not one of ours, or not ours to remove
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) RemoveTree(path);
    ::close(lock);
  }
  ::closedir(folder);
}

std::string Base() {
  // systemd's RuntimeDirectory= first (it may list several), then the session's.
  for (const char* variable : {"RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      const std::string folders = value;
      return folders.substr(0, folders.find(':'));
    }
  }
  return ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
}

}  // namespace

std::string RuntimeFolder::Path(SystemResult& failure) {
  if (!path_.empty()) return path_;
  const std::string base = Base();
  RemoveAbandoned(base);
  std::string pattern = base + "/" + Stem + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    const int error = errno;
    failure = ErrnoResult(error);
    failure.kind = FailureKind::Other;
    failure.reason =
        L"cannot make a runtime folder in " + DecodeUtf8(base) + L": " + ErrnoText(error);
    return std::string();
  }
  path_ = pattern;
  lock_ = ::open((path_ + LockName).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (lock_ >= 0) ::flock(lock_, LOCK_EX | LOCK_NB);
  return path_;
}

void RuntimeFolder::Remove() {
  if (!path_.empty()) RemoveTree(path_);
  path_.clear();
  if (lock_ >= 0) ::close(lock_);
  lock_ = -1;
}

int WritePrivateFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".new";
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return errno;
  const bool written =
      ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  int error = written ? 0 : (errno != 0 ? errno : EIO);
  ::close(fd);
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

}  // namespace vt::posix
