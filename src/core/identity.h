// The program's name as its window shows it (a running copy is recognised by it), and
// its version, the one set in CMakeLists.txt (the version resource shows the same).
#pragma once

#include "vodu_version.h"

#define VT_WIDEN_TEXT(text) L##text
#define VT_WIDE_TEXT(text) VT_WIDEN_TEXT(text)

namespace vt {

inline constexpr const wchar_t* MainWindowCaption = L"Vodu Tavisto";
inline constexpr const wchar_t* ProgramVersion = VT_WIDE_TEXT(VT_VERSION_TEXT);

}  // namespace vt
