// A host of our own for Linux and other POSIX systems. Drives and shares follow the
// layout Wine uses, so one station folder serves this host and the Windows build under
// Wine; the window system is the terminal.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/platform.h"
#include "platform/posix/host/log_output.h"
#include "platform/posix/profile/profile_store.h"
#include "platform/posix/smb/smb_file_system.h"
#include "platform/posix/station/share_calls.h"
#include "platform/posix/system/event_loop.h"
#include "platform/posix/system/system_watch.h"
#include "platform/posix/x11/x_display.h"
#include "platform/timer_table.h"

namespace vt::posix {

struct ConnectPlan;

class PosixPlatform final : public Platform {
 public:
  // `prefix` is the Wine prefix whose dosdevices folder holds the drives; `echoLog`
  // writes each new log line to standard output.
  explicit PosixPlatform(std::string prefix, bool echoLog = true);

  // Runs timers and event sources until the process ends.
  [[noreturn]] void RunEventLoop();
  // The sources the loop watches beside its timers.
  EventLoop& Sources() { return loop_; }

  // Where a Windows path lies on this host (see paths.h); empty when nowhere.
  std::string HostPathOf(const std::wstring& windowsPath) const;

#include "platform/platform_overrides.h"

 private:
  // Runs the teardown when SIGINT, SIGTERM or SIGHUP has come.
  void HandleTeardownSignal();
  // Each timer that is due ticks once.
  void RunDueTimers();
  // What DoEvents does, waiting at most `maxMs` for an event when none is due.
  void ServeEvents(std::int64_t maxMs);
  // A call that may reach a share's server (see ShareCalls), the window's events served
  // while it runs.
  std::optional<ShareCalls::Answer> RunShareCall(const std::wstring& drive, std::int64_t deadlineMs,
                                                 std::function<ShareCalls::Answer()> work);
  // The connect of a share that has no folder of its own on this host (see SmbEngine).
  SystemResult ConnectOverSmb(const std::wstring& drive, const std::wstring& share,
                              const std::wstring& user, const std::wstring& password,
                              const ConnectPlan& plan, std::int64_t deadline);
  // Makes the profile writes held back so far, before anything else can happen; a
  // failure is kept for the next CommitProfileWrites.
  void CommitHeldBackWrites();

  std::string prefix_;
  WindowEvents* events_ = nullptr;
  // The X server of the visualisation's windows: opened at the first lookup, kept.
  std::unique_ptr<XDisplay> display_;
  bool displayOpened_ = false;
  bool displayGone_ = false;         // its connection broke: for good
  bool displaySilenceSaid_ = false;  // it does not answer, and that was said
  EventLoop::SourceId displayWatch_ = 0;
  std::vector<std::wstring> items_;
  TimerTable timers_;
  EventLoop loop_;
  ShareCalls shareCalls_{loop_};
  SmbFileSystem smb_{prefix_, loop_};
  SystemWatch watch_;
  TwipsRect listRect_{};
  TwipsRect buttonRect_{};
  TwipsSize outer_{};
  bool errorReported_ = false;
  bool echoLog_ = true;
  LogOutput output_{STDOUT_FILENO};
  ProfileStore profiles_;
  SystemResult commitFailure_;
};

}  // namespace vt::posix
