// The text files the program appends to (its log file) and the files it writes whole,
// on the host's files.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/posix/host/posix_platform.h"
#include "platform/posix/profile/atomic_file.h"
#include "platform/posix/system/descriptor.h"
#include "platform/posix/system/file_calls.h"
#include "platform/posix/system/system_error.h"
#include "portable/codepage.h"

namespace vt::posix {

std::optional<std::uint64_t> PosixPlatform::FileSize(const std::wstring& file) {
  struct stat info {};
  const std::string path = HostPathOf(file);
  if (path.empty() || Retried([&] { return FileCallTable().lstat(path.c_str(), &info); }) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

SystemResult PosixPlatform::AppendToFile(const std::wstring& file, const std::wstring& text) {
  const FileCalls& calls = FileCallTable();
  const std::string path = HostPathOf(file);
  if (path.empty()) return ErrnoResult(ENOENT);
  // Never blocked by what is not a plain file (a FIFO, say), never through a link.
  const Descriptor fd(Retried([&] {
    return calls.open(path.c_str(),
                      O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC, 0644);
  }));
  if (!fd.valid()) return ErrnoResult(errno);
  struct stat info {};
  if (calls.fstat(fd.get(), &info) != 0) return ErrnoResult(errno);
  if (!S_ISREG(info.st_mode)) return ErrnoResult(EISDIR);
  const std::string bytes = EncodeCp1252(text);
  const ssize_t written =
      Retried([&] { return calls.write(fd.get(), bytes.data(), bytes.size()); });
  if (written < 0) return ErrnoResult(errno);
  if (static_cast<std::size_t>(written) < bytes.size()) return ErrnoResult(ENOSPC);
  return {};
}

SystemResult PosixPlatform::RenameFile(const std::wstring& from, const std::wstring& to) {
  const std::string source = HostPathOf(from);
  const std::string target = HostPathOf(to);
  if (source.empty() || target.empty()) return ErrnoResult(ENOENT);
  if (Retried([&] { return FileCallTable().rename(source.c_str(), target.c_str()); }) != 0)
    return ErrnoResult(errno);
  return {};
}

SystemResult PosixPlatform::WriteWholeFile(const std::wstring& file, const std::string& bytes) {
  const std::string path = HostPathOf(file);
  if (path.empty()) return ErrnoResult(ENOENT);
  const ReplaceResult replaced = ReplaceFileAtomically(path, bytes, nullptr);
  return replaced.outcome == ReplaceResult::Outcome::Replaced ? SystemResult{} : replaced.failure;
}

}  // namespace vt::posix
