// The one owner of the native host's file descriptors: a descriptor is closed on every
// path, through the file call table; a close whose failure matters is made by Close().
#pragma once

#include "platform/posix/system/file_calls.h"

namespace vt::posix {

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~Descriptor() { Reset(); }

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives the descriptor up without closing it.
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void Reset(int fd = -1) {
    if (fd_ >= 0) FileCallTable().close(fd_);
    fd_ = fd;
  }
  // Closes it now; false (errno set) when the close failed, as a flush can fail then.
  bool Close() { return FileCallTable().close(Release()) == 0; }

 private:
  int fd_;
};

}  // namespace vt::posix
