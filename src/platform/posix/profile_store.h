// The native host's profile service on its own files.
//
// Reads use the parsed file while its inode, size and modification time are those it
// was read with. Writes go into the parsed file and are held back until Commit, which
// makes all of a file's held-back writes one atomic replace: a temporary file beside it
// (our own name pattern, ".NAME.XXXXXX"), flushed, renamed over the file, and the
// folder flushed so the rename itself survives a power cut. The program commits before
// any other event handler can run, so a result once published is never lost when the
// program ends at the next event.
//
// What a write never does: replace a file it could not read, a file without write
// permission (as Windows' read-only attribute; also when running as root), or a file
// whose last path component is a symbolic link (such a file is never read either); lose
// the change of another program that rewrote the file between our read and our
// replace (the file is checked again just before the rename, and the writes are redone
// on its new content); or leave a temporary file behind, its own or one that a killed
// process left.
#pragma once

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "portable/profile_text.h"

namespace vt::posix {

class ProfileStore {
 public:
  // The value of `key` in `section` of the file at `path`; nothing when the file, the
  // section or the key is missing, or the file cannot be read.
  std::optional<std::wstring> Read(const std::string& path, const std::wstring& section,
                                   const std::wstring& key);
  // Sets the entry in the parsed file; held back until Commit. A failure (a file that
  // cannot be read, may not be written, a missing folder, a name or value that cannot
  // be written) says why nothing was written.
  SystemResult Write(const std::string& path, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value);
  // Makes every held-back write; the first failure, when any. A file whose commit
  // failed is left as it was, and its held-back writes are dropped.
  SystemResult Commit();
  bool HasHeldBackWrites() const;

 private:
  struct Identity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    bool operator==(const Identity& other) const {
      return device == other.device && inode == other.inode && size == other.size &&
             modifiedNs == other.modifiedNs;
    }
  };
  struct Edit {
    std::wstring section;
    std::wstring key;
    std::wstring value;
  };
  struct CachedFile {
    bool exists = false;
    Identity identity;
    mode_t mode = 0;
    ProfileDocument document;
    std::vector<Edit> heldBack;
  };

  static Identity IdentityOf(const struct stat& info);
  // The file as read from disk, with what is held back applied again on it.
  static void TakeContent(CachedFile& file, const std::string& bytes, const struct stat& info);
  // A file that is not there (any more): what is held back applies to an empty one.
  static void StartEmpty(CachedFile& file);
  static void ApplyHeldBack(CachedFile& file);
  // The cached file, read anew when it changed on disk (with held-back writes applied
  // again); an errno value when it exists but cannot be read.
  int Load(const std::string& path, CachedFile*& file);
  SystemResult CommitFile(const std::string& path, CachedFile& file);
  SystemResult ReplaceOnce(const std::string& path, CachedFile& file, bool& changedUnderUs);

  std::map<std::string, CachedFile> files_;
};

}  // namespace vt::posix
