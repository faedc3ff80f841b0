#include "platform/posix/smb_engine.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include "platform/posix/helper_process.h"
#include "platform/posix/monotonic_clock.h"
#include "platform/posix/mount_table.h"
#include "platform/posix/paths.h"
#include "platform/posix/runtime_folder.h"
#include "platform/posix/system_error.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

const char* const MountFolderName = ".vodu-tavisto-shares";
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

}  // namespace

SmbEngine::SmbEngine(std::string prefix) : prefix_(std::move(prefix)) {}

bool SmbEngine::IsLinkIntoMount(const std::string& target) {
  return target.find(std::string("/") + MountFolderName + "/") != std::string::npos;
}

std::string SmbEngine::Home(SystemResult& failure) {
  std::string path = runtime_.Path(failure);
  if (path.empty() || settingsWritten_) return path;
  const int error = ::mkdir((path + "/.smb").c_str(), 0700) != 0
                        ? errno
                        : WritePrivateFile(path + "/.smb/smb.conf", ClientSettings);
  if (error != 0) {
    failure = Failure(error, L"cannot write in " + DecodeUtf8(path) + L": " + ErrnoText(error));
    return std::string();
  }
  settingsWritten_ = true;
  return path;
}

SystemResult SmbEngine::WriteLogon(SmbRequest& request) {
  const std::string key = LowerCase(request.server + "/" + request.share);
  auto file = logonFiles_.find(key);
  if (file == logonFiles_.end()) {
    file = logonFiles_.emplace(key, folder_ + "/logon-" + std::to_string(logonFiles_.size() + 1))
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
  const std::string path = folder_ + "/.smb/smbnetfs.conf";
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
  if (mountPoint_.empty()) {  // as the mount table names it: without links
    char resolved[PATH_MAX];
    mountPoint_ = (::realpath(prefix_.c_str(), resolved) != nullptr ? resolved : prefix_) +
                  std::string("/") + MountFolderName;
  }
  Unmount(mountPoint_, StopGraceMs);  // a stale mount a killed file system left
  if (::mkdir(mountPoint_.c_str(), 0755) != 0 && errno != EEXIST) {
    return Failure(errno, L"cannot make " + DecodeUtf8(mountPoint_) + L": " + ErrnoText(errno));
  }
  // SIGTERM when the program ends, however: smbnetfs then unmounts itself.
  const HelperProcess helper =
      StartHelper({program, mountPoint_, "-f", "-o", "config=" + folder_ + "/.smb/smbnetfs.conf"},
                  folder_, false, SIGTERM);
  pid_ = helper.pid;
  const std::int64_t deadline = MonotonicMs() + deadlineMs;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      Unmount(mountPoint_, StopGraceMs);
      return Failure(EIO, L"smbnetfs " + HowItEnded(status) + L" before it mounted " +
                              DecodeUtf8(mountPoint_));
    }
    if (IsMounted(mountPoint_)) break;
    if (MonotonicMs() >= deadline) {
      ::kill(-pid_, SIGKILL);
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
      pid_ = -1;
      Unmount(mountPoint_, StopGraceMs);
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
  Unmount(mountPoint_, StopGraceMs);
  if (onFault_) onFault_(L"Fault by smbnetfs: " + HowItEnded(status));
}

SystemResult SmbEngine::Serve(SmbRequest& request, const std::string& uncEntry,
                              std::int64_t deadlineMs, EventLoop& loop,
                              const std::function<void(std::int64_t)>& serve) {
  if (pid_ > 0) {  // without a descriptor to tell it, an end is seen here
    int status = 0;
    if (pidFd_ < 0 && ::waitpid(pid_, &status, WNOHANG) == pid_) Ended(status);
  }
  SystemResult failure;
  folder_ = Home(failure);
  if (folder_.empty()) return failure;
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
  if (!mountPoint_.empty()) Unmount(mountPoint_, StopGraceMs);
  for (const std::string& link : links_) {
    if (IsLinkIntoMount(LinkTarget(link))) ::unlink(link.c_str());
  }
  links_.clear();
  for (const std::string& folder : folders_) ::rmdir(folder.c_str());  // when empty
  folders_.clear();
  if (!mountPoint_.empty()) ::rmdir(mountPoint_.c_str());
  runtime_.Remove();
  settingsWritten_ = false;
  folder_.clear();
  logonFiles_.clear();
}

}  // namespace vt::posix
