// The on-screen event log: 50 lines, newest first, each the time of day and a message.
#pragma once

#include <string>

#include "platform/platform.h"

namespace vt {

constexpr int LogLineCount = 50;

// Adds the 50 empty lines the log works on.
void CreateLogLines(Platform& platform);

// Shifts every line down by one, puts time + " " + message on top, then lets pending
// window events run so the line shows at once.
void LogMessage(Platform& platform, const std::wstring& message);

}  // namespace vt
