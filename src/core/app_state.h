// The program-lifetime state, owned by the main window and created empty. Every
// feature works on it through plain functions that take it with the platform.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vt {

constexpr int MaxMachines = 5;
constexpr int ReferencesPerMachine = 9;
constexpr int ShareSlotCount = 5;

struct ShareSlot {
  std::wstring User;
  std::wstring Password;
  std::wstring NetAddress;  // \\server\share; empty: the slot is not in use
  std::wstring NetDrive;    // drive letter without colon
  bool NetOK = false;
  // The last connect failed for a logon reason (wrong user or password, locked or
  // expired account): early retries leave the slot alone, so they cannot lock the
  // account out.
  bool LogonFailed = false;
};

// The optional copy of the event log in a file.
struct LogFileState {
  std::wstring Path;  // empty: no log file
  std::uint64_t MaxBytes = 0;
  // Lines are kept here until the configuration has said whether there is a file.
  bool Configured = false;
  std::vector<std::wstring> Early;
  bool FaultShown = false;
};

struct WindowEntry {
  std::wstring Title;  // upper case, as read
  WindowHandle Handle = 0;
};

struct AppState {
  // Configuration, loaded once at start-up.
  std::wstring ProgramIniPath;
  std::wstring StatusIniPath;
  std::wstring CustomerCfgPath;
  std::int16_t NumberOfMachines = 0;
  bool VWStudio = false;
  // Reference[m - 1][r - 1] is reference r of machine m.
  std::array<std::array<std::wstring, ReferencesPerMachine>, MaxMachines> Reference;
  // Shares[i - 1] is share slot i.
  std::array<ShareSlot, ShareSlotCount> Shares;
  std::int16_t UpdateInterval = 0;
  // Optional settings of the [Tavisto] section: 0 seconds means no early retry.
  std::int32_t RetryAfterFaultSeconds = 0;

  // Check scheduling: update-timer ticks since the last cycle ended.
  std::int16_t UpdateCounter = 0;
  // An early retry after a cycle with faults: its wait in seconds (0: none pending)
  // and the retry-timer ticks counted towards it.
  std::int32_t RetryWaitSeconds = 0;
  std::int32_t RetryCounter = 0;

  LogFileState LogFile;

  // Visualisation window watch.
  std::wstring WatchedWindowTitle;
  WindowHandle WatchedWindowHandle = 0;

  // Single-instance guard: the titled top-level windows met at start-up, in the order
  // met. The table grows as needed, so no desktop can hold too many windows for it.
  std::vector<WindowEntry> WindowTable;
};

}  // namespace vt
