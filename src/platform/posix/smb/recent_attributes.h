// What the server said of a share's files a moment ago: folder listings, and single
// files found or found missing. Programs look up, list and stat the same names many
// times in a row (Windows programs more than most: an open, a search for one name, a
// listing, a stat); each would cost the server a call otherwise, made one after
// another by the process's one worker. What is kept lives briefly, well within the
// second in which another station's change must be seen here, and goes at once when a
// change made through the mount touches it. The worker keeps and drops it in the
// order of its calls, so nothing said before a change is kept after it.
#pragma once

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vt::posix {

struct FolderEntry {
  std::string name;
  struct stat info;
  // Changed through the mount since it was listed: only its name and kind are known.
  bool stale = false;
};
using FolderListing = std::vector<FolderEntry>;

class RecentAttributes {
 public:
  // How long what was said is kept.
  static constexpr std::int64_t LifetimeMs = 450;

  enum class Known { Nothing, Found, Missing };
  // What was said of `path` (in the share: "/a/b") since at most the lifetime before
  // `nowMs`, itself or in its folder's listing; its attributes in `info` when found.
  Known Find(const std::string& path, std::int64_t nowMs, struct stat& info) const;
  // The listing of `folder` ("" or "/a") kept so; null when none is.
  std::shared_ptr<const FolderListing> Listing(const std::string& folder, std::int64_t nowMs) const;

  // The worker's: what the server said at `takenMs`.
  void KeepListing(const std::string& folder, FolderListing listing, std::int64_t takenMs);
  void KeepFile(const std::string& path, const struct stat* info /* null: missing */,
                std::int64_t takenMs);
  // The share's size and free space said since at most StatusLifetimeMs before `nowMs`
  // (a listing of a drive asks for it every time; it takes the server a dozen calls).
  static constexpr std::int64_t StatusLifetimeMs = 2000;
  bool Status(std::int64_t nowMs, struct statvfs& status) const;
  void KeepStatus(const struct statvfs& status, std::int64_t takenMs);

  // The worker's, after a change through the mount at `path`: what was said of it, of
  // what lies below it (a folder renamed or removed) and its folder's listing goes.
  void Changed(const std::string& path);
  // The worker's, after the attributes of `path` changed through the mount (a write, a
  // time set, a truncation), its name staying: only what was said of it goes.
  void Touched(const std::string& path);
  // The worker's, after a change through the mount whose outcome it knows: the file at
  // `path` now has `info` (the server said so through its handle), was removed, or
  // was renamed; its folders' listings are brought up to date rather than dropped.
  void Updated(const std::string& path, const struct stat& info, std::int64_t takenMs);
  void Removed(const std::string& path, std::int64_t takenMs);
  void Renamed(const std::string& from, const std::string& to, std::int64_t takenMs);

 private:
  struct Kept {
    std::int64_t takenMs = 0;
    std::shared_ptr<const FolderListing> listing;  // a folder's
    bool found = false;                            // a file's
    struct stat info {};
  };
  void Forget(std::int64_t nowMs);
  // What the server said at `takenMs` of the file at `path` (null: missing), in place
  // of what was kept of it; a file not kept yet only while fewer than the most are
  // (under the lock).
  void Note(const std::string& path, const struct stat* info, std::int64_t takenMs);
  // What lies below `path` goes (under the lock).
  void ForgetBelow(const std::string& path);
  // The entry of `path` in its folder's kept listing: replaced by `info`, removed when
  // it is null, or made stale (under the lock).
  enum class Patching { Replace, Remove, MakeStale };
  void Patch(const std::string& path, Patching patching, const struct stat* info = nullptr);
  mutable std::mutex mutex_;
  std::map<std::string, Kept> listings_;  // by the lower-case path
  std::map<std::string, Kept> files_;
  std::int64_t statusTakenMs_ = 0;
  bool statusKept_ = false;
  struct statvfs status_ {};
};

}  // namespace vt::posix
