// The program's name as its window shows it; a running copy is recognised by it.
#pragma once

namespace vt {

inline constexpr const wchar_t* MainWindowCaption = L"Vodu Tavisto";

}  // namespace vt
