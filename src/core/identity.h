// The program's name as its window shows it (a running copy is recognised by it), and
// its version, the same as the version resource's (resources/VoduTavisto.rc).
#pragma once

namespace vt {

inline constexpr const wchar_t* MainWindowCaption = L"Vodu Tavisto";
inline constexpr const wchar_t* ProgramVersion = L"1.0.0";

}  // namespace vt
