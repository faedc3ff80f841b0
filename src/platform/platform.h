// The one interface between the program's logic and the operating system.
//
// Every operation is one thing the program needs of the system, with the outcomes the
// logic tests, each its own value. Texts are wide inside the program; each realisation
// converts to and from the system's 8-bit code page where the system call is an 8-bit
// one. A call that fails where the logic expects no failure throws ProgramError
// (platform/error.h), naming the call, its error number and the system's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vt {

// A top-level window of the window system; 0 is "no window".
using WindowHandle = std::uintptr_t;

enum class TimerId {
  StartTimer,
  UpdateTimer,
  WatchTimer,
  RetryTimer,
  ChangeTimer,
  ShareWatchTimer
};
constexpr int TimerCount = 6;
enum class ControlId { LogList, ExitButton };
// Along the stacking order of top-level windows: the next one below, or above.
enum class StackDirection { Below, Above };

struct TwipsRect {
  double left = 0;
  double top = 0;
  double width = 0;
  double height = 0;
};

struct TwipsSize {
  double width = 0;
  double height = 0;
};

struct TimerSetting {
  TimerId id;
  unsigned intervalMs;
};

// What the main window looks like when it is created; the platform realises it.
struct WindowProperties {
  std::wstring caption;
  std::uint32_t backgroundRgb = 0;
  TwipsSize clientSize;
  TwipsRect logListRect;
  TwipsRect exitButtonRect;
  std::wstring exitButtonCaption;
  TimerSetting timers[TimerCount];
};

// What the system tells the program beside its window's own events, once the program
// has asked for it (WatchNetworkAndPower). Each host turns what its own sources report
// into one of these.
enum class SystemEvent {
  // An address or a network link was added or removed, a link went up or down, or the
  // default route changed. What changes none of these (an address announced again, a
  // lifetime refreshed) is not told.
  NetworkChanged,
  // The system resumed from sleep or hibernation.
  Resumed,
};

// The notifications the window system delivers to the program, one at a time, on the
// user-interface thread (or inside DoEvents).
class WindowEvents {
 public:
  virtual void OnTimer(TimerId timer) = 0;
  virtual void OnExitClick() = 0;
  virtual void OnResize() = 0;
  virtual void OnTeardown() = 0;
  virtual void OnSystemEvent(SystemEvent event) = 0;
  // A process the host runs for the program ended by itself; `line` names it and says
  // how, as the log shows it ("Fault by vodu-tavisto-smbfs: ended by signal 9 (Killed)").
  virtual void OnHostFault(const std::wstring& line) = 0;

 protected:
  ~WindowEvents() = default;
};

// What a lookup of a top-level window by its title found: a window, none, or no answer
// (the window system did not answer in time; a later lookup may).
struct WindowSearch {
  enum class Outcome { Found, None, NoAnswer };
  Outcome outcome = Outcome::None;
  WindowHandle window = 0;  // the one found
  static WindowSearch Of(WindowHandle window) {
    return {window != 0 ? Outcome::Found : Outcome::None, window};
  }
};

// What the root of a drive holds: an entry (not hidden, not system), nothing, or it
// could not be listed at all; or its server gave no answer in time.
enum class DriveRoot { HasEntry, Empty, Unreadable, NoAnswer };

// What kind of failure a system result is, in the program's own words. Each host
// decides it from its own error numbers; the logic decides on kinds only.
enum class FailureKind {
  Other,
  // The account itself was refused (wrong user or password, a locked, disabled or
  // expired account): trying again at once could lock it out.
  LogonRefused,
  // The drive letter is taken by another share or disk.
  LetterInUse,
  // The share, its server or the network could not be reached.
  Unreachable,
  // The call gave no answer within its deadline (or an earlier call on the same drive
  // has not returned yet): the server may have stopped answering.
  NoAnswer,
};

// The answer of an operation that can fail for reasons the station should see: error 0
// when it was done; otherwise the system's error number, its text in the user's
// language on one line, and what kind of failure it is.
struct SystemResult {
  std::uint32_t error = 0;
  std::wstring reason;
  FailureKind kind = FailureKind::Other;
  bool Succeeded() const { return error == 0; }
};

// The number a failure gets when the system gave it none (a call that could not be
// made at all): Windows' "A device attached to the system is not functioning".
constexpr std::uint32_t GeneralFailure = 31;

// The kinds of entry in the system's event log.
enum class EventType { Information, Warning, Error };

enum class EnvironmentOutcome { Missing, Value, TooLong };

struct EnvironmentLookup {
  EnvironmentOutcome outcome = EnvironmentOutcome::Missing;
  std::wstring value;  // set when the outcome is Value

  // The lookup of a value found as `found` (null when the variable is not set) that
  // may hold at most `maxLength` characters.
  static EnvironmentLookup Of(const std::wstring* found, std::size_t maxLength) {
    if (found == nullptr) return {EnvironmentOutcome::Missing, {}};
    if (found->size() > maxLength) return {EnvironmentOutcome::TooLong, {}};
    return {EnvironmentOutcome::Value, *found};
  }
};

class Platform {
 public:
  virtual ~Platform() = default;

  // --- window system -------------------------------------------------------
  // Creates the main window and its controls, all timers disabled; later
  // notifications go to `events`.
  virtual void CreateMainWindow(const WindowProperties& properties, WindowEvents& events) = 0;
  virtual void ShowMainWindow() = 0;
  virtual WindowHandle MainWindowHandle() = 0;

  virtual void ListAddItem(const std::wstring& text) = 0;
  virtual std::wstring ListItem(int index) = 0;
  virtual void ListSetItem(int index, const std::wstring& text) = 0;

  virtual void EnableExitButton(bool enabled) = 0;
  virtual void EnableTimer(TimerId timer, bool enabled) = 0;

  // Runs every pending window event, then returns.
  virtual void DoEvents() = 0;

  virtual TwipsSize OuterSize() = 0;
  virtual TwipsSize ControlSize(ControlId control) = 0;
  virtual void MoveControl(ControlId control, const TwipsRect& rect) = 0;

  // The adjacent top-level window in the stacking order, hidden and minimised ones
  // included; 0 past either end.
  virtual WindowHandle AdjacentWindow(WindowHandle window, StackDirection direction) = 0;
  // The window's title as an 8-bit buffer of `capacity` characters holds it, the NUL
  // included: at most capacity - 1 characters; empty when it has none or it cannot be
  // read.
  virtual std::wstring WindowTitle(WindowHandle window, int capacity) = 0;
  // A top-level window of any class whose whole title is `title`, none, or no answer in
  // time (Windows' FindWindow always answers; an X server may be busy or stopped).
  virtual WindowSearch FindWindowByTitle(const std::wstring& title) = 0;

  // Ends the process at once: no further handler runs, nothing is written.
  [[noreturn]] virtual void EndProcess() = 0;
  // Shows an error that no handler caught (a message box on Windows).
  virtual void ReportUncaughtError(const std::wstring& message) = 0;
  // The current local time of day in the user's regional format.
  virtual std::wstring TimeOfDay() = 0;
  // The current local date and time as "2026-12-07 08:00:00".
  virtual std::wstring LocalDateTime() = 0;
  // The current time as Unix time in milliseconds (the system's clock).
  virtual std::int64_t UnixTimeMs() = 0;
  // Milliseconds from some moment of the system's choosing, never going back: for
  // measuring how long something took.
  virtual std::int64_t ElapsedMs() = 0;
  // The text in upper case by the system's own rules, for case-blind matching.
  virtual std::wstring UpperCase(const std::wstring& text) = 0;

  // --- environment ---------------------------------------------------------
  // The process environment; names match without regard to letter case.
  virtual EnvironmentLookup EnvironmentVariable(const std::wstring& name,
                                                std::size_t maxLength) = 0;

  // --- profile service -----------------------------------------------------
  // The value of `key` in `section` of the profile file, cut to `maxLength`
  // characters; empty when the file, the section or the key is missing.
  virtual std::wstring ProfileString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& file, std::size_t maxLength) = 0;
  // The value read as a whole number by the profile service's own rules;
  // `defaultValue` when the key is missing.
  virtual std::int32_t ProfileInt(const std::wstring& section, const std::wstring& key,
                                  std::int32_t defaultValue, const std::wstring& file) = 0;
  // Writes (adds or replaces) the entry; a failure says why nothing was written. A
  // service may hold writes back and make them together, atomically: at the latest
  // at CommitProfileWrites, at the next DoEvents and when the process ends.
  virtual SystemResult ProfileWrite(const std::wstring& section, const std::wstring& key,
                                    const std::wstring& value, const std::wstring& file) = 0;
  // Makes the writes held back; the first failure of any write made since the last
  // call, when there was one.
  virtual SystemResult CommitProfileWrites() = 0;

  // --- text files ----------------------------------------------------------
  // The size in bytes of a file; nothing when there is no such file.
  virtual std::optional<std::uint64_t> FileSize(const std::wstring& file) = 0;
  // Appends `text` in the system code page to the file, which is created when missing.
  virtual SystemResult AppendToFile(const std::wstring& file, const std::wstring& text) = 0;
  // Renames `from` to `to`, replacing a file of that name.
  virtual SystemResult RenameFile(const std::wstring& from, const std::wstring& to) = 0;
  // Replaces the file with `bytes` as a whole, atomically: a reader finds the old file
  // or the new one, never a mix, and the file is never written in place. On a failure
  // the old file is as it was, and the result says why.
  virtual SystemResult WriteWholeFile(const std::wstring& file, const std::string& bytes) = 0;

  // --- drives and network --------------------------------------------------
  // The calls that may reach a share's server (ListDriveRoot, ConnectShare) run off the
  // window's thread and wait at most `deadlineMs` for their answer; meanwhile the
  // window's events run as inside DoEvents. A call past its deadline is left to return
  // by itself and answers NoAnswer; until it has returned, every further call on the
  // same drive answers NoAnswer at once, so at most one call per drive is outstanding.
  // A process that ends does not wait for such a call.

  // Lists the root of `drive` (a letter, as configured).
  virtual DriveRoot ListDriveRoot(const std::wstring& drive, std::int64_t deadlineMs) = 0;
  // The shortest time between two listings of a drive's root in which the second can
  // tell more than the first: Windows' SMB client answers a listing of the same folder
  // from its cache for up to 10 s (DirectoryCacheLifetime), so there it is 15 s.
  virtual std::int32_t ShortestListingIntervalSeconds() = 0;
  // The error number of an answer that did not come in time: on Windows
  // ERROR_SEM_TIMEOUT (121), as the SMB client itself reports a timeout; on the native
  // host ETIMEDOUT.
  virtual std::uint32_t NoAnswerError() = 0;
  // The password that a protected value stands for: on Windows "dpapi:" and the base64,
  // or the bare hexadecimal text, of a DPAPI blob; on the native host "cred:NAME", a
  // systemd credential. A value that cannot be unprotected gives the system's reason and
  // no password. The caller wipes the password (portable/secret_text.h) once it has
  // handed it on.
  virtual SystemResult UnprotectPassword(const std::wstring& value, std::wstring& password) = 0;

  // Writes an entry to the system's event log: on Windows the Application log, source
  // "Vodu Tavisto", whose message table (compiled into the program) turns the event id
  // and its insertion strings (%1, %2, ...) into sentences. A host without such a log
  // (the native host: its output goes to the journal) writes nothing and succeeds.
  virtual SystemResult WriteEventLogEntry(EventType type, std::uint32_t eventId,
                                          const std::vector<std::wstring>& strings) = 0;

  // Starts telling the program of network changes and resumes (OnSystemEvent). What
  // cannot be watched is said in the result, naming the call that failed; what can be
  // is watched all the same.
  virtual SystemResult WatchNetworkAndPower() = 0;

  // Connects `drive` (a letter) to `share` (\\server\share) with these credentials,
  // waiting at most `deadlineMs` (see above: no answer in time is error NoAnswerError(),
  // kind NoAnswer, no reason). The user and the password are handed over as they are:
  // an empty text stays empty (for a password: no password). When the letter is in use
  // for another share, the reason names what holds it.
  virtual SystemResult ConnectShare(const std::wstring& drive, const std::wstring& share,
                                    const std::wstring& user, const std::wstring& password,
                                    std::int64_t deadlineMs) = 0;

  // --- what a check of the station asks ------------------------------------
  // Whether a file can be made in `folder`: tried, and nothing left behind.
  virtual SystemResult ProbeFolderWritable(const std::wstring& folder) = 0;
  // Whether `drive` (a letter) is a disk of this station rather than a network drive
  // (a connect to it would fail with "The local device name is already in use").
  virtual bool IsLocalDisk(const std::wstring& drive) = 0;
  // Whether a program of the same user that runs elevated sees none of this program's
  // drive mappings: on Windows with User Account Control on and linked connections
  // (EnableLinkedConnections) off. A host without elevation says false.
  virtual bool DrivesHiddenFromElevatedPrograms() = 0;
};

}  // namespace vt
