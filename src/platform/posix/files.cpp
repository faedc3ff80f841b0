// The text files the program appends to (its log file), on the host's files.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/posix_platform.h"
#include "platform/posix/system_error.h"
#include "portable/codepage.h"

namespace vt::posix {

std::optional<std::uint64_t> PosixPlatform::FileSize(const std::wstring& file) {
  struct stat info {};
  const std::string path = HostPathOf(file);
  if (path.empty() || ::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

SystemResult PosixPlatform::AppendToFile(const std::wstring& file, const std::wstring& text) {
  const std::string path = HostPathOf(file);
  if (path.empty()) return ErrnoResult(ENOENT);
  // Never blocked by what is not a plain file (a FIFO, say), never through a link.
  const int fd = ::open(path.c_str(),
                        O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return ErrnoResult(errno);
  struct stat info {};
  SystemResult result;
  if (::fstat(fd, &info) != 0) {
    result = ErrnoResult(errno);
  } else if (!S_ISREG(info.st_mode)) {
    result = ErrnoResult(EISDIR);
  } else {
    const std::string bytes = EncodeCp1252(text);
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) result = ErrnoResult(errno);
    if (written >= 0 && static_cast<std::size_t>(written) < bytes.size())
      result = ErrnoResult(ENOSPC);
  }
  ::close(fd);
  return result;
}

SystemResult PosixPlatform::RenameFile(const std::wstring& from, const std::wstring& to) {
  const std::string source = HostPathOf(from);
  const std::string target = HostPathOf(to);
  if (source.empty() || target.empty()) return ErrnoResult(ENOENT);
  if (::rename(source.c_str(), target.c_str()) != 0) return ErrnoResult(errno);
  return {};
}

}  // namespace vt::posix
