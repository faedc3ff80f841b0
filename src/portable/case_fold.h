// Upper-casing as Windows does it for the letters a station's texts hold: Latin
// (Basic, Latin-1 and Extended-A), Greek and Cyrillic. The hosts without a system
// rule of their own (the native host, the simulated platform) use it.
#pragma once

#include <string>

namespace vt {

std::wstring UpperCaseText(const std::wstring& text);

// Lower-casing of the ASCII letters alone (other bytes, UTF-8 among them, stay), as
// the SMB helpers match server, share and path names.
std::string LowerCaseAscii(std::string text);

}  // namespace vt
