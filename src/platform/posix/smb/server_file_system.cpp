#include "platform/posix/smb/server_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>

#include "platform/posix/system/monotonic_clock.h"
#include "platform/posix/system/mount_table.h"
#include "platform/posix/system/system_error.h"
#include "portable/codepage.h"
#include "portable/secret_text.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

// An unmount of a stale mount, before a start, or after an end.
constexpr std::int64_t UnmountBudgetMs = 500;
// A start that a restart made has this long to mount.
constexpr std::int64_t StartBudgetMs = 5000;
// A file system that ran this long died of something new: named, and started at once.
constexpr std::int64_t SteadyRunMs = 30000;
constexpr std::int64_t LongestRestartWaitMs = 30000;
constexpr std::int64_t WaitStepMs = 50;
// A file system whose answers ended has this long to end by itself.
constexpr std::int64_t SilentEndMs = 500;
// The longest line of a file system's that a fault names.
constexpr std::size_t LongestNamedLine = 80;

SystemResult Failure(int error, const std::wstring& reason) {
  SystemResult result = ErrnoResult(error);
  result.reason = reason;
  result.kind = FailureKind::Other;
  return result;
}

std::wstring Program() {
  return DecodeUtf8(SmbFsProgram);
}

bool IsErrno(const std::string& line) {
  return !line.empty() && line.size() <= 4 &&
         std::all_of(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

ServerFileSystem::ServerFileSystem(std::wstring server, std::string mountPoint, std::string program,
                                   std::string home, EventLoop& loop, FaultSink onFault)
    : server_(std::move(server)),
      mountPoint_(std::move(mountPoint)),
      program_(std::move(program)),
      home_(std::move(home)),
      loop_(loop),
      onFault_(std::move(onFault)) {}

std::wstring ServerFileSystem::Serving() const {
  return L", serving \\\\" + server_;
}

SystemResult ServerFileSystem::Start() {
  Unmount(mountPoint_, MonotonicMs() + UnmountBudgetMs);  // a stale mount a killed one left
  if (::mkdir(mountPoint_.c_str(), 0755) != 0 && errno != EEXIST) {
    const int error = errno;  // before the message's text is made
    return Failure(error, L"cannot make " + DecodeUtf8(mountPoint_) + L": " + ErrnoText(error));
  }
  // SIGTERM when the program ends, however: the file system then unmounts itself.
  const char* call = nullptr;
  const int error = process_.Start({{program_, mountPoint_}, home_, true, SIGTERM}, &call);
  if (error != 0) {
    return Failure(error, Program() + L" cannot be run: " +
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

void ServerFileSystem::TakeAnswers() {
  char buffer[256];
  const ssize_t got = ::read(process_.Output().get(), buffer, sizeof buffer);
  if (got < 0 && errno == EINTR) return;
  if (got <= 0) {
    // Its answers ended: its end follows, which is waited for a short while (without a
    // process descriptor nothing else would tell of it); one that lives on is ended.
    loop_.Unwatch(answerWatch_);
    answerWatch_ = 0;
    process_.WaitUntil(MonotonicMs() + SilentEndMs);
    int status = 0;
    Ended(process_.Ended(status) ? std::wstring()
                                 : L"Fault by " + Program() + L": stopped answering" + Serving());
    return;
  }
  answers_.append(buffer, static_cast<std::size_t>(got));
  std::size_t end = 0;
  while (process_.Running() && (end = answers_.find('\n')) != std::string::npos) {
    const std::string line = answers_.substr(0, end);
    answers_.erase(0, end + 1);
    if (stage_ == Stage::Starting && line == "0") {
      stage_ = Stage::Running;
      ArmTimer(0);
      SendAll();
    } else if (stage_ == Stage::Starting && IsErrno(line)) {
      // It could not mount: it ends, and its end says so.
    } else if (stage_ == Stage::Running && line == "0" && !unanswered_.empty()) {
      const auto found = logons_.find(unanswered_.front());
      if (found != logons_.end()) found->second.taken = true;
      unanswered_.pop_front();
    } else {
      Misbehaved(line);
    }
  }
  if (process_.Running() && answers_.size() > LongestNamedLine) Misbehaved(answers_);
}

void ServerFileSystem::Misbehaved(const std::string& line) {
  const std::string shown = line.substr(0, LongestNamedLine);
  Ended(L"Fault by " + Program() + L": said \"" + DecodeCp1252(shown) + L"\", which is no answer" +
        Serving());
}

void ServerFileSystem::Ended(const std::wstring& fault) {
  int status = 0;
  if (!process_.Running() || (fault.empty() && !process_.Ended(status))) return;
  const bool wasStarting = stage_ == Stage::Starting;
  const std::int64_t ranMs = MonotonicMs() - startedAt_;
  Unwatch();
  status = process_.End(SIGKILL, 0);  // its group too: helpers it left
  process_.Input().Reset();
  process_.Output().Reset();
  Unmount(mountPoint_, MonotonicMs() + UnmountBudgetMs);
  ending_ = fault.empty() ? Program() + L" " + HowItEnded(status) +
                                (wasStarting ? L" before it mounted " + DecodeUtf8(mountPoint_)
                                             : std::wstring())
                          : fault;
  if (wasStarting && !restarted_) {
    stage_ = Stage::Stopped;  // a connect's start: the connect says why
    return;
  }
  if (logons_.empty()) {
    stage_ = Stage::Stopped;
    return;
  }
  if (!restarted_ || ranMs >= SteadyRunMs) {
    if (onFault_)
      onFault_(fault.empty() ? L"Fault by " + Program() + L": " + HowItEnded(status) + Serving()
                             : fault);
    quickDeaths_ = 0;
    RestartAfter(0);
  } else {
    RestartAfter(NextWaitMs());
  }
}

std::int64_t ServerFileSystem::NextWaitMs() {
  ++quickDeaths_;  // 1, 2, 4, ... s, at most LongestRestartWaitMs
  return std::min<std::int64_t>(std::int64_t{1000} << std::min(quickDeaths_ - 1, 5),
                                LongestRestartWaitMs);
}

void ServerFileSystem::RestartAfter(std::int64_t delayMs) {
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

void ServerFileSystem::ArmTimer(std::int64_t delayMs) {
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

void ServerFileSystem::OnTimer() {
  std::uint64_t expirations = 0;
  if (::read(timer_.get(), &expirations, sizeof expirations) != sizeof expirations) return;
  if (stage_ == Stage::Resting) {
    RestartAfter(0);
  } else if (stage_ == Stage::Starting) {
    process_.SignalGroup(SIGKILL);  // it did not mount in time
    process_.WaitUntil(MonotonicMs() + UnmountBudgetMs);
    Ended();
  }
}

void ServerFileSystem::Unwatch() {
  for (EventLoop::SourceId* watch : {&endWatch_, &answerWatch_}) {
    if (*watch != 0) loop_.Unwatch(*watch);
    *watch = 0;
  }
  ArmTimer(0);
}

bool ServerFileSystem::Send(const std::string& key, const SmbRequest& request) {
  std::string bytes;
  EncodeSmbRequest(request, bytes);
  const bool sent = ::write(process_.Input().get(), bytes.data(), bytes.size()) ==
                    static_cast<ssize_t>(bytes.size());
  Wipe(bytes);
  if (sent) unanswered_.push_back(key);
  return sent;
}

void ServerFileSystem::SendAll() {
  for (const auto& logon : logons_) Send(logon.first, logon.second.request);
}

SystemResult ServerFileSystem::Serve(SmbRequest& request, std::int64_t deadline,
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
    return Failure(EPIPE, Program() + L" takes no requests: " + ErrnoText(errno));
  }
  // Taken once a file system answered it: one that dies after that gets it again when
  // it is started again.
  while (!logon.taken) {
    if (stage_ != Stage::Starting && stage_ != Stage::Running) return Failure(EIO, ending_);
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) {
      const bool unmounted = stage_ == Stage::Starting;
      // A start of this connect's own that did not mount is given up with it.
      if (unmounted && !restarted_) {
        process_.SignalGroup(SIGKILL);
        process_.WaitUntil(MonotonicMs() + UnmountBudgetMs);
        Ended();
      }
      return Failure(ETIMEDOUT, Program() + (unmounted ? L" did not mount " +
                                                             DecodeUtf8(mountPoint_) + L" in time"
                                                       : L" did not answer in time"));
    }
    serve(std::min(left, WaitStepMs));
  }
  return {};
}

bool ServerFileSystem::Drop(const std::string& key) {
  const auto found = logons_.find(key);
  if (found != logons_.end()) {
    SmbRequest& request = found->second.request;
    Wipe(request.password);
    request.kind = SmbRequest::Kind::Drop;
    if (stage_ == Stage::Running) Send(found->first, request);
    logons_.erase(found);
  }
  return !logons_.empty();
}

void ServerFileSystem::TellToEnd() {
  if (process_.Running()) process_.Input().Reset();  // the end of its requests
}

void ServerFileSystem::Stop(std::int64_t deadline) {
  Unwatch();
  if (timerWatch_ != 0) loop_.Unwatch(timerWatch_);
  timerWatch_ = 0;
  timer_.Reset();
  if (process_.Running()) {
    process_.Input().Reset();  // the end of its requests: it unmounts and ends
    process_.End(SIGTERM, deadline - UnmountBudgetMs / 2);
    process_.Output().Reset();
  }
  if (stage_ != Stage::Stopped) Unmount(mountPoint_, std::max(deadline, MonotonicMs()));
  stage_ = Stage::Stopped;
  for (auto& logon : logons_) Wipe(logon.second.request.password);
  logons_.clear();
}

}  // namespace vt::posix
