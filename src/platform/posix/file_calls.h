// The system calls of the native host's profile service, behind a table that tests can
// swap, as SQLite's OS layer does: a test makes any one of them fail and shows that no
// file is ever left half-written.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace vt::posix {

struct FileCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  ssize_t (*read)(int fd, void* buffer, std::size_t size);
  ssize_t (*write)(int fd, const void* buffer, std::size_t size);
  int (*fsync)(int fd);
  int (*close)(int fd);
  int (*rename)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*mkstemp)(char* pattern);
  int (*fchmod)(int fd, mode_t mode);
  int (*fstat)(int fd, struct stat* info);
  int (*lstat)(const char* path, struct stat* info);
  // An advisory write lock on the whole file (fcntl F_SETLK), without waiting.
  int (*lock)(int fd);
};

// The table the profile service calls through; tests replace entries and restore them.
FileCalls& ProfileFileCalls();
// The system's own calls.
const FileCalls& SystemFileCalls();

}  // namespace vt::posix
