#include "platform/posix/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/posix/posix_platform.h"
#include "platform/posix/system_error.h"
#include "portable/codepage.h"
#include "portable/profile_text.h"

namespace vt::posix {

namespace {

// Closes a file descriptor on every path.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  bool CloseChecked() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const std::string& content) {
  std::size_t written = 0;
  while (written < content.size()) {
    const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = ENOSPC;
    if (n <= 0) return false;
    written += static_cast<std::size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::optional<std::string> ReadWholeFile(const std::string& path) {
  // Opened without waiting (a FIFO has no writer to wait for) and read only when it is
  // a plain file: anything else reads as missing.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  std::string content;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    content.append(buffer, static_cast<std::size_t>(n));
  }
  return content;
}

SystemResult ReplaceFileAtomically(const std::string& path, const std::string& content) {
  std::string temporary = FolderOf(path) + "/." + BaseOf(path) + ".XXXXXX";
  FileDescriptor file(::mkstemp(temporary.data()));
  if (file.get() < 0) return ErrnoResult(errno);
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat old {};
  mode_t mode = 0644;
  if (::stat(path.c_str(), &old) == 0) mode = old.st_mode & 07777;
  const bool ok = ::fchmod(file.get(), mode) == 0 && WriteAll(file.get(), content) &&
                  ::fsync(file.get()) == 0 && file.CloseChecked() &&
                  ::rename(temporary.c_str(), path.c_str()) == 0;
  if (ok) return {};
  const int error = errno;
  ::unlink(temporary.c_str());
  return ErrnoResult(error);
}

std::optional<std::string> ReadProfileFileValue(const std::string& path, const std::string& section,
                                                const std::string& key) {
  const std::optional<std::string> content = ReadWholeFile(path);
  if (!content) return std::nullopt;
  return FindProfileValue(*content, section, key);
}

SystemResult WriteProfileFileValue(const std::string& path, const std::string& section,
                                   const std::string& key, const std::string& value) {
  std::optional<std::string> content = ReadWholeFile(path);
  if (!content) {
    // A file that exists but cannot be read must not be replaced by a new one.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) return ErrnoResult(EACCES);
    content = std::string();
  }
  const std::optional<std::string> updated = SetProfileValue(*content, section, key, value);
  if (!updated) return ErrnoResult(EINVAL);
  if (*updated == *content) return {};
  return ReplaceFileAtomically(path, *updated);
}

}  // namespace vt::posix

// --- the profile service of the POSIX host ------------------------------------------

namespace vt::posix {

std::wstring PosixPlatform::ProfileString(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& file, std::size_t maxLength) {
  const std::optional<std::string> stored =
      ReadProfileFileValue(HostPathOf(file), EncodeCp1252(section), EncodeCp1252(key));
  return stored ? DecodeCp1252(*stored).substr(0, maxLength) : std::wstring();
}

std::int32_t PosixPlatform::ProfileInt(const std::wstring& section, const std::wstring& key,
                                       std::int32_t defaultValue, const std::wstring& file) {
  const std::optional<std::string> stored =
      ReadProfileFileValue(HostPathOf(file), EncodeCp1252(section), EncodeCp1252(key));
  return stored ? LeadingInteger(*stored) : defaultValue;
}

SystemResult PosixPlatform::ProfileWrite(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& file) {
  const std::string path = HostPathOf(file);
  if (path.empty()) return ErrnoResult(ENOENT);
  return WriteProfileFileValue(path, EncodeCp1252(section), EncodeCp1252(key), EncodeCp1252(value));
}

}  // namespace vt::posix
