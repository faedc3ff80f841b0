#include "config/profile_access.h"

#include "app/text.h"

namespace vt {

std::wstring ProfileRead(Platform& platform, const std::wstring& section, const std::wstring& key,
                         const std::wstring& file) {
  // A default of blanks comes back without its trailing blanks: the empty text.
  const std::wstring blanks(ProfileBufferSize, L' ');
  std::wstring buffer;
  const std::size_t count =
      platform.ProfileGetString(section, key, blanks, buffer, ProfileBufferSize, file);
  return buffer.substr(0, std::min(count, ProfileBufferSize - 1));
}

std::int16_t ProfileReadInt(Platform& platform, const std::wstring& section,
                            const std::wstring& key, const std::wstring& file) {
  const std::int32_t value = platform.ProfileGetInt(section, key, -1, file);
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value)));
}

bool ProfileReadBool(Platform& platform, const std::wstring& section, const std::wstring& key,
                     const std::wstring& file) {
  return UpperCase(ProfileRead(platform, section, key, file)) == L"TRUE";
}

bool ProfileWrite(Platform& platform, const std::wstring& value, const std::wstring& section,
                  const std::wstring& key, const std::wstring& file) {
  const std::size_t first = value.find_first_not_of(L' ');
  const std::wstring trimmed = first == std::wstring::npos
                                   ? std::wstring()
                                   : value.substr(first, value.find_last_not_of(L' ') - first + 1);
  return platform.ProfileWriteString(section, key, trimmed, file);
}

}  // namespace vt
