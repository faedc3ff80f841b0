// The file system calls of the native host, behind a table that tests can swap, as
// SQLite's OS layer does: a test makes any one of them fail and shows what the program
// does then (no file is ever left half-written, every failure is named).
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
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
  DIR* (*opendir)(const char* path);
  dirent* (*readdir)(DIR* dir);
  int (*closedir)(DIR* dir);
};

// The table every file call of the host goes through; tests replace entries and restore
// them.
FileCalls& FileCallTable();
// The system's own calls.
const FileCalls& SystemFileCalls();

// A call interrupted by a signal is made again (a bounded number of times): EINTR is
// no failure.
template <typename Call>
auto Retried(Call call) {
  constexpr int InterruptedRetries = 100;
  auto result = call();
  for (int i = 0; i < InterruptedRetries && result < 0 && errno == EINTR; ++i) result = call();
  return result;
}

}  // namespace vt::posix
