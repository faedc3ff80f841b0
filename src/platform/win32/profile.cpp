#include <vector>

#include "platform/win32/win32_platform.h"

namespace vt::win32 {

std::wstring Win32Platform::ProfileString(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& file, std::size_t maxLength) {
  std::vector<char> buffer(maxLength + 1, '\0');
  const DWORD count =
      ::GetPrivateProfileStringA(Narrow(section).c_str(), Narrow(key).c_str(), "", buffer.data(),
                                 static_cast<DWORD>(buffer.size()), Narrow(file).c_str());
  return Widen(std::string(buffer.data(), count));
}

std::int32_t Win32Platform::ProfileInt(const std::wstring& section, const std::wstring& key,
                                       std::int32_t defaultValue, const std::wstring& file) {
  return static_cast<std::int32_t>(::GetPrivateProfileIntA(
      Narrow(section).c_str(), Narrow(key).c_str(), defaultValue, Narrow(file).c_str()));
}

SystemResult Win32Platform::ProfileWrite(const std::wstring& section, const std::wstring& key,
                                         const std::wstring& value, const std::wstring& file) {
  if (::WritePrivateProfileStringA(Narrow(section).c_str(), Narrow(key).c_str(),
                                   Narrow(value).c_str(), Narrow(file).c_str())) {
    return {};
  }
  return LastFailure();
}

// The system's service writes every entry as it is asked to: nothing is held back.
SystemResult Win32Platform::CommitProfileWrites() {
  return {};
}

}  // namespace vt::win32
