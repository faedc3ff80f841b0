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
// Windows' own profile calls and Wine's write that way). A file changed less than
// 100 ms ago is read only once it has been quiet for 100 ms, and read again when it
// changed while it was being read. Why this rule: a half-written file can have any size,
// shorter or longer than the last copy, so its size cannot tell; the time of its last
// change can, and waiting costs nothing unless another program wrote in the last 100 ms
// (then at most that long). A file that is never quiet for 1 s gives EBUSY: that write
// fails and the next check tries again.
FileRead ReadWholeFile(const std::string& path, bool settle);

// Whether the file has been quiet for 100 ms (by the time of its last change).
bool HasBeenQuiet(const struct stat& info);

}  // namespace vt::posix
