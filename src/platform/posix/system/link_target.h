// What a symbolic link holds.
#pragma once

#include <unistd.h>

#include <string>

namespace vt::posix {

// The link's content; empty when `path` is no link.
inline std::string LinkTarget(const std::string& path) {
  char target[4096] = {};
  const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
  return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : std::string();
}

}  // namespace vt::posix
