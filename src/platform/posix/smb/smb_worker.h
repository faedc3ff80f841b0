// The one thread of an SMB helper that calls Samba's client library. The library keeps
// state for the whole process (its settings, character conversion, caches) and promises
// no safety between threads, so every call a process makes to it runs here, one after
// another, in the order it was handed in; the callers (the file system's threads) wait
// for their answers with a deadline.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace vt::posix {

class SmbWorker {
 public:
  // A call: 0 or an errno. It runs on the worker's thread, maybe after its caller has
  // gone: it owns (captures by value) all it uses.
  using Work = std::function<int()>;

  SmbWorker();
  // The thread ends once the calls it has are done; nothing waits for it (a call a
  // silent server holds up ends at the library's own timeout).
  ~SmbWorker();
  SmbWorker(const SmbWorker&) = delete;
  SmbWorker& operator=(const SmbWorker&) = delete;

  // Runs `work` in its turn and waits for its answer, or ETIMEDOUT once `timeoutMs` has
  // passed without progress for it: counted from when it was handed in or from the
  // start of the call running ahead of it, whichever is later, so a call queued behind
  // calls the server answers in time waits for them, and one behind a call the server
  // holds up gives up at the share's deadline. A call given up on before it started is
  // never run; one running then finishes, and `undo` (when given) then runs after it,
  // to take back what it made (a file it opened) now that nobody takes its answer.
  int Run(Work work, std::int64_t timeoutMs, Work undo = {});
  // Runs `work` in its turn, with nobody waiting for it (the close of a file).
  void Post(Work work);

  // Calls handed in and not finished yet.
  int Busy() const;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace vt::posix
