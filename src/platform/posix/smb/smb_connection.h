// One context of Samba's client library and the one thread that uses it. The library
// allows a context on one thread at a time, so a connection's calls run in order on a
// thread of its own while the caller waits for each with a deadline: a call that a
// silent server holds up past it holds up this connection only, and its caller gets
// ETIMEDOUT and goes on.
#pragma once

#include <libsmbclient.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace vt::posix {

// The logon of one served share, shared by its connections: a connection whose server
// went away logs on again with it, for as long as it is served.
struct SmbLogon {
  std::mutex mutex;
  std::string domain;
  std::string user;
  std::string password;
  int timeoutMs = 0;  // the library's own bound on each call to the server
  ~SmbLogon();
};

class SmbConnection {
 public:
  // A call on the connection's context: 0 or an errno. It runs on the connection's
  // thread, after the caller may have gone: it owns (captures by value) all it uses.
  using Work = std::function<int(SMBCCTX*)>;

  explicit SmbConnection(std::shared_ptr<SmbLogon> logon);
  // The thread ends once the calls it has are done (a call a silent server holds up
  // ends at the library's own timeout), and then frees the context.
  ~SmbConnection();
  SmbConnection(const SmbConnection&) = delete;
  SmbConnection& operator=(const SmbConnection&) = delete;

  // Runs `work` and waits for it until the monotonic clock reaches `deadline` (ms):
  // its answer, or ETIMEDOUT. A call still queued then is not run; a call running then
  // finishes, and `undo` (when given) then runs after it, to take back what it made
  // (a file it opened) now that nobody takes its answer. With `mustRun`, the call runs
  // even when nobody waits for it any more (the close of a file).
  int Run(Work work, std::int64_t deadline, Work undo = {}, bool mustRun = false);

  // Calls queued or running: an idle connection has none.
  int Busy() const;
  // Files opened on this connection and not closed yet, kept by the file system.
  std::atomic<int> openFiles{0};

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace vt::posix
