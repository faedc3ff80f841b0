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
  // The password in its protected form (ProtectedPasswordN), used instead of Password
  // when the station gives one; made plain only inside the connect step.
  std::wstring ProtectedPassword;
  std::wstring NetAddress;  // \\server\share; empty: the slot is not in use
  std::wstring NetDrive;    // drive letter without colon
  bool NetOK = false;
  // The last connect failed for a logon reason (wrong user or password, locked or
  // expired account): early retries leave the slot alone, so they cannot lock the
  // account out.
  bool LogonFailed = false;
  // What the checks found, for the metrics: whether a check has looked at the share
  // yet, the error number of its last failed connect (0 once it is up again), and the
  // connects that failed since the program started.
  bool Checked = false;
  std::uint32_t LastError = 0;
  std::wstring LastReason;  // the system's text for LastError, the password masked
  std::uint64_t ConnectFailures = 0;
  // The event log was told that the share is down (and not yet that it is back).
  bool ReportedDown = false;
};

// What started a check.
enum class CheckTrigger { Start, Schedule, Retry, NetworkChange, Resume, ShareLost };
constexpr int CheckTriggerCount = 6;

// What the checks so far add up to, for the metrics file.
struct CheckRecord {
  std::uint64_t Checks[CheckTriggerCount] = {};
  std::int64_t LastEndUnixMs = 0;
  std::int64_t LastDurationMs = 0;
  SystemResult StatusFileWrite;  // the last check's: why it could not, when it could not
};

// The optional entries in the Windows Event Log: transitions only.
struct EventLogState {
  bool Enabled = false;
  bool StatusFileReportedFailing = false;
  bool FaultShown = false;  // an entry that could not be written was said once
};

// The optional metrics file.
struct MetricsFileState {
  std::wstring Path;  // empty: none
  bool FaultShown = false;
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

// Early checks after network changes and resumes; times in milliseconds, counted by the
// change timer's ticks.
struct ChangeChecks {
  // A burst of changes waits for its check: since its first change, since its last.
  bool BurstPending = false;
  std::int32_t SinceBurstStartMs = 0;
  std::int32_t SinceLastChangeMs = 0;
  // The burst began with or holds a resume (its line says so).
  bool BurstHasResume = false;
  // The check that follows a resume once more, and the time since that resume.
  bool FollowUpPending = false;
  std::int32_t SinceResumeMs = 0;
};

// The watch of reachable shares between checks (WatchSharesSeconds), counted by the
// share watch timer's one-second ticks.
struct ShareWatch {
  std::int32_t SinceCheckSeconds = 0;  // since the last check ended or the last round
  bool Running = false;                // a round lists drives (and yields meanwhile)
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
  bool CheckOnNetworkChange = false;
  // How long a listing or a connect waits for the share's server.
  std::int32_t ShareTimeoutSeconds = 30;
  // How often the drives of reachable shares are looked at between checks: 0 is never.
  std::int32_t WatchSharesSeconds = 0;

  // Check scheduling: update-timer ticks since the last cycle ended.
  std::int16_t UpdateCounter = 0;
  // An early retry after a cycle with faults: its wait in seconds (0: none pending)
  // and the retry-timer ticks counted towards it.
  std::int32_t RetryWaitSeconds = 0;
  std::int32_t RetryCounter = 0;
  // A check cycle is running (other ticks may come inside it while it yields), and the
  // ordinary check that fell due meanwhile.
  bool CheckRunning = false;
  bool ScheduledCheckDue = false;
  ChangeChecks Changes;
  ShareWatch Watch;
  CheckRecord Record;
  MetricsFileState MetricsFile;
  EventLogState EventLog;

  LogFileState LogFile;

  // Visualisation window watch, and when a lookup was last answered (ElapsedMs).
  std::wstring WatchedWindowTitle;
  WindowHandle WatchedWindowHandle = 0;
  std::int64_t WatchedWindowAnsweredMs = 0;

  // Single-instance guard: the titled top-level windows met at start-up, in the order
  // met. The table grows as needed, so no desktop can hold too many windows for it.
  std::vector<WindowEntry> WindowTable;
};

}  // namespace vt
