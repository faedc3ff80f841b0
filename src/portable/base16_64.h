// Base64 (standard alphabet, with padding) and hexadecimal text for binary data, as
// protected passwords are written.
#pragma once

#include <optional>
#include <string>

namespace vt {

std::string EncodeBase64(const std::string& bytes);
// Blanks and line breaks are ignored; anything else outside the alphabet, a wrong
// length or misplaced padding gives nothing.
std::optional<std::string> DecodeBase64(const std::wstring& text);

// Two hexadecimal digits a byte, in either case; blanks and line breaks ignored; an odd
// count or another character gives nothing.
std::optional<std::string> DecodeHex(const std::wstring& text);

}  // namespace vt
