#include "config/profile_access.h"

#include "portable/text_rules.h"

namespace vt {

std::wstring ProfileRead(Platform& platform, const std::wstring& section, const std::wstring& key,
                         const std::wstring& file) {
  return platform.ProfileString(section, key, file, MaxProfileValueLength);
}

std::int16_t ProfileReadInt(Platform& platform, const std::wstring& section,
                            const std::wstring& key, const std::wstring& file) {
  const std::int32_t value = platform.ProfileInt(section, key, -1, file);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

bool ProfileReadBool(Platform& platform, const std::wstring& section, const std::wstring& key,
                     const std::wstring& file) {
  return platform.UpperCase(ProfileRead(platform, section, key, file)) == L"TRUE";
}

SystemResult ProfileWrite(Platform& platform, const std::wstring& section, const std::wstring& key,
                          const std::wstring& value, const std::wstring& file) {
  return platform.ProfileWrite(section, key, TrimSpaces(value), file);
}

}  // namespace vt
