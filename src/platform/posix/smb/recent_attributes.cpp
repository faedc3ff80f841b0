#include "platform/posix/smb/recent_attributes.h"

#include <strings.h>

#include <algorithm>

#include "portable/case_fold.h"

namespace vt::posix {

namespace {

// At most this many kept of each kind: a program walking a tree needs no more.
constexpr std::size_t MostKept = 256;

// "/a/b" lies in "/a" and is named "b".
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

bool IsFresh(std::int64_t takenMs, std::int64_t nowMs) {
  return nowMs - takenMs < RecentAttributes::LifetimeMs;
}

}  // namespace

RecentAttributes::Known RecentAttributes::Find(const std::string& path, std::int64_t nowMs,
                                               struct stat& info) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto file = files_.find(LowerCaseAscii(path));
  if (file != files_.end() && IsFresh(file->second.takenMs, nowMs)) {
    if (file->second.found) info = file->second.info;
    return file->second.found ? Known::Found : Known::Missing;
  }
  const auto folder = listings_.find(LowerCaseAscii(FolderOf(path)));
  if (folder == listings_.end() || !IsFresh(folder->second.takenMs, nowMs)) return Known::Nothing;
  const std::string name = path.substr(path.rfind('/') + 1);
  for (const FolderEntry& entry : *folder->second.listing) {
    if (::strcasecmp(entry.name.c_str(), name.c_str()) == 0) {  // as the share matches names
      if (entry.stale) return Known::Nothing;
      info = entry.info;
      return Known::Found;
    }
  }
  return Known::Missing;
}

std::shared_ptr<const FolderListing> RecentAttributes::Listing(const std::string& folder,
                                                               std::int64_t nowMs) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  const auto found = listings_.find(LowerCaseAscii(folder));
  if (found == listings_.end() || !IsFresh(found->second.takenMs, nowMs)) return nullptr;
  return found->second.listing;
}

void RecentAttributes::Forget(std::int64_t nowMs) {
  for (auto* kept : {&listings_, &files_}) {
    for (auto at = kept->begin(); at != kept->end();)
      at = IsFresh(at->second.takenMs, nowMs) ? std::next(at) : kept->erase(at);
  }
}

void RecentAttributes::KeepListing(const std::string& folder, FolderListing listing,
                                   std::int64_t takenMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  Forget(takenMs);
  if (listings_.size() >= MostKept) return;
  Kept& kept = listings_[LowerCaseAscii(folder)];
  kept.takenMs = takenMs;
  kept.listing = std::make_shared<const FolderListing>(std::move(listing));
}

void RecentAttributes::KeepFile(const std::string& path, const struct stat* info,
                                std::int64_t takenMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  Note(path, info, takenMs);
}

void RecentAttributes::Note(const std::string& path, const struct stat* info,
                            std::int64_t takenMs) {
  Forget(takenMs);
  const std::string key = LowerCaseAscii(path);
  auto kept = files_.find(key);
  if (kept == files_.end()) {
    if (files_.size() >= MostKept) return;
    kept = files_.emplace(key, Kept{}).first;
  }
  kept->second.takenMs = takenMs;
  kept->second.found = info != nullptr;
  if (info != nullptr) kept->second.info = *info;
}

bool RecentAttributes::Status(std::int64_t nowMs, struct statvfs& status) const {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!statusKept_ || nowMs - statusTakenMs_ >= StatusLifetimeMs) return false;
  status = status_;
  return true;
}

void RecentAttributes::KeepStatus(const struct statvfs& status, std::int64_t takenMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  status_ = status;
  statusTakenMs_ = takenMs;
  statusKept_ = true;
}

void RecentAttributes::ForgetBelow(const std::string& path) {
  const std::string below = LowerCaseAscii(path) + "/";
  for (auto* kept : {&listings_, &files_}) {
    for (auto at = kept->begin(); at != kept->end();)
      at = at->first.compare(0, below.size(), below) == 0 ? kept->erase(at) : std::next(at);
  }
}

void RecentAttributes::Changed(const std::string& path) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ForgetBelow(path);
  listings_.erase(LowerCaseAscii(path));
  files_.erase(LowerCaseAscii(path));
  listings_.erase(LowerCaseAscii(FolderOf(path)));
}

void RecentAttributes::Patch(const std::string& path, Patching patching, const struct stat* info) {
  const auto folder = listings_.find(LowerCaseAscii(FolderOf(path)));
  if (folder == listings_.end()) return;
  const std::string name = path.substr(path.rfind('/') + 1);
  FolderListing listing = *folder->second.listing;  // others may hold the kept one
  const auto entry = std::find_if(listing.begin(), listing.end(), [&](const FolderEntry& e) {
    return ::strcasecmp(e.name.c_str(), name.c_str()) == 0;
  });
  if (entry == listing.end() && patching == Patching::Replace) {
    listing.push_back({name, *info});
  } else if (entry != listing.end() && patching == Patching::Replace) {
    entry->info = *info;
    entry->stale = false;
  } else if (entry != listing.end() && patching == Patching::Remove) {
    listing.erase(entry);
  } else if (entry != listing.end()) {
    entry->stale = true;
  }
  folder->second.listing = std::make_shared<const FolderListing>(std::move(listing));
}

void RecentAttributes::Touched(const std::string& path) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ForgetBelow(path);
  files_.erase(LowerCaseAscii(path));
  Patch(path, Patching::MakeStale);
}

void RecentAttributes::Updated(const std::string& path, const struct stat& info,
                               std::int64_t takenMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ForgetBelow(path);
  listings_.erase(LowerCaseAscii(path));
  Patch(path, Patching::Replace, &info);
  Note(path, &info, takenMs);
}

void RecentAttributes::Removed(const std::string& path, std::int64_t takenMs) {
  const std::lock_guard<std::mutex> lock(mutex_);
  ForgetBelow(path);
  listings_.erase(LowerCaseAscii(path));
  Patch(path, Patching::Remove);
  Note(path, nullptr, takenMs);
}

void RecentAttributes::Renamed(const std::string& from, const std::string& to,
                               std::int64_t takenMs) {
  struct stat info {};
  const bool known = Find(from, takenMs, info) == Known::Found;
  Removed(from, takenMs);
  if (known) {
    Updated(to, info, takenMs);
  } else {
    Changed(to);
  }
}

}  // namespace vt::posix
