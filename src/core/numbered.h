// Numbered section and key names.
#pragma once

#include <string>

namespace vt {

// A word followed by a number without blank or leading zero: "Machine3", "NetOK9".
std::wstring Numbered(const std::wstring& word, int number);

}  // namespace vt
