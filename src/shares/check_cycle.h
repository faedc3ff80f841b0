// The share check cycle: test each configured share's drive, connect it when missing,
// and publish the outcome in the status file. The only writer of the status file.
#pragma once

#include <string>

namespace vt {

struct MainWindow;

extern const wchar_t* const ConnectionComment;  // "XTavisto"

// One pass over the five share slots.
void CheckShares(MainWindow& window);

// Whether `reference` lies on the share `netAddress`: longer than 3 characters,
// beginning with "\\" and, upper-cased, beginning with the upper-cased address.
bool LiesOnShare(const std::wstring& reference, const std::wstring& netAddress);

}  // namespace vt
