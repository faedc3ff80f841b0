// The program's side of its SMB file system (smbfs.h): one vodu-tavisto-smbfs process
// per station, started on the window's thread at the first SMB connect and owned by
// this object. It serves every share the program connects over SMB as
// MOUNT/server/share, where MOUNT is the station folder's .vodu-tavisto-shares;
// dosdevices/unc/server/share is a link into it, and the drive a link to that, as for
// any other share. The logons go to it through a pipe and are kept here, in memory
// only, to hand a restarted file system: a file system that dies is named once in the
// log and started again at once (then after 1, 2, 4 ... 30 s while it keeps dying at
// once), without a check and without touching any status. Nothing of it outlives the
// program: neither process nor mount, link or runtime file.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/platform.h"
#include "platform/posix/smb/smb_request.h"
#include "platform/posix/system/child_process.h"
#include "platform/posix/system/event_loop.h"
#include "platform/posix/system/runtime_folder.h"

namespace vt::posix {

class SmbFileSystem {
 public:
  // Nothing is made or looked at before the first SMB connect. `program` is the file
  // system's executable (empty: vodu-tavisto-smbfs beside the program's own).
  SmbFileSystem(std::string prefix, EventLoop& loop, std::string program = std::string());
  ~SmbFileSystem() { Stop(); }
  SmbFileSystem(const SmbFileSystem&) = delete;
  SmbFileSystem& operator=(const SmbFileSystem&) = delete;

  // Whether `target` (a link's content) points into the folder the file system mounts:
  // a dosdevices/unc entry the program made, never one of the system's.
  static bool IsLinkIntoMount(const std::string& target);

  // The helpers' HOME: the program's runtime folder (made, mode 0700, on first use),
  // where their SMB client settings are. Empty when it cannot be made; `failure` says why.
  std::string Home(SystemResult& failure);

  // Serves `request`'s share with its logon (wiped in `request`): starts the file
  // system when it does not run (clearing a stale mount first), hands it the logon, and
  // links `uncEntry` (the host path of dosdevices/unc/server/share) into the mount.
  // `serve(maxMs)` serves the window's events while it waits, until the monotonic clock
  // reaches `deadline` (ms).
  SystemResult Serve(SmbRequest& request, const std::string& uncEntry, std::int64_t deadline,
                     const std::function<void(std::int64_t)>& serve);

  // Stops serving a share and wipes its logon (a logon the server refuses now).
  void Drop(const std::string& server, const std::string& share);

  // What is said once when the file system ends by itself.
  void OnFault(std::function<void(const std::wstring&)> onFault) { onFault_ = std::move(onFault); }

  // Ends the file system and everything of it within a second: its process group, the
  // mount, the links and folders it made, the runtime folder, the logons. Safe to call
  // more than once.
  void Stop();

 private:
  enum class Stage { Stopped, Starting, Running, Resting };
  SystemResult Start();
  void TakeAnswers();
  void Ended();
  // Ends a process that has not mounted (in time), and takes its end as any other.
  void EndUnmounted();
  void RestartAfter(std::int64_t delayMs);
  // The wait before the next start of a file system that died again at once.
  std::int64_t NextWaitMs();
  void OnTimer();
  void ArmTimer(std::int64_t delayMs);
  void Unwatch();
  bool Send(const std::string& key, const SmbRequest& request);
  void SendAll();
  SystemResult Failure(int error, const std::wstring& reason) const;

  std::string prefix_;
  EventLoop& loop_;
  std::string program_;
  std::string mountPoint_;  // made at the first start
  RuntimeFolder runtime_;
  std::string home_;  // the runtime folder's path once its settings are written
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
  std::map<std::string, Logon> logons_;  // by lower-case "server/share"
  std::set<std::string> links_;          // dosdevices/unc entries made
  std::set<std::string> folders_;        // dosdevices/unc/server folders made
  std::function<void(const std::wstring&)> onFault_;
};

}  // namespace vt::posix
