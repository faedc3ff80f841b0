#include "platform/posix/smb/served_shares.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/posix/smb/smb_client.h"
#include "portable/case_fold.h"
#include "portable/secret_text.h"

namespace vt::posix {

namespace {

// Whether `path` is `place` or lies below it; in any letter case, as the share names it.
bool Within(const std::string& path, const std::string& place) {
  if (path.size() < place.size() ||
      LowerCaseAscii(path.substr(0, place.size())) != LowerCaseAscii(place))
    return false;
  return path.size() == place.size() || path[place.size()] == '/';
}

}  // namespace

ServedShare::ServedShare(std::string server, std::string name)
    : server_(std::move(server)), name_(std::move(name)) {}

ServedShare::~ServedShare() {
  Wipe(password_);
}

void ServedShare::SetLogon(const SmbRequest& request) {
  const std::lock_guard<std::mutex> lock(logonMutex_);
  domain_ = request.domain;
  user_ = request.user;
  Wipe(password_);  // all of the old one, also what a shorter new one leaves
  password_.assign(request.password);
  timeoutMs_ = request.timeoutMs;
}

void ServedShare::Forget() {
  const std::lock_guard<std::mutex> lock(logonMutex_);
  Wipe(password_);
  user_.clear();
  domain_.clear();
}

int ServedShare::TimeoutMs() const {
  const std::lock_guard<std::mutex> lock(logonMutex_);
  return timeoutMs_;
}

void ServedShare::AnswerLogon(SMBCCTX* context, const char*, const char*, char* domain,
                              int domainSize, char* user, int userSize, char* password,
                              int passwordSize) {
  const auto* share = static_cast<const ServedShare*>(smbc_getOptionUserData(context));
  const std::lock_guard<std::mutex> lock(share->logonMutex_);
  CopyLogonField(share->domain_, domain, domainSize);
  CopyLogonField(share->user_, user, userSize);
  CopyLogonField(share->password_, password, passwordSize);
}

SMBCCTX* ServedShare::Context() {
  if (ended_) {
    errno = ENOENT;
    return nullptr;
  }
  if (context_ == nullptr) {
    // Every session of the file system signed, as Windows 11 signs them: none a guest's.
    const char* home = std::getenv("HOME");
    context_ = NewSmbContext(TimeoutMs(), this, AnswerLogon,
                             std::string(home != nullptr ? home : ".") + "/" + SignedSettingsFile);
  }
  if (context_ != nullptr) smbc_setTimeout(context_, TimeoutMs());  // as last served
  return context_;
}

void ServedShare::EndContext() {
  {
    const std::lock_guard<std::mutex> lock(filesMutex_);
    for (OpenFile* file : open_) file->file = nullptr;  // closed with the context
  }
  FreeSmbContext(context_);
  context_ = nullptr;
  ended_ = true;
}

void ServedShare::Opened(OpenFile& file) {
  const std::lock_guard<std::mutex> lock(filesMutex_);
  open_.push_back(&file);
}

void ServedShare::Released(OpenFile& file) {
  const std::lock_guard<std::mutex> lock(filesMutex_);
  open_.erase(std::remove(open_.begin(), open_.end(), &file), open_.end());
}

void ServedShare::Closed(OpenFile& file) {
  const std::lock_guard<std::mutex> lock(filesMutex_);
  file.closed = true;
}

std::vector<std::shared_ptr<OpenFile>> ServedShare::ClosedAt(const std::string& inner) const {
  const std::lock_guard<std::mutex> lock(filesMutex_);
  std::vector<std::shared_ptr<OpenFile>> closed;
  for (OpenFile* file : open_) {
    if (file->closed && Within(file->inner, inner)) closed.push_back(file->shared_from_this());
  }
  return closed;
}

void ServedShare::Renamed(const std::string& from, const std::string& to) {
  const std::lock_guard<std::mutex> lock(filesMutex_);
  for (OpenFile* file : open_) {
    if (Within(file->inner, from)) file->inner = to + file->inner.substr(from.size());
  }
}

void ServedShare::Removed(const std::string& inner) {
  const std::lock_guard<std::mutex> lock(filesMutex_);
  for (OpenFile* file : open_) {
    if (LowerCaseAscii(file->inner) == LowerCaseAscii(inner)) file->removed = true;
  }
}

std::string ServedShare::PathOf(const OpenFile& file) const {
  const std::lock_guard<std::mutex> lock(filesMutex_);
  return file.removed ? std::string() : file.inner;
}

void ServedShares::Serve(SmbRequest& request) {
  std::shared_ptr<ServedShare> share;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    auto& entry = shares_[LowerCaseAscii(request.share)];
    if (!entry) entry = std::make_shared<ServedShare>(request.server, request.share);
    share = entry;
  }
  share->SetLogon(request);
  Wipe(request.password);
  // Its session is made at once, as Windows makes a mapped drive's when it maps it: the
  // first program that uses the drive does not wait for the logon, and nothing that
  // only looks at the drive later (the watch between checks) ever logs on.
  worker_.Post([share] {
    SMBCCTX* context = share->Context();
    if (context == nullptr) return SmbError();
    const std::string url = SmbUrl(share->Server(), share->Name());
    SMBCFILE* root = smbc_getFunctionOpendir(context)(context, url.c_str());
    if (root != nullptr) smbc_getFunctionClosedir(context)(context, root);
    return 0;
  });
}

void ServedShares::Drop(const std::string& name) {
  std::shared_ptr<ServedShare> dropped;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto found = shares_.find(LowerCaseAscii(name));
    if (found == shares_.end()) return;
    dropped = std::move(found->second);
    shares_.erase(found);
  }
  dropped->Forget();
  worker_.Post([dropped] {
    dropped->EndContext();
    return 0;
  });
}

void ServedShares::DropAll() {
  std::map<std::string, std::shared_ptr<ServedShare>> dropped;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(shares_);
  }
  for (const auto& share : dropped) share.second->Forget();
}

std::shared_ptr<ServedShare> ServedShares::Find(const std::string& share) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = shares_.find(LowerCaseAscii(share));
  return found != shares_.end() ? found->second : nullptr;
}

std::vector<std::string> ServedShares::Names() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> names;
  for (const auto& share : shares_) names.push_back(share.second->Name());
  return names;
}

}  // namespace vt::posix
