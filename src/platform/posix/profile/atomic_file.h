// Files written whole: "replace this file with these bytes", atomically. Nothing is ever
// written in place, so a reader, a crash or a full disk finds the old file or the new
// one, never a mix.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/platform.h"

namespace vt::posix {

// What tells one version of a file from another without reading it.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long long modifiedNs = 0;

  static FileIdentity Of(const struct stat& info);
  bool operator==(const FileIdentity& other) const {
    return device == other.device && inode == other.inode && size == other.size &&
           modifiedNs == other.modifiedNs;
  }
  bool operator!=(const FileIdentity& other) const { return !(*this == other); }
};

// The file a replacement was made from: its identity when it was read, or no file.
struct ReplaceBase {
  bool existed = false;
  FileIdentity identity;
};

struct ReplaceResult {
  enum class Outcome {
    Replaced,
    // The new file is in place, but its folder could not be flushed: a power cut may
    // still bring the old one back. `failure` says why.
    ReplacedNotFlushed,
    // The file is no longer the one the bytes were made from: nothing was replaced.
    Changed,
    // Nothing was replaced; `failure` says why.
    Failed,
  };
  Outcome outcome = Outcome::Failed;
  SystemResult failure;
  FileIdentity identity;  // the new file's, when it was replaced
  mode_t mode = 0;

  bool InPlace() const {
    return outcome == Outcome::Replaced || outcome == Outcome::ReplacedNotFlushed;
  }
};

// Replaces the file at `path` with `bytes`: a temporary beside it (see
// temporary_files.h) with the file's permissions (0644 for a new file), written,
// flushed, a last look at the file, renamed over it, and the folder flushed so that the
// rename survives a power cut. While it works the file is locked (fcntl) for the
// programs that lock it too.
//
// Never replaced: a symbolic link, anything but a plain file, a file without write
// permission (as Windows' read-only attribute; also for root). With a `base`, a file
// that is no longer what the bytes were made from, before the replace or at the last
// look, is left alone (Changed): the caller makes its bytes anew from what the file
// holds now. Every system call goes through the file call table.
ReplaceResult ReplaceFileAtomically(const std::string& path, const std::string& bytes,
                                    const ReplaceBase* base);

}  // namespace vt::posix
