// One vodu-tavisto-smbfs process (smbfs.h): the file system that serves the shares of
// one server at MOUNT/<server>, owned by SmbFileSystem. It keeps the logons of those
// shares, in memory only, to hand a process it starts again: a process that dies, or
// says what is no answer, is named once in the log and started again at once (then
// after 1, 2, 4 ... 30 s while it keeps dying at once), without a check and without
// touching any status.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>

#include "platform/platform.h"
#include "platform/posix/smb/smb_request.h"
#include "platform/posix/system/child_process.h"
#include "platform/posix/system/event_loop.h"

namespace vt::posix {

class ServerFileSystem {
 public:
  using FaultSink = std::function<void(const std::wstring&)>;
  // `server` as the log names it; `program` is the file system's executable and `home`
  // the HOME where its client settings are.
  ServerFileSystem(std::wstring server, std::string mountPoint, std::string program,
                   std::string home, EventLoop& loop, FaultSink onFault);
  ~ServerFileSystem() { Stop(0); }
  ServerFileSystem(const ServerFileSystem&) = delete;
  ServerFileSystem& operator=(const ServerFileSystem&) = delete;

  const std::string& MountPoint() const { return mountPoint_; }

  // Serves `request`'s share (one of this server's) with its logon (wiped in
  // `request`): starts the process when it does not run (clearing a stale mount first)
  // and waits until it took the logon. `serve(maxMs)` serves the window's events while
  // it waits, until the monotonic clock reaches `deadline` (ms).
  SystemResult Serve(SmbRequest& request, std::int64_t deadline,
                     const std::function<void(std::int64_t)>& serve);
  // Stops serving a share (by its ShareKey) and wipes its logon. Whether shares are left.
  bool Drop(const std::string& key);

  // Tells the process to end (its requests end: it unmounts itself), so that several
  // can end at the same time; Stop then waits.
  void TellToEnd();
  // Ends the process and its group by `deadline` (ms), unmounts and wipes the logons.
  // Safe to call more than once.
  void Stop(std::int64_t deadline);

 private:
  enum class Stage { Stopped, Starting, Running, Resting };
  SystemResult Start();
  void TakeAnswers();
  // It has ended, or (`fault`) it is ended now: named, or said to the connect that
  // waits, and started again where it serves shares.
  void Ended(const std::wstring& fault = std::wstring());
  // A line that is no answer: a fault of the program, which is ended and started again.
  void Misbehaved(const std::string& line);
  void RestartAfter(std::int64_t delayMs);
  // The wait before the next start of a file system that died again at once.
  std::int64_t NextWaitMs();
  void OnTimer();
  void ArmTimer(std::int64_t delayMs);
  void Unwatch();
  bool Send(const std::string& key, const SmbRequest& request);
  void SendAll();
  std::wstring Serving() const;

  const std::wstring server_;
  const std::string mountPoint_;
  const std::string program_;
  const std::string home_;
  EventLoop& loop_;
  FaultSink onFault_;
  ChildProcess process_;
  Stage stage_ = Stage::Stopped;
  bool restarted_ = false;  // the running process was started by a restart
  int quickDeaths_ = 0;     // restarts in a row that died again at once
  std::int64_t startedAt_ = 0;
  std::wstring ending_;  // how the last process ended, for a connect that waited on it
  std::string answers_;  // what the process said that is not a whole line yet
  // The shares whose requests the running process has not answered yet, in order: its
  // answers come in the order of the requests.
  std::deque<std::string> unanswered_;
  Descriptor timer_;  // a restart's wait, or a start's deadline
  EventLoop::SourceId endWatch_ = 0;
  EventLoop::SourceId answerWatch_ = 0;
  EventLoop::SourceId timerWatch_ = 0;
  struct Logon {
    SmbRequest request;
    bool taken = false;  // a file system answered its latest request
  };
  std::map<std::string, Logon> logons_;  // by ShareKey
};

}  // namespace vt::posix
