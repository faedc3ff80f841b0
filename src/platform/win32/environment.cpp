#include <vector>

#include "platform/win32/win32_platform.h"

namespace vt::win32 {

EnvironmentLookup Win32Platform::EnvironmentVariable(const std::wstring& name,
                                                     std::size_t maxLength) {
  std::vector<char> buffer(maxLength + 1, '\0');
  ::SetLastError(ERROR_SUCCESS);
  const DWORD length = ::GetEnvironmentVariableA(Narrow(name).c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()));
  // 0 is a missing variable, or an empty one; a buffer too small gets nothing and the
  // call answers the size it needs.
  if (length == 0) {
    if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return {EnvironmentOutcome::Missing, {}};
    return {EnvironmentOutcome::Value, {}};
  }
  if (length >= buffer.size()) return {EnvironmentOutcome::TooLong, {}};
  return {EnvironmentOutcome::Value, Widen(std::string(buffer.data(), length))};
}

}  // namespace vt::win32
