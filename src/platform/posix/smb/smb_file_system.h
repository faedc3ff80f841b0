// The program's side of its SMB file system (smbfs.h): one vodu-tavisto-smbfs process
// per server (server_file_system.h), each started on the window's thread at the first
// SMB connect to a share of that server. Each serves its server's shares as
// MOUNT/server/share, where MOUNT is the station folder's .vodu-tavisto-shares;
// dosdevices/unc/server/share is a link into it, and the drive a link to that, as for
// any other share. Processes of their own keep the servers apart: a server that never
// answers holds up only its own process, and the library's state of one process is
// never that of another. Nothing of it outlives the program: neither process nor
// mount, link or runtime file.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "platform/platform.h"
#include "platform/posix/smb/server_file_system.h"
#include "platform/posix/smb/smb_request.h"
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

  // Whether `target` (a link's content) points into the folder the file systems mount
  // in: a dosdevices/unc entry the program made, never one of the system's.
  static bool IsLinkIntoMount(const std::string& target);

  // The helpers' HOME: the program's runtime folder (made, mode 0700, on first use),
  // where their SMB client settings are. Empty when it cannot be made; `failure` says why.
  std::string Home(SystemResult& failure);

  // Serves `request`'s share with its logon (wiped in `request`) by its server's file
  // system (started when it does not run), and links `uncEntry` (the host path of
  // dosdevices/unc/server/share) into its mount. `serve(maxMs)` serves the window's
  // events while it waits, until the monotonic clock reaches `deadline` (ms).
  SystemResult Serve(SmbRequest& request, const std::string& uncEntry, std::int64_t deadline,
                     const std::function<void(std::int64_t)>& serve);

  // Stops serving a share and wipes its logon (a logon the server refuses now); a
  // server left without shares has its file system ended.
  void Drop(const std::string& server, const std::string& share);

  // What is said once when a file system ends by itself.
  void OnFault(std::function<void(const std::wstring&)> onFault) { onFault_ = std::move(onFault); }

  // Ends every file system and everything of them within a second: their processes and
  // groups, the mounts, the links and folders made, the runtime folder, the logons.
  // Safe to call more than once.
  void Stop();

 private:
  // The folder the servers' mounts are made in (made on first use): stale mounts a
  // killed program left there are cleared then.
  SystemResult MountFolder(std::string& folder);

  std::string prefix_;
  EventLoop& loop_;
  std::string program_;
  std::string mountFolder_;
  RuntimeFolder runtime_;
  std::string home_;  // the runtime folder's path once its settings are written
  std::map<std::string, std::unique_ptr<ServerFileSystem>> servers_;  // by lower-case name
  std::set<std::string> links_;                                       // dosdevices/unc entries
  std::set<std::string> folders_;  // dosdevices/unc/server folders made
  std::function<void(const std::wstring&)> onFault_;
};

}  // namespace vt::posix
