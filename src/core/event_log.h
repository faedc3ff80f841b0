// The event log: 50 lines on screen, newest first, each the time of day and a message;
// and, when the station configures one, the same lines with their date in a log file.
#pragma once

#include <string>

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

constexpr int LogLineCount = 50;

// Adds the 50 empty lines the log works on.
void CreateLogLines(Platform& platform);

// Shifts every line down by one, puts time + " " + message on top, appends the line to
// the log file, then lets pending window events run so the line shows at once.
void LogMessage(Platform& platform, AppState& state, const std::wstring& message);

// Sets the log file (empty: none) and its size, and writes what was logged before.
void ConfigureLogFile(Platform& platform, AppState& state, const std::wstring& path,
                      std::uint64_t maxBytes);

}  // namespace vt
