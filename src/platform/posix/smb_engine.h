// The SMB file system of the native host: one smbnetfs process, started by the program
// on the window's thread and owned by it, serves every share the program connects over
// SMB as MOUNT/server/share, where MOUNT is the station folder's .vodu-tavisto-shares.
// dosdevices/unc/server/share is then a link into it (the live share), and the drive a
// link to that, as for any other share. The logons are in files of mode 0600 in a
// runtime folder of the program's own (on tmpfs), which it removes when it ends; the
// password is in no other file, no command line and no output.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/platform.h"
#include "platform/posix/event_loop.h"
#include "platform/posix/runtime_folder.h"
#include "platform/posix/smb_request.h"

namespace vt::posix {

class SmbEngine {
 public:
  // Nothing is made or looked at before the first SMB connect.
  explicit SmbEngine(std::string prefix);
  ~SmbEngine() { Stop(); }
  SmbEngine(const SmbEngine&) = delete;
  SmbEngine& operator=(const SmbEngine&) = delete;

  // Whether `target` (a link's content) points into the folder the engine mounts: a
  // dosdevices/unc entry the program made, never one the system's.
  static bool IsLinkIntoMount(const std::string& target);

  // The helpers' HOME: the program's runtime folder (made, mode 0700, on first use),
  // where their client settings are. Empty when it cannot be made; `failure` says why.
  std::string Home(SystemResult& failure);

  // Serves `request`'s share with its logon (the password is wiped in `request`), each
  // of the file system's calls to a server bounded by `request.timeoutMs`:
  // starts the file system when it does not run (clearing a stale mount first),
  // otherwise has it read its logons again, and links `uncEntry` (the host path of
  // dosdevices/unc/server/share) into it. `serve(maxMs)` serves the window's events
  // while the mount is awaited, at most `deadlineMs`.
  SystemResult Serve(SmbRequest& request, const std::string& uncEntry, std::int64_t deadlineMs,
                     EventLoop& loop, const std::function<void(std::int64_t)>& serve);

  // What is said once when the file system ends by itself (its process died).
  void OnFault(std::function<void(const std::wstring&)> onFault) { onFault_ = std::move(onFault); }

  // Ends the file system and its process group within a second, unmounts, removes the
  // links and folders it made and the runtime folder. Safe to call more than once.
  void Stop();

 private:
  SystemResult WriteLogon(SmbRequest& request);
  SystemResult WriteSettings(std::int64_t timeoutMs);
  SystemResult Start(std::int64_t deadlineMs, EventLoop& loop,
                     const std::function<void(std::int64_t)>& serve);
  void Ended(int status);

  std::string prefix_;
  std::string mountPoint_;  // made at the first start
  RuntimeFolder runtime_;
  std::string folder_;  // the runtime folder's path once made
  bool settingsWritten_ = false;
  pid_t pid_ = -1;
  int pidFd_ = -1;
  EventLoop* loop_ = nullptr;
  EventLoop::SourceId watch_ = 0;
  std::map<std::string, std::string> logonFiles_;  // by lower-case "server/share"
  std::set<std::string> links_;                    // dosdevices/unc entries made
  std::set<std::string> folders_;                  // dosdevices/unc/server folders made
  std::function<void(const std::wstring&)> onFault_;
};

}  // namespace vt::posix
