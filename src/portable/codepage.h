// Windows-1252, the 8-bit code page of profile files and environment values on POSIX
// hosts. Every byte maps to a character and back, so nothing is lost on the way.
#pragma once

#include <string>

namespace vt {

std::wstring DecodeCp1252(const std::string& bytes);
// Characters that Windows-1252 cannot hold become '?'.
std::string EncodeCp1252(const std::wstring& text);

}  // namespace vt
