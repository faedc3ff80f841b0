// The native host's profile service on its own files.
//
// Reads use the parsed file while its identity (inode, size, time of last change) is the
// one it was read with. Writes go into the parsed file and are held back until Commit,
// which makes all of a file's held-back writes one replace through the atomic file
// writer (atomic_file.h). The program commits before any other event handler can run,
// so a result once published is never lost when the program ends at the next event.
//
// What a write never does: replace a file it could not read, a file without write
// permission, or a symbolic link (such a file is never read either); build its
// replacement on a copy taken while another program rewrote the file in place
// (file_reading.h); or lose the change of another program that rewrote the file
// between our read and our replace (the writer sees it, and the writes are made again on
// the file's new content).
#pragma once

#include <sys/stat.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/profile/atomic_file.h"
#include "platform/posix/profile/file_reading.h"
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
  struct Edit {
    std::wstring section;
    std::wstring key;
    std::wstring value;
  };
  struct CachedFile {
    bool exists = false;
    FileIdentity identity;
    mode_t mode = 0;
    // Read once it had been quiet (or written by us): it may be the base of a replace.
    bool settled = false;
    ProfileDocument document;
    std::vector<Edit> heldBack;
  };

  // The file as read from disk, with what is held back applied again on it.
  static void TakeContent(CachedFile& file, const FileRead& read);
  // A file that is not there (any more): what is held back applies to an empty one.
  static void StartEmpty(CachedFile& file);
  static void ApplyHeldBack(CachedFile& file);
  // The cached file, read anew when it changed on disk (with held-back writes applied
  // again); for a write, only a copy taken while the file was quiet is used.
  SystemResult Load(const std::string& path, CachedFile*& file, bool forWrite);
  SystemResult CommitFile(const std::string& path, CachedFile& file);

  std::map<std::string, CachedFile> files_;
};

}  // namespace vt::posix
