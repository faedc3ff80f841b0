// Reading and writing profile files through the platform's profile service.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace vt {

// A read returns at most 254 characters: its buffer of 255 keeps the last place for
// the NUL.
constexpr std::size_t MaxProfileValueLength = 254;

// The value, or the empty text when the file, section or key is missing.
std::wstring ProfileRead(Platform& platform, const std::wstring& section, const std::wstring& key,
                         const std::wstring& file);
// The low 16 bits of the leading decimal number; -1 when missing.
std::int16_t ProfileReadInt(Platform& platform, const std::wstring& section,
                            const std::wstring& key, const std::wstring& file);
// True exactly when the value is the word "true" in any letter case.
bool ProfileReadBool(Platform& platform, const std::wstring& section, const std::wstring& key,
                     const std::wstring& file);
// Writes the value without its leading and trailing spaces; a failure says why.
SystemResult ProfileWrite(Platform& platform, const std::wstring& section, const std::wstring& key,
                          const std::wstring& value, const std::wstring& file);

}  // namespace vt
