#include <vector>

#include "platform/win32/win32_platform.h"

namespace vt::win32 {

std::size_t Win32Platform::EnvironmentVariable(const std::wstring& name, std::wstring& value,
                                               std::size_t capacity) {
  value.clear();
  std::vector<char> buffer(capacity + 1, '\0');
  const DWORD length =
      ::GetEnvironmentVariableA(Narrow(name).c_str(), buffer.data(), static_cast<DWORD>(capacity));
  // A buffer too small gets nothing: the call then reports the size it needs.
  if (length == 0 || length >= capacity) return length;
  value = Widen(std::string(buffer.data(), length));
  return length;
}

}  // namespace vt::win32
