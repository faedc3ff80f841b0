// The shares of one server that its SMB file system serves, each with its logon (in
// this process's memory only, wiped when the share is dropped or the process ends), its
// context of Samba's client library and its open files; and the one worker that makes
// every library call of the process.
#pragma once

#include <libsmbclient.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/smb/recent_attributes.h"
#include "platform/posix/smb/smb_request.h"
#include "platform/posix/smb/smb_worker.h"

namespace vt::posix {

class ServedShare;

// A file of a served share, open through the mount.
struct OpenFile : std::enable_shared_from_this<OpenFile> {
  std::shared_ptr<ServedShare> share;
  int flags = 0;  // as opened on the server
  bool append = false;
  // The worker's alone: the server's handle, and the server's id of the file opened.
  SMBCFILE* file = nullptr;
  ino_t identity = 0;
  // Under the share's lock: its path in the share now (it follows renames made through
  // the mount), whether it was removed through the mount, and whether a descriptor of
  // it was closed (its release may still be on its way: the kernel sends it after the
  // close has returned).
  std::string inner;
  bool removed = false;
  bool closed = false;
};

class ServedShare {
 public:
  ServedShare(std::string server, std::string name);
  ~ServedShare();
  ServedShare(const ServedShare&) = delete;
  ServedShare& operator=(const ServedShare&) = delete;
  const std::string& Server() const { return server_; }
  const std::string& Name() const { return name_; }

  // Takes the logon and the timeout of `request` (as many times as it is served again).
  void SetLogon(const SmbRequest& request);
  // Wipes the logon: a session that must log on again from now on cannot.
  void Forget();
  int TimeoutMs() const;

  // The worker's alone: the share's library context, made at its first call with the
  // share's logon; null once the share was dropped (errno ENOENT) or when the library
  // cannot make one (errno set).
  SMBCCTX* Context();
  // The worker's alone: closes every file still open on the server and frees the
  // context, for good (the share was dropped).
  void EndContext();

  // The open files, on any thread.
  void Opened(OpenFile& file);
  void Released(OpenFile& file);
  void Closed(OpenFile& file);
  // The open files at `inner` or below it that had a descriptor closed.
  std::vector<std::shared_ptr<OpenFile>> ClosedAt(const std::string& inner) const;
  // After the server renamed `from` to `to` or removed `inner`: open files follow.
  void Renamed(const std::string& from, const std::string& to);
  void Removed(const std::string& inner);
  // Where an open file is now; empty when it was removed through the mount.
  std::string PathOf(const OpenFile& file) const;

  RecentAttributes& Recent() { return recent_; }

 private:
  static void AnswerLogon(SMBCCTX* context, const char*, const char*, char* domain, int domainSize,
                          char* user, int userSize, char* password, int passwordSize);

  const std::string server_;
  const std::string name_;
  mutable std::mutex logonMutex_;
  std::string domain_;
  std::string user_;
  std::string password_;
  int timeoutMs_ = 0;
  SMBCCTX* context_ = nullptr;  // the worker's
  bool ended_ = false;          // the worker's
  mutable std::mutex filesMutex_;
  std::vector<OpenFile*> open_;
  RecentAttributes recent_;
};

class ServedShares {
 public:
  // Serves `request`'s share with its logon, or takes its logon anew, and makes its
  // session on the worker; wipes the request's password.
  void Serve(SmbRequest& request);
  // Stops serving the share and wipes its logon; its context ends on the worker after
  // the calls handed in before (on no caller's thread).
  void Drop(const std::string& share);
  // Stops serving every share.
  void DropAll();

  // Names match without regard to letter case, as Windows matches them.
  std::shared_ptr<ServedShare> Find(const std::string& share) const;
  std::vector<std::string> Names() const;
  SmbWorker& Worker() { return worker_; }

 private:
  SmbWorker worker_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<ServedShare>> shares_;  // by lower-case name
};

}  // namespace vt::posix
