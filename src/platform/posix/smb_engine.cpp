#include "platform/posix/smb_engine.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "platform/posix/file_reading.h"
#include "platform/posix/helper_process.h"
#include "platform/posix/monotonic_clock.h"
#include "platform/posix/system_error.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

const char* const MountFolderName = ".vodu-tavisto-shares";
const char* const RuntimeFolderStem = "vodu-tavisto.";
const char* const Engine = "smbnetfs";
// How long a stop waits for the file system to unmount itself before it is killed.
constexpr std::int64_t StopGraceMs = 600;
constexpr std::int64_t PollStepMs = 20;

SystemResult Failure(int error, const std::wstring& reason) {
  SystemResult result = ErrnoResult(error);
  result.reason = reason;
  result.kind = FailureKind::Other;
  return result;
}

// Client settings for the probe and the file system alike: names resolve as host names
// (DNS, /etc/hosts); a NetBIOS broadcast would only make an unknown name slow.
const char* const ClientSettings =
    "[global]\n"
    "name resolve order = host\n"
    "disable netbios = yes\n";

// A text inside double quotes of smbnetfs's configuration.
std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string LowerCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Writes `bytes` as a new file of mode 0600 and renames it over `path`.
int WritePrivateFile(const std::string& path, std::string& bytes) {
  const std::string temporary = path + ".new";
  const int fd =
      ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return errno;
  const bool written =
      ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  const int error = written ? 0 : (errno != 0 ? errno : EIO);
  ::close(fd);
  if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
    const int failed = written ? errno : error;
    ::unlink(temporary.c_str());
    return failed;
  }
  return 0;
}

// The mount table's escapes (\040 for a blank) taken back.
std::string Unescaped(const std::string& field) {
  std::string text;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
      text += static_cast<char>(value);
      i += 3;
    } else {
      text += field[i];
    }
  }
  return text;
}

// Read from the mount table, so a dead file system is never touched.
bool IsMounted(const std::string& folder) {
  std::ifstream table("/proc/self/mountinfo");
  std::string line;
  while (std::getline(table, line)) {
    std::size_t at = 0;
    for (int field = 0; field < 4 && at != std::string::npos; ++field) at = line.find(' ', at) + 1;
    if (at == 0) continue;
    const std::size_t end = line.find(' ', at);
    if (Unescaped(line.substr(at, end - at)) == folder) return true;
  }
  return false;
}

// Goes on past what cannot be removed: the rest still goes.
int RemoveEntry(const char* path, const struct stat*, int, FTW*) {
  ::remove(path);
  return 0;
}

// Removes the runtime folders of programs that were killed (their lock is free), with
// whatever logons they held.
void RemoveAbandonedFolders(const std::string& base) {
  DIR* folder = ::opendir(base.c_str());
  if (folder == nullptr) return;
  while (const dirent* entry = ::readdir(folder)) {
    if (std::strncmp(entry->d_name, RuntimeFolderStem, std::strlen(RuntimeFolderStem)) != 0)
      continue;
    const std::string path = base + "/" + entry->d_name;
    const int lock = ::open((path + "/lock").c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (lock < 0) continue;  // not one of ours, or not ours to remove
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0)
      ::nftw(path.c_str(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS);
    ::close(lock);
  }
  ::closedir(folder);
}

}  // namespace

SmbEngine::SmbEngine(const std::string& prefix) {
  char resolved[PATH_MAX];
  const std::string folder = ::realpath(prefix.c_str(), resolved) != nullptr ? resolved : prefix;
  mountPoint_ = folder + "/" + MountFolderName;
}

bool SmbEngine::IsLinkIntoMount(const std::string& target) {
  return target.find(std::string("/") + MountFolderName + "/") != std::string::npos;
}

std::string SmbEngine::RuntimeFolder(SystemResult& failure) {
  if (!runtime_.empty()) return runtime_;
  // systemd's RuntimeDirectory= first (it may list several), then the session's.
  std::string base;
  for (const char* variable : {"RUNTIME_DIRECTORY", "XDG_RUNTIME_DIR"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') {
      base = value;
      base = base.substr(0, base.find(':'));
      break;
    }
  }
  if (base.empty()) base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  RemoveAbandonedFolders(base);
  std::string pattern = base + "/" + RuntimeFolderStem + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    failure = Failure(
        errno, L"cannot make a runtime folder in " + DecodeUtf8(base) + L": " + ErrnoText(errno));
    return std::string();
  }
  runtime_ = pattern;
  // Held for as long as the program lives: a folder whose lock is free was left by a
  // program that was killed, and the next start removes it.
  runtimeLock_ = ::open((runtime_ + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (runtimeLock_ >= 0) ::flock(runtimeLock_, LOCK_EX | LOCK_NB);
  std::string settings = ClientSettings;
  if (::mkdir((runtime_ + "/.smb").c_str(), 0700) != 0 ||
      WritePrivateFile(runtime_ + "/.smb/smb.conf", settings) != 0) {
    failure = Failure(errno, L"cannot write in " + DecodeUtf8(runtime_) + L": " + ErrnoText(errno));
  }
  return runtime_;
}

SystemResult SmbEngine::WriteLogon(SmbRequest& request) {
  const std::string key = LowerCase(request.server + "/" + request.share);
  auto file = logonFiles_.find(key);
  if (file == logonFiles_.end()) {
    file = logonFiles_.emplace(key, runtime_ + "/logon-" + std::to_string(logonFiles_.size() + 1))
               .first;
  }
  const std::string user =
      request.domain.empty() ? request.user : request.domain + "/" + request.user;
  std::string line = "auth " + Quoted(request.server + "/" + request.share) + " " + Quoted(user) +
                     " " + Quoted(request.password) + "\n";
  Wipe(request.password);
  const int error = WritePrivateFile(file->second, line);
  Wipe(line);
  if (error != 0)
    return Failure(error, L"cannot write " + DecodeUtf8(file->second) + L": " + ErrnoText(error));
  return {};
}

SystemResult SmbEngine::WriteSettings(std::int64_t timeoutMs) {
  std::string settings = "smb_timeout " + std::to_string(std::max<std::int64_t>(timeoutMs, 1000)) +
                         "\nuse_libsecret false\n";
  for (const auto& logon : logonFiles_) settings += "include " + Quoted(logon.second) + "\n";
  const std::string path = runtime_ + "/.smb/smbnetfs.conf";
  const int error = WritePrivateFile(path, settings);
  if (error != 0)
    return Failure(error, L"cannot write " + DecodeUtf8(path) + L": " + ErrnoText(error));
  return {};
}

SystemResult SmbEngine::Start(std::int64_t deadlineMs, EventLoop& loop,
                              const std::function<void(std::int64_t)>& serve) {
  const std::string program = FindProgram(Engine);
  if (program.empty()) {
    return Failure(ENOENT,
                   L"smbnetfs is not installed (the package smbnetfs connects shares over SMB "
                   L"on this host)");
  }
  ClearMount();
  if (::mkdir(mountPoint_.c_str(), 0755) != 0 && errno != EEXIST) {
    return Failure(errno, L"cannot make " + DecodeUtf8(mountPoint_) + L": " + ErrnoText(errno));
  }
  // SIGTERM when the program ends, however: smbnetfs then unmounts itself.
  const HelperProcess helper =
      StartHelper({program, mountPoint_, "-f", "-o", "config=" + runtime_ + "/.smb/smbnetfs.conf"},
                  runtime_, false, SIGTERM);
  pid_ = helper.pid;
  const std::int64_t deadline = MonotonicMs() + deadlineMs;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      ClearMount();
      return Failure(EIO, L"smbnetfs " + HowItEnded(status) + L" before it mounted " +
                              DecodeUtf8(mountPoint_));
    }
    if (IsMounted(mountPoint_)) break;
    if (MonotonicMs() >= deadline) {
      ::kill(-pid_, SIGKILL);
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
      ClearMount();
      return Failure(ETIMEDOUT, L"smbnetfs did not mount " + DecodeUtf8(mountPoint_) + L" in time");
    }
    serve(PollStepMs);
  }
  // Its end is noticed at once where the kernel can tell it through a descriptor.
  pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
  if (pidFd_ >= 0) {
    loop_ = &loop;
    watch_ = loop.Watch(pidFd_, [this] {
      int status = 0;
      if (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) Ended(status);
    });
  }
  return {};
}

void SmbEngine::Ended(int status) {
  const pid_t group = pid_;
  pid_ = -1;
  if (loop_ != nullptr) loop_->Unwatch(watch_);
  if (pidFd_ >= 0) ::close(pidFd_);
  pidFd_ = -1;
  loop_ = nullptr;
  ::kill(-group, SIGKILL);  // its own helpers, if any are left
  ClearMount();
  if (onFault_) onFault_(L"Fault by smbnetfs: " + HowItEnded(status));
}

SystemResult SmbEngine::Serve(SmbRequest& request, const std::string& uncEntry,
                              std::int64_t deadlineMs, EventLoop& loop,
                              const std::function<void(std::int64_t)>& serve) {
  if (pid_ > 0) {  // without a descriptor to tell it, an end is seen here
    int status = 0;
    if (pidFd_ < 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) Ended(status);
  }
  SystemResult result = WriteLogon(request);
  if (result.Succeeded()) result = WriteSettings(request.timeoutMs);
  if (!result.Succeeded()) return result;
  if (pid_ > 0) {
    ::kill(pid_, SIGHUP);  // reads its settings and logons again
  } else {
    result = Start(deadlineMs, loop, serve);
    if (!result.Succeeded()) return result;
  }
  // dosdevices/unc/server/share: a link into the mount, relative as Wine's own links.
  const std::size_t shareSlash = uncEntry.rfind('/');
  const std::string serverFolder = uncEntry.substr(0, shareSlash);
  const std::string uncFolder = serverFolder.substr(0, serverFolder.rfind('/'));
  for (const std::string& folder : {uncFolder, serverFolder}) {
    if (::mkdir(folder.c_str(), 0755) == 0) {
      if (folder == serverFolder) folders_.insert(folder);
    } else if (errno != EEXIST) {
      return Failure(errno, L"cannot make " + DecodeUtf8(folder) + L": " + ErrnoText(errno));
    }
  }
  const std::string target =
      "../../../" + std::string(MountFolderName) + "/" + request.server + "/" + request.share;
  ::unlink(uncEntry.c_str());  // only ever an earlier link of ours (the caller made sure)
  if (::symlink(target.c_str(), uncEntry.c_str()) != 0)
    return Failure(errno, L"cannot link " + DecodeUtf8(uncEntry) + L": " + ErrnoText(errno));
  links_.insert(uncEntry);
  return {};
}

void SmbEngine::ClearMount() {
  if (!IsMounted(mountPoint_)) return;
  if (::umount2(mountPoint_.c_str(), MNT_DETACH) == 0) return;
  // Without the right to unmount, FUSE's own helper may (the mount is this user's).
  const std::string helper = FindProgram("fusermount3").empty() ? "fusermount" : "fusermount3";
  const std::string program = FindProgram(helper);
  if (program.empty()) return;
  try {
    const HelperProcess unmount =
        StartHelper({program, "-u", "-z", mountPoint_}, "/", false, SIGKILL);
    const std::int64_t deadline = MonotonicMs() + StopGraceMs;
    int status = 0;
    while (::waitpid(unmount.pid, &status, WNOHANG) == 0) {
      if (MonotonicMs() >= deadline) {
        ::kill(unmount.pid, SIGKILL);
        ::waitpid(unmount.pid, &status, 0);
        break;
      }
      ::usleep(PollStepMs * 1000);
    }
  } catch (...) {  // a stop goes on without it
  }
}

void SmbEngine::Stop() {
  if (pid_ > 0) {
    if (loop_ != nullptr) loop_->Unwatch(watch_);
    loop_ = nullptr;
    ::kill(-pid_, SIGTERM);
    const std::int64_t deadline = MonotonicMs() + StopGraceMs;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0 && MonotonicMs() < deadline)
      ::usleep(PollStepMs * 1000);
    ::kill(-pid_, SIGKILL);  // what is left of the group, the file system's own helpers
    ::waitpid(pid_, &status, WNOHANG);
    pid_ = -1;
  }
  if (pidFd_ >= 0) ::close(pidFd_);
  pidFd_ = -1;
  ClearMount();
  for (const std::string& link : links_) {
    char target[PATH_MAX] = {};
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    if (length > 0 && IsLinkIntoMount(std::string(target, static_cast<std::size_t>(length))))
      ::unlink(link.c_str());
  }
  links_.clear();
  for (const std::string& folder : folders_) ::rmdir(folder.c_str());  // when empty
  folders_.clear();
  ::rmdir(mountPoint_.c_str());
  if (!runtime_.empty()) ::nftw(runtime_.c_str(), RemoveEntry, 8, FTW_DEPTH | FTW_PHYS);
  runtime_.clear();
  if (runtimeLock_ >= 0) ::close(runtimeLock_);
  runtimeLock_ = -1;
  logonFiles_.clear();
}

}  // namespace vt::posix
