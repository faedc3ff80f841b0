// Text helpers shared by the logic.
#pragma once

#include <string>

namespace vt {

// Upper case as the system's code page knows it (ASCII and the Western European letters).
std::wstring UpperCase(const std::wstring& text);

// A word followed by a number without blank or leading zero: "Machine3", "NetOK9".
std::wstring Numbered(const std::wstring& word, int number);

}  // namespace vt
