#include "platform/posix/smb/smb_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>

#include "platform/posix/system/link_target.h"
#include "platform/posix/system/monotonic_clock.h"
#include "platform/posix/system/mount_table.h"
#include "platform/posix/system/system_error.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

const char* const MountFolderName = ".vodu-tavisto-shares";
// The whole stop, the file system's end and the unmount, within this (a second is
// promised).
constexpr std::int64_t StopBudgetMs = 800;
// An unmount of a stale mount, before a start.
constexpr std::int64_t UnmountBudgetMs = 500;
// A start that a restart made has this long to mount.
constexpr std::int64_t StartBudgetMs = 5000;
// A file system that ran this long died of something new: named, and started at once.
constexpr std::int64_t SteadyRunMs = 30000;
constexpr std::int64_t LongestRestartWaitMs = 30000;
constexpr std::int64_t WaitStepMs = 50;

// Client settings for the probe and the file system alike: the station's own first (a
// station may allow SMB1 there), then names resolved as host names (DNS, /etc/hosts);
// a NetBIOS broadcast would only make an unknown name slow.
const char* const StationSettings = "/etc/samba/smb.conf";
const char* const ClientSettings =
    "name resolve order = host\n"
    "disable netbios = yes\n";

}  // namespace

SmbFileSystem::SmbFileSystem(std::string prefix, EventLoop& loop, std::string program)
    : prefix_(std::move(prefix)), loop_(loop), program_(std::move(program)) {}

bool SmbFileSystem::IsLinkIntoMount(const std::string& target) {
  return target.find(std::string("/") + MountFolderName + "/") != std::string::npos;
}

SystemResult SmbFileSystem::Failure(int error, const std::wstring& reason) const {
  SystemResult result = ErrnoResult(error);
  result.reason = reason;
  result.kind = FailureKind::Other;
  return result;
}

std::string SmbFileSystem::Home(SystemResult& failure) {
  if (!home_.empty()) return home_;
  std::string path = runtime_.Path(failure);
  if (path.empty()) return path;
  const std::string settings =
      std::string("[global]\n") +
      (::access(StationSettings, R_OK) == 0 ? std::string("include = ") + StationSettings + "\n"
                                            : std::string()) +
      ClientSettings;
  const int error = ::mkdir((path + "/.smb").c_str(), 0700) != 0 && errno != EEXIST
                        ? errno
                        : WritePrivateFile(path + "/.smb/smb.conf", settings);
  if (error != 0) {
    failure = Failure(error, L"cannot write in " + DecodeUtf8(path) + L": " + ErrnoText(error));
    return std::string();
  }
  home_ = path;
  return home_;
}

SystemResult SmbFileSystem::Start() {
  const std::string program = program_.empty() ? CompanionProgram(SmbFsProgram) : program_;
  if (program.empty()) {
    return Failure(ENOENT, L"the SMB file system " + DecodeUtf8(SmbFsProgram) +
                               L" is not installed beside the program");
  }
  SystemResult failure;
  const std::string home = Home(failure);
  if (home.empty()) return failure;
  if (mountPoint_.empty()) {  // as the mount table names it: without links
    char resolved[PATH_MAX];
    mountPoint_ = (::realpath(prefix_.c_str(), resolved) != nullptr ? resolved : prefix_) +
                  std::string("/") + MountFolderName;
  }
  Unmount(mountPoint_, MonotonicMs() + UnmountBudgetMs);  // a stale mount a killed one left
  if (::mkdir(mountPoint_.c_str(), 0755) != 0 && errno != EEXIST) {
    const int error = errno;  // before the message's text is made
    return Failure(error, L"cannot make " + DecodeUtf8(mountPoint_) + L": " + ErrnoText(error));
  }
  // SIGTERM when the program ends, however: the file system then unmounts itself.
  const char* call = nullptr;
  const int error = process_.Start({{program, mountPoint_}, home, true, SIGTERM}, &call);
  if (error != 0) {
    return Failure(error, DecodeUtf8(SmbFsProgram) + L" cannot be run: " +
                              FailedCallText(DecodeUtf8(call != nullptr ? call : "fork"),
                                             static_cast<std::uint32_t>(error), ErrnoText(error)));
  }
  // Requests never wait on a file system that does not read them.
  ::fcntl(process_.Input().get(), F_SETFL, ::fcntl(process_.Input().get(), F_GETFL) | O_NONBLOCK);
  stage_ = Stage::Starting;
  startedAt_ = MonotonicMs();
  answers_.clear();
  unanswered_.clear();
  answerWatch_ = loop_.Watch(process_.Output().get(), [this] { TakeAnswers(); });
  if (process_.EndDescriptor() >= 0)
    endWatch_ = loop_.Watch(process_.EndDescriptor(), [this] { Ended(); });
  ArmTimer(StartBudgetMs);
  return {};
}

void SmbFileSystem::TakeAnswers() {
  char buffer[256];
  const ssize_t got = ::read(process_.Output().get(), buffer, sizeof buffer);
  if (got <= 0) {
    if (got < 0 && errno == EINTR) return;
    loop_.Unwatch(answerWatch_);  // it closed its output: its end follows
    answerWatch_ = 0;
    Ended();
    return;
  }
  answers_.append(buffer, static_cast<std::size_t>(got));
  std::size_t end = 0;
  while ((end = answers_.find('\n')) != std::string::npos) {
    const std::string line = answers_.substr(0, end);
    answers_.erase(0, end + 1);
    if (stage_ == Stage::Starting) {
      if (line != "0") continue;  // it could not mount: it ends, and says so
      stage_ = Stage::Running;
      ArmTimer(0);
      SendAll();
    } else if (!unanswered_.empty()) {
      const auto found = logons_.find(unanswered_.front());
      if (found != logons_.end()) found->second.taken = true;
      unanswered_.pop_front();
    }
  }
}

void SmbFileSystem::Ended() {
  int status = 0;
  if (!process_.Running() || !process_.Ended(status)) return;
  const bool wasStarting = stage_ == Stage::Starting;
  const std::int64_t ranMs = MonotonicMs() - startedAt_;
  Unwatch();
  status = process_.End(SIGKILL, 0);  // its group too: helpers it left
  process_.Input().Reset();
  process_.Output().Reset();
  Unmount(mountPoint_, MonotonicMs() + UnmountBudgetMs);
  ending_ = DecodeUtf8(SmbFsProgram) + L" " + HowItEnded(status) +
            (wasStarting ? L" before it mounted " + DecodeUtf8(mountPoint_) : std::wstring());
  const std::wstring fault = L"Fault by " + DecodeUtf8(SmbFsProgram) + L": " + HowItEnded(status);
  if (wasStarting && !restarted_) {
    stage_ = Stage::Stopped;  // a connect's start: the connect says why
    return;
  }
  if (logons_.empty()) {
    stage_ = Stage::Stopped;
    return;
  }
  if (!restarted_ || ranMs >= SteadyRunMs) {
    if (onFault_) onFault_(fault);
    quickDeaths_ = 0;
    RestartAfter(0);
  } else {
    RestartAfter(NextWaitMs());
  }
}

std::int64_t SmbFileSystem::NextWaitMs() {
  ++quickDeaths_;  // 1, 2, 4, ... s, at most LongestRestartWaitMs
  return std::min<std::int64_t>(std::int64_t{1000} << std::min(quickDeaths_ - 1, 5),
                                LongestRestartWaitMs);
}

void SmbFileSystem::RestartAfter(std::int64_t delayMs) {
  stage_ = Stage::Resting;
  if (delayMs > 0) {
    ArmTimer(delayMs);
    return;
  }
  restarted_ = true;
  const SystemResult started = Start();
  if (!started.Succeeded()) {
    ending_ = started.reason;
    RestartAfter(NextWaitMs());
  }
}

void SmbFileSystem::ArmTimer(std::int64_t delayMs) {
  if (!timer_.valid()) {
    timer_.Reset(::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK));
    if (!timer_.valid()) return;  // no deadline and no wait: a restart is made at once
    timerWatch_ = loop_.Watch(timer_.get(), [this] { OnTimer(); });
  }
  itimerspec when{};
  when.it_value.tv_sec = static_cast<time_t>(delayMs / 1000);
  when.it_value.tv_nsec = static_cast<long>(delayMs % 1000) * 1000000;
  ::timerfd_settime(timer_.get(), 0, &when, nullptr);  // zero disarms it
}

void SmbFileSystem::OnTimer() {
  std::uint64_t expirations = 0;
  if (::read(timer_.get(), &expirations, sizeof expirations) != sizeof expirations) return;
  if (stage_ == Stage::Resting) {
    RestartAfter(0);
  } else if (stage_ == Stage::Starting) {
    EndUnmounted();
  }
}

void SmbFileSystem::EndUnmounted() {
  process_.SignalGroup(SIGKILL);
  process_.WaitUntil(MonotonicMs() + UnmountBudgetMs);
  Ended();
}

void SmbFileSystem::Unwatch() {
  for (EventLoop::SourceId* watch : {&endWatch_, &answerWatch_}) {
    if (*watch != 0) loop_.Unwatch(*watch);
    *watch = 0;
  }
  ArmTimer(0);
}

bool SmbFileSystem::Send(const std::string& key, const SmbRequest& request) {
  std::string bytes;
  EncodeSmbRequest(request, bytes);
  const bool sent = ::write(process_.Input().get(), bytes.data(), bytes.size()) ==
                    static_cast<ssize_t>(bytes.size());
  Wipe(bytes);
  if (sent) unanswered_.push_back(key);
  return sent;
}

void SmbFileSystem::SendAll() {
  for (const auto& logon : logons_) Send(logon.first, logon.second.request);
}

SystemResult SmbFileSystem::Serve(SmbRequest& request, const std::string& uncEntry,
                                  std::int64_t deadline,
                                  const std::function<void(std::int64_t)>& serve) {
  const std::string key = ShareKey(request.server, request.share);
  Logon& logon = logons_[key];
  SmbRequest& held = logon.request;
  held.kind = SmbRequest::Kind::Serve;
  held.server = request.server;
  held.share = request.share;
  held.domain = request.domain;
  held.user = request.user;
  Wipe(held.password);
  held.password.assign(request.password);
  held.timeoutMs = request.timeoutMs;
  Wipe(request.password);
  logon.taken = false;

  if (stage_ == Stage::Stopped || stage_ == Stage::Resting) {
    restarted_ = false;
    quickDeaths_ = 0;
    ArmTimer(0);
    SystemResult started = Start();
    if (!started.Succeeded()) {
      stage_ = Stage::Stopped;
      return started;
    }
  } else if (stage_ == Stage::Running && !Send(key, held)) {
    return Failure(EPIPE, DecodeUtf8(SmbFsProgram) + L" takes no requests: " + ErrnoText(errno));
  }
  // Taken once a file system answered it: one that dies after that gets it again when
  // it is started again.
  while (!logon.taken) {
    if (stage_ != Stage::Starting && stage_ != Stage::Running) return Failure(EIO, ending_);
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) {
      const bool unmounted = stage_ == Stage::Starting;
      // A start of this connect's own that did not mount is given up with it.
      if (unmounted && !restarted_) EndUnmounted();
      return Failure(ETIMEDOUT,
                     DecodeUtf8(SmbFsProgram) +
                         (unmounted ? L" did not mount " + DecodeUtf8(mountPoint_) + L" in time"
                                    : L" did not answer in time"));
    }
    serve(std::min(left, WaitStepMs));
  }

  // dosdevices/unc/server/share: a link into the mount, relative as Wine's own links.
  const std::size_t shareSlash = uncEntry.rfind('/');
  const std::string serverFolder = uncEntry.substr(0, shareSlash);
  const std::string uncFolder = serverFolder.substr(0, serverFolder.rfind('/'));
  for (const std::string& folder : {uncFolder, serverFolder}) {
    if (::mkdir(folder.c_str(), 0755) == 0) {
      if (folder == serverFolder) folders_.insert(folder);
    } else if (const int error = errno; error != EEXIST) {
      return Failure(error, L"cannot make " + DecodeUtf8(folder) + L": " + ErrnoText(error));
    }
  }
  const std::string target =
      "../../../" + std::string(MountFolderName) + "/" + held.server + "/" + held.share;
  ::unlink(uncEntry.c_str());  // only ever an earlier link of ours (the caller made sure)
  if (::symlink(target.c_str(), uncEntry.c_str()) != 0) {
    const int error = errno;
    return Failure(error, L"cannot link " + DecodeUtf8(uncEntry) + L": " + ErrnoText(error));
  }
  links_.insert(uncEntry);
  return {};
}

void SmbFileSystem::Drop(const std::string& server, const std::string& share) {
  const auto found = logons_.find(ShareKey(server, share));
  if (found == logons_.end()) return;
  SmbRequest& request = found->second.request;
  Wipe(request.password);
  request.kind = SmbRequest::Kind::Drop;
  if (stage_ == Stage::Running) Send(found->first, request);
  logons_.erase(found);
}

void SmbFileSystem::Stop() {
  const std::int64_t deadline = MonotonicMs() + StopBudgetMs;
  Unwatch();
  if (timerWatch_ != 0) loop_.Unwatch(timerWatch_);
  timerWatch_ = 0;
  timer_.Reset();
  if (process_.Running()) {
    process_.Input().Reset();  // the end of its requests: it unmounts and ends
    process_.End(SIGTERM, deadline - UnmountBudgetMs / 2);
    process_.Output().Reset();
  }
  stage_ = Stage::Stopped;
  if (!mountPoint_.empty()) Unmount(mountPoint_, deadline);
  for (const std::string& link : links_) {
    if (IsLinkIntoMount(LinkTarget(link))) ::unlink(link.c_str());
  }
  links_.clear();
  for (const std::string& folder : folders_) ::rmdir(folder.c_str());  // when empty
  folders_.clear();
  if (!mountPoint_.empty()) ::rmdir(mountPoint_.c_str());
  runtime_.Remove();
  home_.clear();
  for (auto& logon : logons_) Wipe(logon.second.request.password);
  logons_.clear();
}

}  // namespace vt::posix
