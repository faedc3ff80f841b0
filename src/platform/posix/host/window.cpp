// The window system of the POSIX host is the terminal: each new log line goes to
// standard output as it is logged, timers run on the monotonic clock, and SIGINT,
// SIGTERM and SIGHUP are the window's teardown.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>

#include "platform/posix/host/log_output.h"
#include "platform/posix/host/posix_platform.h"
#include "platform/posix/station/paths.h"
#include "platform/posix/station/process.h"
#include "platform/posix/system/monotonic_clock.h"
#include "platform/posix/system/system_error.h"
#include "platform/window_frame.h"
#include "portable/case_fold.h"
#include "portable/codepage.h"
#include "portable/utf8.h"

namespace vt::posix {

namespace {

constexpr WindowHandle ConsoleWindow = 1;

// The current local time in a strftime format.
std::wstring LocalTimeAs(const char* format) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, format, &local);
  return DecodeCp1252(text);
}

}  // namespace

PosixPlatform::PosixPlatform(std::string prefix, bool echoLog)
    : prefix_(std::move(prefix)), echoLog_(echoLog) {
  smb_.OnFault([this](const std::wstring& line) {
    if (events_ != nullptr) events_->OnHostFault(line);
  });
}

std::string PosixPlatform::HostPathOf(const std::wstring& windowsPath) const {
  return MapWindowsPath(prefix_, windowsPath).value_or(std::string());
}

void PosixPlatform::CreateMainWindow(const WindowProperties& properties, WindowEvents& events) {
  // main() installs them first thing; a host made without it gets them here.
  InstallTeardownSignals();
  loop_.Watch(TeardownSignalDescriptor(), [this] { HandleTeardownSignal(); });
  events_ = &events;
  timers_.Configure(properties.timers);
  listRect_ = properties.logListRect;
  buttonRect_ = properties.exitButtonRect;
  outer_ = OuterSizeOf(properties.clientSize);
}

void PosixPlatform::ShowMainWindow() {
  events_->OnResize();
}

WindowHandle PosixPlatform::MainWindowHandle() {
  return ConsoleWindow;
}

void PosixPlatform::ListAddItem(const std::wstring& text) {
  items_.push_back(text);
}

std::wstring PosixPlatform::ListItem(int index) {
  return index >= 0 && static_cast<std::size_t>(index) < items_.size()
             ? items_[static_cast<std::size_t>(index)]
             : std::wstring();
}

void PosixPlatform::ListSetItem(int index, const std::wstring& text) {
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) return;
  items_[static_cast<std::size_t>(index)] = text;
  // Item 0 takes each new log line; the others only move down.
  if (index == 0 && echoLog_) output_.WriteLine(EncodeUtf8(text));
}

void PosixPlatform::EnableExitButton(bool) {}

void PosixPlatform::EnableTimer(TimerId id, bool enabled) {
  timers_.Enable(id, enabled, MonotonicMs());
}

void PosixPlatform::HandleTeardownSignal() {
  if (TeardownSignalled()) events_->OnTeardown();
}

void PosixPlatform::RunDueTimers() {
  // A tick's handler may enable or disable others.
  for (int t = 0; t < TimerCount; ++t) {
    const auto id = static_cast<TimerId>(t);
    const std::int64_t now = MonotonicMs();
    if (!timers_.Enabled(id) || timers_.DueAt(id) > now) continue;
    timers_.Ticked(id, now);
    events_->OnTimer(id);
  }
}

void PosixPlatform::ServeEvents(std::int64_t maxMs) {
  CommitHeldBackWrites();
  const std::optional<TimerId> next = timers_.Earliest();
  const std::int64_t untilTimer = next ? timers_.DueAt(*next) - MonotonicMs() : maxMs;
  loop_.Serve(std::clamp<std::int64_t>(std::min(maxMs, untilTimer), 0, maxMs));
  RunDueTimers();
}

void PosixPlatform::DoEvents() {
  ServeEvents(0);
}

std::optional<ShareCalls::Answer> PosixPlatform::RunShareCall(
    const std::wstring& drive, std::int64_t deadlineMs, std::function<ShareCalls::Answer()> work) {
  return shareCalls_.Run(drive, deadlineMs, std::move(work),
                         [this](std::int64_t maxMs) { ServeEvents(maxMs); });
}

void PosixPlatform::RunEventLoop() {
  constexpr std::int64_t LongestWaitMs = std::int64_t{3600} * 1000;
  for (;;) ServeEvents(LongestWaitMs);
}

TwipsSize PosixPlatform::OuterSize() {
  return outer_;
}

TwipsSize PosixPlatform::ControlSize(ControlId control) {
  const TwipsRect& rect = control == ControlId::LogList ? listRect_ : buttonRect_;
  return {rect.width, rect.height};
}

void PosixPlatform::MoveControl(ControlId control, const TwipsRect& rect) {
  (control == ControlId::LogList ? listRect_ : buttonRect_) = rect;
}

// The walk over the top-level windows is the single-instance guard's, which the station
// lock replaces on this host: it is empty.
WindowHandle PosixPlatform::AdjacentWindow(WindowHandle, StackDirection) {
  return 0;
}

std::wstring PosixPlatform::WindowTitle(WindowHandle, int) {
  return std::wstring();
}

// A window of the X server that DISPLAY names (the visualisation runs there under
// Wine); without DISPLAY, or once that server has gone, none. A server that does not
// answer is said once while it does not: at the first lookup (start-up's, which then
// arms no watch) or while the watch waits for it.
WindowSearch PosixPlatform::FindWindowByTitle(const std::wstring& title) {
  const bool first = !displayOpened_;
  if (first) {
    displayOpened_ = true;
    std::string problem;
    display_ = XDisplay::Open(problem);
    if (!problem.empty()) SayOnStandardError(problem);
  }
  if (!display_) return {};
  const WindowSearch found = display_->FindTopLevel(title);
  // Watched once connected, so a server that goes away is seen at once, not at a lookup.
  if (displayWatch_ == 0 && !displayGone_) {
    const int descriptor = display_->Descriptor();
    if (descriptor >= 0) {
      displayWatch_ = loop_.Watch(descriptor, [this] {
        if (display_->Serve()) return;
        loop_.Unwatch(displayWatch_);
        displayWatch_ = 0;
        displayGone_ = true;
      });
    }
  }
  const bool silent = found.outcome == WindowSearch::Outcome::NoAnswer;
  if (silent && !displaySilenceSaid_) {
    SayOnStandardError("the display " + display_->Name() + " (DISPLAY) does not answer: " +
                       (first ? "the visualisation's window is not watched"
                              : "the watch asks again at its next look"));
  }
  displaySilenceSaid_ = silent;
  return found;
}

void PosixPlatform::EndProcess() {
  smb_.Stop();  // no helper and no mount of the program's outlives it
  CommitHeldBackWrites();
  std::_Exit(errorReported_ ? 1 : 0);
}

void PosixPlatform::ReportUncaughtError(const std::wstring& message) {
  errorReported_ = true;
  SayOnStandardError(EncodeUtf8(message));
}

// The native host has no event log of its own: under a service manager its output is
// the journal already.
SystemResult PosixPlatform::WriteEventLogEntry(EventType, std::uint32_t,
                                               const std::vector<std::wstring>&) {
  return {};
}

std::wstring PosixPlatform::TimeOfDay() {
  return LocalTimeAs("%H:%M:%S");
}

std::wstring PosixPlatform::LocalDateTime() {
  return LocalTimeAs("%Y-%m-%d %H:%M:%S");
}

std::int64_t PosixPlatform::UnixTimeMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t PosixPlatform::ElapsedMs() {
  return MonotonicMs();
}

std::wstring PosixPlatform::UpperCase(const std::wstring& text) {
  return UpperCaseText(text);
}

}  // namespace vt::posix
