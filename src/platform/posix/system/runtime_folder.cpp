#include "platform/posix/system/runtime_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/posix/system/system_error.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

// A folder is made as "vodu-tavisto-new.XXXXXX", locked, and only then renamed to
// "vodu-tavisto.XXXXXX": a folder of the final name always has a live lock or a dead
// one, never none yet, so another start's sweep cannot take a folder being made.
const char* const Stem = "vodu-tavisto.";
const char* const NewStem = "vodu-tavisto-new.";
const char* const LockName = "/lock";
// A folder still of the new name after this long was left by a start that was killed.
constexpr std::time_t AbandonedNewSeconds = 60;

// Goes on past what cannot be removed: the rest still goes.
int RemoveEntry(const char* path, const struct stat*, int, FTW*) {
  ::remove(path);
  return 0;
}

void RemoveTree(const std::string& path) {
  ::nftw(path.c_str(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS);
}

bool StartsWith(const char* name, const char* stem) {
  return std::strncmp(name, stem, std::strlen(stem)) == 0;
}

// Whether the folder's lock is free: its program is gone (or never locked it).
bool LockIsFree(const std::string& folder) {
  const Descriptor lock(::open((folder + LockName).c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW));
  return lock.valid() ? ::flock(lock.get(), LOCK_EX | LOCK_NB) == 0 : errno == ENOENT;
}

// Removes the folders of programs that were killed, with whatever they held.
void RemoveAbandoned(const std::string& base) {
  DIR* folder = ::opendir(base.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    const bool made = StartsWith(entry->d_name, Stem);
    if (!made && !StartsWith(entry->d_name, NewStem)) continue;
    const std::string path = base + "/" + entry->d_name;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid())
      continue;  // not one of ours to remove
    if (!made && std::time(nullptr) - info.st_mtime < AbandonedNewSeconds) continue;
    if (LockIsFree(path)) RemoveTree(path);
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
  std::string made = base + "/" + NewStem + "XXXXXX";
  const char* call = "mkdtemp";
  int error = ::mkdtemp(made.data()) == nullptr ? errno : 0;
  if (error == 0) {
    const std::string final = base + "/" + Stem + made.substr(made.size() - 6);
    call = "open";
    lock_.Reset(::open((made + LockName).c_str(),
                       O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!lock_.valid()) error = errno;
    if (error == 0) call = "flock";
    if (error == 0 && ::flock(lock_.get(), LOCK_EX | LOCK_NB) != 0) error = errno;
    if (error == 0) call = "rename";
    if (error == 0 && ::rename(made.c_str(), final.c_str()) != 0) error = errno;
    if (error == 0) {
      path_ = final;
      return path_;
    }
    lock_.Reset();
    RemoveTree(made);
  }
  failure = ErrnoResult(error);
  failure.kind = FailureKind::Other;
  failure.reason = L"cannot make a runtime folder in " + DecodeUtf8(base) + L": " +
                   DecodeUtf8(call) + L": " + ErrnoText(error);
  return std::string();
}

void RuntimeFolder::Remove() {
  if (!path_.empty()) RemoveTree(path_);
  path_.clear();
  lock_.Reset();
}

int WritePrivateFile(const std::string& path, const std::string& bytes) {
  const std::string temporary = path + ".new";
  Descriptor file(
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!file.valid()) return errno;
  const bool written =
      ::write(file.get(), bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  int error = written ? 0 : (errno != 0 ? errno : EIO);
  if (!file.Close() && error == 0) error = errno;
  if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error;
}

}  // namespace vt::posix
