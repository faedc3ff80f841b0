#include <vector>

#include "platform/win32/win32_platform.h"

namespace vt::win32 {

std::size_t Win32Platform::ProfileGetString(const std::wstring& section, const std::wstring& key,
                                            const std::wstring& defaultValue, std::wstring& value,
                                            std::size_t capacity, const std::wstring& file) {
  // Windows delivers a missing entry's default without its trailing blanks; Wine keeps
  // one of them. Trimming first gives the same answer on both.
  const std::size_t last = defaultValue.find_last_not_of(L' ');
  const std::wstring trimmedDefault =
      last == std::wstring::npos ? std::wstring() : defaultValue.substr(0, last + 1);
  std::vector<char> buffer(capacity + 1, '\0');
  const DWORD count = ::GetPrivateProfileStringA(
      Narrow(section).c_str(), Narrow(key).c_str(), Narrow(trimmedDefault).c_str(), buffer.data(),
      static_cast<DWORD>(capacity), Narrow(file).c_str());
  value = Widen(std::string(buffer.data(), count));
  return value.size();
}

std::int32_t Win32Platform::ProfileGetInt(const std::wstring& section, const std::wstring& key,
                                          std::int32_t defaultValue, const std::wstring& file) {
  return static_cast<std::int32_t>(::GetPrivateProfileIntA(
      Narrow(section).c_str(), Narrow(key).c_str(), defaultValue, Narrow(file).c_str()));
}

bool Win32Platform::ProfileWriteString(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& value, const std::wstring& file) {
  return ::WritePrivateProfileStringA(Narrow(section).c_str(), Narrow(key).c_str(),
                                      Narrow(value).c_str(), Narrow(file).c_str()) != 0;
}

}  // namespace vt::win32
