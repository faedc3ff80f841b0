// The profile calls of the POSIX host, on its own profile service (profile_store.h).
#include <cerrno>

#include "platform/posix/host/posix_platform.h"
#include "platform/posix/system/system_error.h"
#include "portable/profile_text.h"

namespace vt::posix {

std::wstring PosixPlatform::ProfileString(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& file, std::size_t maxLength) {
  const std::string path = HostPathOf(file);
  if (path.empty()) return std::wstring();
  return profiles_.Read(path, section, key).value_or(std::wstring()).substr(0, maxLength);
}

std::int32_t PosixPlatform::ProfileInt(const std::wstring& section, const std::wstring& key,
                                       std::int32_t defaultValue, const std::wstring& file) {
  const std::string path = HostPathOf(file);
  const std::optional<std::wstring> value =
      path.empty() ? std::nullopt : profiles_.Read(path, section, key);
  if (!value) return defaultValue;
  return ProfileInteger(*value).value_or(defaultValue);
}

SystemResult PosixPlatform::ProfileWrite(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& file) {
  const std::string path = HostPathOf(file);
  if (path.empty()) return ErrnoResult(ENOENT);
  return profiles_.Write(path, section, key, value);
}

SystemResult PosixPlatform::CommitProfileWrites() {
  CommitHeldBackWrites();
  SystemResult first = commitFailure_;
  commitFailure_ = {};
  return first;
}

void PosixPlatform::CommitHeldBackWrites() {
  if (!profiles_.HasHeldBackWrites()) return;
  const SystemResult result = profiles_.Commit();
  if (!result.Succeeded() && commitFailure_.Succeeded()) commitFailure_ = result;
}

}  // namespace vt::posix
