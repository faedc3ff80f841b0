// The program's runtime folder: a folder of mode 0700 on tmpfs, made on first use, for
// what its helpers need and no other user may see (their SMB client settings). It is
// removed when the program ends; one that a killed program left is removed by the next
// start that makes one.
#pragma once

#include <string>

#include "platform/platform.h"
#include "platform/posix/system/descriptor.h"

namespace vt::posix {

class RuntimeFolder {
 public:
  RuntimeFolder() = default;
  ~RuntimeFolder() { Remove(); }
  RuntimeFolder(const RuntimeFolder&) = delete;
  RuntimeFolder& operator=(const RuntimeFolder&) = delete;

  // Its path, made in $RUNTIME_DIRECTORY (systemd's), $XDG_RUNTIME_DIR or /dev/shm the
  // first time; empty when it cannot be made, and `failure` says why.
  std::string Path(SystemResult& failure);
  // Removes it with everything in it. Safe to call more than once.
  void Remove();

 private:
  std::string path_;
  Descriptor lock_;  // held while the program lives: a folder whose lock is free is left over
};

// Writes `bytes` as a new file of mode 0600 and renames it over `path`: a reader finds
// the old file or the new one. The errno of a failure, 0 when written.
int WritePrivateFile(const std::string& path, const std::string& bytes);

}  // namespace vt::posix
