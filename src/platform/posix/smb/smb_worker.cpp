#include "platform/posix/smb/smb_worker.h"

#include <pthread.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/posix/system/monotonic_clock.h"

namespace vt::posix {

namespace {

struct Job {
  enum class Stage { Queued, Running, Done, Abandoned };
  SmbWorker::Work work;
  SmbWorker::Work undo;
  Stage stage = Stage::Queued;
  int answer = 0;
  std::int64_t handedInMs = 0;
};

std::chrono::steady_clock::time_point TimeOf(std::int64_t monotonicMs) {
  return std::chrono::steady_clock::time_point(std::chrono::milliseconds(monotonicMs));
}

}  // namespace

struct SmbWorker::State {
  std::mutex mutex;
  std::condition_variable wake;      // the thread's: a call came, or the end
  std::condition_variable progress;  // the callers': a call started or finished
  std::deque<std::shared_ptr<Job>> jobs;
  int busy = 0;
  std::int64_t progressMs = 0;  // when a call last started or finished
  bool ending = false;

  // The thread: the calls in order, until it is told to end and has none left. A call,
  // and all it captured, is let go of under no lock: what it held may be the last hold
  // on anything.
  static void Serve(const std::shared_ptr<State>& state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
      state->wake.wait(lock, [&] { return !state->jobs.empty() || state->ending; });
      if (state->jobs.empty()) break;
      std::shared_ptr<Job> job = std::move(state->jobs.front());
      state->jobs.pop_front();
      const bool run = job->stage != Job::Stage::Abandoned;
      int answer = 0;
      if (run) {
        job->stage = Job::Stage::Running;
        state->progressMs = MonotonicMs();
        state->progress.notify_all();
        lock.unlock();
        errno = 0;
        answer = job->work();
        lock.lock();
      }
      const bool abandoned = job->stage == Job::Stage::Abandoned;
      if (run && !abandoned) {
        job->stage = Job::Stage::Done;
        job->answer = answer;
      }
      const bool undo = run && abandoned && answer == 0 && job->undo;
      // Counted as finished before its caller is woken, so that the caller sees it so.
      if (!undo) --state->busy;
      state->progressMs = MonotonicMs();
      state->progress.notify_all();
      lock.unlock();
      if (undo) job->undo();
      job.reset();
      lock.lock();
      if (undo) --state->busy;
    }
  }
};

SmbWorker::SmbWorker() : state_(std::make_shared<State>()) {
  // Its thread takes no signal: they are the main thread's (the file system's end).
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  try {
    std::thread([state = state_] { State::Serve(state); }).detach();
  } catch (...) {
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
}

SmbWorker::~SmbWorker() {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  state_->ending = true;
  state_->wake.notify_all();
}

int SmbWorker::Run(Work work, std::int64_t timeoutMs, Work undo) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  job->undo = std::move(undo);
  std::unique_lock<std::mutex> lock(state_->mutex);
  job->handedInMs = MonotonicMs();
  state_->jobs.push_back(job);
  ++state_->busy;
  state_->wake.notify_all();
  for (;;) {
    if (job->stage == Job::Stage::Done) return job->answer;
    const std::int64_t deadline = std::max(job->handedInMs, state_->progressMs) + timeoutMs;
    if (MonotonicMs() >= deadline) {
      job->stage = Job::Stage::Abandoned;
      return ETIMEDOUT;
    }
    state_->progress.wait_until(lock, TimeOf(deadline));
  }
}

void SmbWorker::Post(Work work) {
  auto job = std::make_shared<Job>();
  job->work = std::move(work);
  const std::lock_guard<std::mutex> lock(state_->mutex);
  job->handedInMs = MonotonicMs();
  state_->jobs.push_back(std::move(job));
  ++state_->busy;
  state_->wake.notify_all();
}

int SmbWorker::Busy() const {
  const std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->busy;
}

}  // namespace vt::posix
