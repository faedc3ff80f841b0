#include "platform/posix/smb/smb_connection.h"

#include <pthread.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <thread>

#include "platform/posix/smb/smb_client.h"
#include "portable/secret_text.h"

namespace vt::posix {

namespace {

struct Job {
  enum class Stage { Queued, Running, Done, Abandoned };
  SmbConnection::Work work;
  SmbConnection::Work undo;
  bool mustRun = false;
  Stage stage = Stage::Queued;
  int answer = 0;
  std::condition_variable done;
};

std::chrono::steady_clock::time_point TimeOf(std::int64_t monotonicMs) {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(monotonicMs));
}

}  // namespace

SmbLogon::~SmbLogon() {
  Wipe(password);
}

struct SmbConnection::State {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::shared_ptr<Job>> jobs;
  int busy = 0;
  bool running = false;  // the thread has been started
  bool ending = false;
  std::shared_ptr<SmbLogon> logon;

  static void AnswerLogon(SMBCCTX* context, const char*, const char*, char* domain, int domainSize,
                          char* user, int userSize, char* password, int passwordSize) {
    const auto* state = static_cast<const State*>(smbc_getOptionUserData(context));
    const std::lock_guard<std::mutex> lock(state->logon->mutex);
    CopyLogonField(state->logon->domain, domain, domainSize);
    CopyLogonField(state->logon->user, user, userSize);
    CopyLogonField(state->logon->password, password, passwordSize);
  }

  // The connection's thread: its jobs in order, until it is told to end.
  static void Serve(const std::shared_ptr<State>& state) {
    SMBCCTX* context = nullptr;
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
      state->wake.wait(lock, [&] { return !state->jobs.empty() || state->ending; });
      if (state->jobs.empty()) break;
      const std::shared_ptr<Job> job = state->jobs.front();
      state->jobs.pop_front();
      const bool abandoned = job->stage == Job::Stage::Abandoned;
      if (abandoned && !job->mustRun) {
        --state->busy;
        continue;
      }
      if (!abandoned) job->stage = Job::Stage::Running;
      lock.unlock();
      int answer = 0;
      {
        const std::unique_lock<std::mutex> turn = LibraryTurn();
        if (context == nullptr) context = MakeContext(*state);
        if (context == nullptr) answer = SmbError();
        if (context != nullptr) {
          errno = 0;
          answer = job->work(context);
        }
      }
      lock.lock();
      if (job->stage == Job::Stage::Abandoned) {
        lock.unlock();
        if (job->undo && context != nullptr && answer == 0) {
          const std::unique_lock<std::mutex> turn = LibraryTurn();
          job->undo(context);
        }
        lock.lock();
      } else {
        job->stage = Job::Stage::Done;
        job->answer = answer;
        job->done.notify_all();
      }
      --state->busy;
    }
    lock.unlock();
    const std::unique_lock<std::mutex> turn = LibraryTurn();
    FreeSmbContext(context);
  }

  static SMBCCTX* MakeContext(State& state) {
    int timeoutMs = 0;
    {
      const std::lock_guard<std::mutex> logonLock(state.logon->mutex);
      timeoutMs = state.logon->timeoutMs;
    }
    return NewSmbContext(timeoutMs, &state, AnswerLogon);
  }
};

SmbConnection::SmbConnection(std::shared_ptr<SmbLogon> logon) : state_(std::make_shared<State>()) {
  state_->logon = std::move(logon);
}

SmbConnection::~SmbConnection() {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  state_->ending = true;
  state_->wake.notify_all();
}

int SmbConnection::Run(Work work, std::int64_t deadline, Work undo, bool mustRun) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->undo = std::move(undo);
  job->mustRun = mustRun;
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->jobs.push_back(job);
  ++state_->busy;
  if (!state_->running) {
    // Its thread takes no signal: they are the main thread's (the file system's end).
    sigset_t all, previous;
    sigfillset(&all);
    ::pthread_sigmask(SIG_SETMASK, &all, &previous);
    try {
      std::thread([state = state_] { State::Serve(state); }).detach();
    } catch (const std::system_error&) {
      ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
      state_->jobs.pop_back();
      --state_->busy;
      return EAGAIN;
    }
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    state_->running = true;
  }
  state_->wake.notify_all();
  if (job->done.wait_until(lock, TimeOf(deadline),
                           [&] { return job->stage == Job::Stage::Done; })) {
    return job->answer;
  }
  job->stage = Job::Stage::Abandoned;
  return ETIMEDOUT;
}

int SmbConnection::Busy() const {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->busy;
}

}  // namespace vt::posix
