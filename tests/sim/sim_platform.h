// A simulated platform: a virtual clock, timers that tick as virtual time passes,
// scripted top-level windows, drives, connects, environment and profile files held
// in memory, and a trace of every call the program makes.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/timer_table.h"

namespace vt::sim {

using Millis = std::int64_t;
constexpr Millis Seconds(Millis s) {
  return s * 1000;
}
constexpr Millis Minutes(Millis m) {
  return m * 60000;
}
constexpr Millis Never = INT64_MAX;
// The virtual clock starts at 2026-12-07 08:00:00 (local time, which is UTC here).
constexpr Millis VirtualDayStartUnixMs = 1796630400000;

// Thrown by EndProcess. It is not a std::exception, so the program's own code never
// catches it: it unwinds straight to the test.
struct ProcessEnded {};

// How a scripted drive root answers a listing.
struct DriveScript {
  DriveRoot root = DriveRoot::Unreadable;
  Millis blocksFor = 0;
};

// What the program handed to one connect call.
struct ConnectCall {
  Millis at = 0;
  std::wstring drive;
  std::wstring share;
  std::wstring user;
  std::wstring password;
};

class SimPlatform final : public Platform {
 public:
  SimPlatform();

  // --- the clock and running ------------------------------------------------
  Millis Now() const { return now_; }
  // Runs every event that falls due until `until`, in time order, then sets the
  // clock to `until`. Does nothing once the process has ended.
  void RunUntil(Millis until);
  void RunFor(Millis duration) { RunUntil(now_ + duration); }
  // Runs `action` at virtual time `at` (as a window event, between other events).
  void At(Millis at, std::function<void()> action);
  bool Ended() const { return ended_; }
  Millis EndedAt() const { return endedAt_; }
  // Runs `body` and records a ProcessEnded that it throws.
  void RunCatchingEnd(const std::function<void()>& body);

  // --- event sources ------------------------------------------------------------
  // A source the loop owns, as a descriptor or an event handle is on a real host:
  // `onReady` runs each time the source becomes ready, as an event between others, in
  // the loop and inside DoEvents alike. Readiness that comes again before it was served
  // is served once.
  using SourceId = int;
  SourceId AddSource(std::function<void()> onReady);
  void MakeReady(SourceId source, Millis at);
  void RemoveSource(SourceId source);

  // --- the network and power ------------------------------------------------
  // Once the program watches them (WatchNetworkAndPower), the network changes and the
  // system resumes at these virtual times; before that, nothing is told.
  void NetworkChangesAt(Millis at);
  void ResumesAt(Millis at);
  // The watch cannot be set up: WatchNetworkAndPower answers this.
  void FailSystemWatch(SystemResult failure) { watchFailure_ = std::move(failure); }

  // --- the event log -------------------------------------------------------------
  struct EventEntry {
    EventType type;
    std::uint32_t id;
    std::vector<std::wstring> strings;
  };
  const std::vector<EventEntry>& EventLogEntries() const { return eventEntries_; }
  // Entries cannot be written: WriteEventLogEntry answers this.
  void FailEventLog(SystemResult failure) { eventLogFailure_ = std::move(failure); }

  // --- the main window --------------------------------------------------------
  bool WindowCreated() const { return events_ != nullptr; }
  bool WindowShown() const { return shown_; }
  const WindowProperties& Properties() const { return properties_; }
  const std::vector<std::wstring>& Items() const { return items_; }
  bool ExitButtonEnabled() const { return buttonEnabled_; }
  bool TimerEnabled(TimerId timer) const;
  // A click on "Exit" as the user makes it: a disabled button delivers nothing.
  void ClickExit();
  // The window object is destroyed (closed from outside).
  void DestroyMainWindow();
  void Resize(TwipsSize outer);
  TwipsRect ControlRect(ControlId control) const;
  const std::vector<std::wstring>& ReportedErrors() const { return errors_; }
  // An error's box stays up this long, its message loop delivering what falls due, as a
  // real box does until somebody dismisses it; 0: dismissed at once.
  void ErrorBoxShowsFor(Millis duration) { errorBoxShowsFor_ = duration; }
  // The list box fails to take a log line whose text contains `part`, as a full list
  // box does, `times` times.
  void FailLogLinesContaining(const std::wstring& part, int times = 1) {
    failingLine_ = part;
    failingLineTimes_ = times;
  }

  // --- foreign top-level windows --------------------------------------------
  // Adds a window at the top of the stacking order (above the main window), or just
  // below the main window; returns its handle.
  WindowHandle OpenWindow(const std::wstring& title, bool belowMain = false);
  void CloseWindow(WindowHandle window);
  // Lookups by title get no answer (a busy or stopped X server), or answer again.
  void SilenceWindowSystem(bool silent) { windowSystemSilent_ = silent; }
  // Sets the handle the next opened window gets (to script handles with the top bit).
  void SetNextHandle(WindowHandle handle) { nextHandle_ = handle; }
  // Places the main window at `index` in the stacking order (0 = top).
  void PlaceMainWindow(std::size_t index);
  // Runs `hook` before each answer of AdjacentWindow, with the step's number from 1, so
  // a test can change the order while the program walks it.
  void BeforeWindowWalkStep(std::function<void(int step)> hook) { walkHook_ = std::move(hook); }

  // --- environment, drives, connects, files ---------------------------------
  void SetEnvironment(const std::wstring& name, const std::wstring& value);
  void SetDrive(const std::wstring& root, DriveScript script);  // root such as L"K:\\"
  // The shortest interval between listings that tell more (15 s as on Windows; 1 s as on
  // the native host).
  void SetShortestListingInterval(std::int32_t seconds) { shortestListingSeconds_ = seconds; }
  // How connects answer: an error number (0 connects), or a whole result.
  void SetConnect(std::function<std::uint32_t(const ConnectCall&)> answer, Millis blocksFor = 0);
  void SetConnect(std::function<SystemResult(const ConnectCall&)> answer, Millis blocksFor = 0);
  const std::vector<ConnectCall>& Connects() const { return connects_; }
  // Protected passwords as the simulated system knows them: "sim:" and the password
  // unprotects to that password; anything else gives ERROR_INVALID_DATA, and "moved:"
  // values NTE_BAD_KEY_STATE (made on another machine).

  // Files are named by their Windows path, matched without regard to letter case, and
  // hold 8-bit text.
  void PutFile(const std::wstring& path, const std::string& bytes);
  std::optional<std::string> File(const std::wstring& path) const;
  void AddFolder(const std::wstring& path);
  // A drive letter that is a disk of the station.
  void AddLocalDisk(const std::wstring& drive) { localDisks_.insert(Key(drive)); }
  // User Account Control on and linked connections off.
  void HideDrivesFromElevated(bool hidden) { drivesHiddenFromElevated_ = hidden; }
  void FailWrites(bool fail) { failWrites_ = fail; }
  // Profile writes are held back, as the native host holds them, and made together at
  // CommitProfileWrites, at the next DoEvents and when the process ends. The next
  // `times` commits fail (the disk is full): their writes are dropped, and a failure of
  // an implicit one is reported by the next CommitProfileWrites.
  void FailCommits(int times) { failingCommits_ = times; }

  // Every call the program made, one line each, such as
  // L"ProfileGetString Project NumberOfMachines C:\\Zembrik\\Parameter\\Program.ini".
  // List box item reads and writes are left out.
  const std::vector<std::wstring>& Trace() const { return trace_; }
  // The virtual time of each call of the trace.
  const std::vector<Millis>& TraceTimes() const { return traceTimes_; }
  // Long runs keep neither the trace nor the connect calls, so memory stays flat.
  void KeepRecords(bool keep) { keepRecords_ = keep; }
  std::vector<std::wstring> TraceStartingWith(const std::wstring& prefix) const;

  // --- Platform ---------------------------------------------------------------
#include "platform/platform_overrides.h"

 private:
  struct Action {
    Millis at;
    std::uint64_t order;
    std::function<void()> run;
  };
  struct Source {
    SourceId id;
    std::function<void()> onReady;
    std::vector<Millis> readyAt;
  };
  struct TopLevelWindow {
    WindowHandle handle;
    std::wstring title;
  };

  // Runs the earliest event due at or before `limit`; false when there is none.
  bool RunNextDue(Millis limit);
  // Runs everything due until `until`, then sets the clock to it; an end of the process
  // on the way passes through.
  void RunDueUntil(Millis until);
  // A call that may reach a share's server: StartShareCall traces it, or says it is not
  // made (false) while an earlier call on the drive is past its deadline and has not
  // returned; WaitForShareCall lets the call take `takes`, waits at most `deadlineMs`
  // for it, and says whether it answered in time.
  bool StartShareCall(const std::wstring& drive, const std::wstring& what);
  bool WaitForShareCall(const std::wstring& drive, Millis takes, std::int64_t deadlineMs);
  void Record(const std::wstring& line) {
    if (!keepRecords_) return;
    trace_.push_back(line);
    traceTimes_.push_back(now_);
  }
  static std::wstring Key(const std::wstring& path);
  std::optional<std::wstring> StoredValue(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& file) const;
  // Makes the held-back writes; the failure of this commit, if any.
  SystemResult CommitHeldBack();

  Millis now_ = 0;
  bool ended_ = false;
  Millis endedAt_ = 0;
  WindowEvents* events_ = nullptr;
  WindowProperties properties_;
  bool shown_ = false;
  std::vector<std::wstring> items_;
  bool buttonEnabled_ = true;
  TimerTable timers_;
  std::wstring failingLine_;
  int failingLineTimes_ = 0;
  std::vector<Action> actions_;
  std::uint64_t nextOrder_ = 0;
  std::vector<Source> sources_;
  SourceId nextSource_ = 1;
  TwipsSize outer_{};
  TwipsRect listRect_{};
  TwipsRect buttonRect_{};
  std::vector<std::wstring> errors_;
  Millis errorBoxShowsFor_ = 0;

  WindowHandle mainHandle_ = 0x10010;
  WindowHandle nextHandle_ = 0x20000;
  std::vector<TopLevelWindow> stack_;  // top first; holds the main window once created
  std::function<void(int)> walkHook_;
  int walkSteps_ = 0;

  std::map<std::wstring, std::wstring> environment_;  // keyed upper-case
  std::map<std::wstring, DriveScript> drives_;        // keyed upper-case
  std::map<std::wstring, Millis> outstandingUntil_;   // calls past their deadline, by drive
  std::function<SystemResult(const ConnectCall&)> connectAnswer_;
  Millis connectBlocksFor_ = 0;
  std::vector<ConnectCall> connects_;
  std::map<std::wstring, std::string> files_;  // keyed upper-case
  std::map<std::wstring, bool> folders_;       // keyed upper-case
  std::int32_t shortestListingSeconds_ = 15;
  bool windowSystemSilent_ = false;
  std::set<std::wstring> localDisks_;  // keyed upper-case
  bool drivesHiddenFromElevated_ = false;
  bool failWrites_ = false;
  SystemResult watchFailure_;
  std::vector<EventEntry> eventEntries_;
  SystemResult eventLogFailure_;
  bool watchingSystem_ = false;
  SourceId networkSource_ = 0;
  SourceId resumeSource_ = 0;
  std::vector<std::pair<SystemEvent, Millis>> systemEvents_;
  struct HeldBackWrite {
    std::wstring file;
    std::wstring section;
    std::wstring key;
    std::wstring value;
  };
  std::vector<HeldBackWrite> heldBack_;
  int failingCommits_ = 0;
  SystemResult implicitCommitFailure_;
  std::vector<std::wstring> trace_;
  std::vector<Millis> traceTimes_;
  bool keepRecords_ = true;
};

}  // namespace vt::sim
