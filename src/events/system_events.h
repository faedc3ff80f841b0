// Entries in the Windows Event Log (EventLog=true), where every Windows fleet tool
// already looks: the program's start, and transitions only, never a flood: a share that
// was up (or not yet checked) and is now down, one that is up again, the status file
// that cannot be written and later can again, and an error that ends the program. Never
// a password: a share's reason is the masked text of its reason line.
#pragma once

#include <cstdint>
#include <string>

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

// The event ids of the message table (resources/VoduTavisto.mc): a contract with the
// administrators' filters.
enum EventId : std::uint32_t {
  ProgramStarted = 1,
  ShareLost = 2,
  ShareRestored = 3,
  StatusFileFailing = 4,
  StatusFileWritable = 5,
  ProgramEnding = 6,
};

// The start, with the version.
void ReportStart(Platform& platform, AppState& state);

// What changed since the last check. An entry that cannot be written is said once in
// the window's log, "Fault by event log: <reason>", and changes nothing else.
void ReportTransitions(Platform& platform, AppState& state);

// An error that ends the program, before its message box shows. Never throws.
void ReportFatalError(Platform& platform, const AppState& state, const std::wstring& message);

}  // namespace vt
