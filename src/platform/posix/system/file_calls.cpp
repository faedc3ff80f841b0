#include "platform/posix/system/file_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace vt::posix {

namespace {

int LockWholeFile(int fd) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  return ::fcntl(fd, F_SETLK, &lock);
}

const FileCalls System = {
    [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); },
    ::read,
    ::write,
    ::fsync,
    ::close,
    ::rename,
    ::unlink,
    ::mkstemp,
    ::fchmod,
    ::fstat,
    ::lstat,
    LockWholeFile,
    ::opendir,
    ::readdir,
    ::closedir,
};

FileCalls current = System;

}  // namespace

FileCalls& FileCallTable() {
  return current;
}

const FileCalls& SystemFileCalls() {
  return System;
}

}  // namespace vt::posix
