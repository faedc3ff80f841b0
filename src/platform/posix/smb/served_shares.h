// The shares the SMB file system serves, each with its logon (in this process's memory
// only, wiped when the share is dropped or the process ends) and its connections to
// the server.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/posix/smb/smb_connection.h"
#include "platform/posix/smb/smb_request.h"

namespace vt::posix {

class ServedShare {
 public:
  ServedShare(std::string server, std::string name);
  const std::string& Server() const { return server_; }
  const std::string& Name() const { return name_; }

  // Takes the logon and the timeout of `request` (as many times as it is served again).
  void SetLogon(const SmbRequest& request);
  // Wipes the logon: a connection that must log on again from now on cannot.
  void Forget();
  int TimeoutMs() const;

  // The connection for a call: an idle one (the one with the fewest open files), a new
  // one while there are fewer than MaxConnections, otherwise the least busy.
  std::shared_ptr<SmbConnection> Connection();

  static constexpr std::size_t MaxConnections = 4;

 private:
  const std::string server_;
  const std::string name_;
  std::shared_ptr<SmbLogon> logon_;
  std::mutex mutex_;
  std::vector<std::shared_ptr<SmbConnection>> connections_;
};

class ServedShares {
 public:
  // Serves `request`'s share with its logon, or takes its logon anew; wipes the
  // request's password.
  void Serve(SmbRequest& request);
  // Stops serving the share and wipes its logon; calls under way finish.
  void Drop(const std::string& server, const std::string& share);
  // Stops serving every share.
  void DropAll();

  // Names match without regard to letter case, as Windows matches them.
  std::shared_ptr<ServedShare> Find(const std::string& server, const std::string& share) const;
  std::vector<std::string> Servers() const;
  std::vector<std::string> SharesOf(const std::string& server) const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<ServedShare>> shares_;  // by "server/share", lower case
};

}  // namespace vt::posix
