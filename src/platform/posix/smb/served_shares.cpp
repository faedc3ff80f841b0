#include "platform/posix/smb/served_shares.h"

#include <algorithm>
#include <cctype>

#include "portable/secret_text.h"

namespace vt::posix {

namespace {}  // namespace

ServedShare::ServedShare(std::string server, std::string name)
    : server_(std::move(server)), name_(std::move(name)), logon_(std::make_shared<SmbLogon>()) {}

void ServedShare::SetLogon(const SmbRequest& request) {
  const std::lock_guard<std::mutex> lock(logon_->mutex);
  logon_->domain = request.domain;
  logon_->user = request.user;
  Wipe(logon_->password);  // all of the old one, also what a shorter new one leaves
  logon_->password.assign(request.password);
  logon_->timeoutMs = request.timeoutMs;
}

void ServedShare::Forget() {
  const std::lock_guard<std::mutex> lock(logon_->mutex);
  Wipe(logon_->password);
  logon_->user.clear();
  logon_->domain.clear();
}

int ServedShare::TimeoutMs() const {
  const std::lock_guard<std::mutex> lock(logon_->mutex);
  return logon_->timeoutMs;
}

std::shared_ptr<SmbConnection> ServedShare::Connection() {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::shared_ptr<SmbConnection> best;
  for (const auto& connection : connections_) {
    if (connection->Busy() != 0) continue;
    if (!best || connection->openFiles < best->openFiles) best = connection;
  }
  if (best) return best;
  if (connections_.size() < MaxConnections) {
    connections_.push_back(std::make_shared<SmbConnection>(logon_));
    return connections_.back();
  }
  return *std::min_element(connections_.begin(), connections_.end(),
                           [](const auto& a, const auto& b) { return a->Busy() < b->Busy(); });
}

void ServedShares::Serve(SmbRequest& request) {
  std::shared_ptr<ServedShare> share;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    auto& entry = shares_[ShareKey(request.server, request.share)];
    if (!entry) entry = std::make_shared<ServedShare>(request.server, request.share);
    share = entry;
  }
  share->SetLogon(request);
  Wipe(request.password);
}

void ServedShares::Drop(const std::string& server, const std::string& share) {
  std::shared_ptr<ServedShare> dropped;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = shares_.find(ShareKey(server, share));
    if (found == shares_.end()) return;
    dropped = found->second;
    shares_.erase(found);
  }
  dropped->Forget();
}

void ServedShares::DropAll() {
  std::map<std::string, std::shared_ptr<ServedShare>> dropped;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(shares_);
  }
  for (const auto& share : dropped) share.second->Forget();
}

std::shared_ptr<ServedShare> ServedShares::Find(const std::string& server,
                                                const std::string& share) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = shares_.find(ShareKey(server, share));
  return found != shares_.end() ? found->second : nullptr;
}

std::vector<std::string> ServedShares::Servers() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> servers;
  for (const auto& share : shares_) {
    const std::string& server = share.second->Server();
    const bool known = std::any_of(servers.begin(), servers.end(), [&](const std::string& s) {
      return ShareKey(s, std::string()) == ShareKey(server, std::string());
    });
    if (!known) servers.push_back(server);
  }
  return servers;
}

std::vector<std::string> ServedShares::SharesOf(const std::string& server) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> names;
  const std::string key = ShareKey(server, std::string());
  for (const auto& share : shares_) {
    if (share.first.compare(0, key.size(), key) == 0) names.push_back(share.second->Name());
  }
  return names;
}

}  // namespace vt::posix
