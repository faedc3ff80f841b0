#include "platform/posix/station/share_calls.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <csignal>
#include <mutex>
#include <thread>

#include "platform/posix/system/monotonic_clock.h"
#include "platform/posix/system/system_error.h"
#include "portable/case_fold.h"

namespace vt::posix {

namespace {

// The teardown signals are blocked in a call's thread, so they always reach a thread
// that serves them, never one waiting in the kernel for a server.
class TeardownSignalsBlocked {
 public:
  TeardownSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&blocked, signal);
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previous_);
  }
  ~TeardownSignalsBlocked() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
  TeardownSignalsBlocked(const TeardownSignalsBlocked&) = delete;
  TeardownSignalsBlocked& operator=(const TeardownSignalsBlocked&) = delete;

 private:
  sigset_t previous_{};
};

}  // namespace

struct ShareCalls::Call {
  std::mutex mutex;
  Answer answer;          // set by the call's thread before it writes to the pipe
  bool returned = false;  // the window's thread has seen the pipe: the answer is there
  int readFd = -1;
  EventLoop::SourceId source = 0;
};

std::optional<ShareCalls::Answer> ShareCalls::Run(const std::wstring& drive,
                                                  std::int64_t deadlineMs,
                                                  std::function<Answer()> work,
                                                  const std::function<void(std::int64_t)>& serve) {
  const std::wstring key = UpperCaseText(drive);
  if (auto earlier = calls_.find(key); earlier != calls_.end()) {
    if (!earlier->second->returned) return std::nullopt;
    calls_.erase(earlier);
  }

  int ends[2];
  ThrowErrnoIf(::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0, L"pipe2");
  auto call = std::make_shared<Call>();
  call->readFd = ends[0];
  call->source = loop_.Watch(ends[0], [this, call] {
    char drained[16];
    while (::read(call->readFd, drained, sizeof drained) > 0) {
    }
    call->returned = true;
    loop_.Unwatch(call->source);
    ::close(call->readFd);
  });
  try {
    const TeardownSignalsBlocked blocked;
    std::thread([call, work = std::move(work), writeFd = ends[1]] {
      Answer answer;
      try {
        answer = work();
      } catch (...) {  // a call that cannot be made reads as unreadable, or failed
        answer = {DriveRoot::Unreadable, {GeneralFailure, L"the call could not be made"}};
      }
      {
        const std::lock_guard<std::mutex> lock(call->mutex);
        call->answer = std::move(answer);
      }
      const char done = 1;
      [[maybe_unused]] const ssize_t written = ::write(writeFd, &done, 1);
      ::close(writeFd);
    }).detach();
  } catch (...) {
    loop_.Unwatch(call->source);
    ::close(ends[0]);
    ::close(ends[1]);
    throw;
  }
  calls_[key] = call;

  const std::int64_t deadline = MonotonicMs() + deadlineMs;
  while (!call->returned) {
    const std::int64_t left = deadline - MonotonicMs();
    if (left <= 0) return std::nullopt;
    serve(left);
  }
  calls_.erase(key);
  const std::lock_guard<std::mutex> lock(call->mutex);
  return call->answer;
}

}  // namespace vt::posix
