// UTF-8, the text of terminals, journals and metrics files.
#pragma once

#include <string>

namespace vt {

// The text in UTF-8. Wide text is UTF-16 on Windows and UTF-32 elsewhere: a surrogate
// pair becomes its one character, and a surrogate without its partner U+FFFD.
std::string EncodeUtf8(const std::wstring& text);

// The text of UTF-8 bytes; a byte that begins no valid sequence becomes U+FFFD.
std::wstring DecodeUtf8(const std::string& bytes);

}  // namespace vt
