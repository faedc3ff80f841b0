// Reading a file whole, also one that another program may be rewriting in place.
#pragma once

#include <sys/stat.h>

#include <string>

namespace vt::posix {

struct FileRead {
  int error = 0;        // an errno value when the file exists but could not be read
  bool exists = false;  // false also for a file that went away meanwhile
  std::string bytes;
  struct stat info {};
  // Read once it had been quiet, so no rewrite in place was under way.
  bool settled = false;
};

// Reads the plain file at `path` whole: never through a symbolic link, never waiting on
// what is not a plain file (a FIFO, a device: EINVAL; a folder: EISDIR).
//
// With `settle`, what is read may become the base of a replacement, so it must not be a
// copy taken while another program rewrites the file in place (truncate, then write:
// Windows' own profile calls and Wine's write that way). The rule, by the time of the
// file's last change:
//  - a file changed less than 100 ms ago is read once it has been quiet for 100 ms: a
//    half-written file can have any size, longer than the last copy too, so its size
//    cannot tell, and the wait costs nothing unless another program wrote in the last
//    100 ms;
//  - an empty file must have been quiet for a whole second: that is how a rewrite in
//    place looks while its writer is descheduled between its truncate and its write,
//    which on a busy machine can last longer than 100 ms;
//  - a file changed while it was read is read again.
// A file that does not become quiet within 2 s gives EBUSY: that write fails and the
// next check tries again.
FileRead ReadWholeFile(const std::string& path, bool settle);

// Whether the file has been quiet long enough (as above) to be the base of a replace.
bool HasBeenQuiet(const struct stat& info);

}  // namespace vt::posix
