#include "sim/sim_platform.h"

#include <algorithm>
#include <cstdio>

#include "platform/error.h"
#include "platform/window_frame.h"
#include "portable/case_fold.h"
#include "portable/codepage.h"
#include "portable/profile_text.h"
#include "portable/utf8.h"

namespace vt::sim {

namespace {

const wchar_t* TimerName(TimerId id) {
  switch (id) {
    case TimerId::StartTimer:
      return L"StartTimer";
    case TimerId::UpdateTimer:
      return L"UpdateTimer";
    case TimerId::WatchTimer:
      return L"WatchTimer";
    case TimerId::RetryTimer:
      return L"RetryTimer";
    case TimerId::ChangeTimer:
      return L"ChangeTimer";
    case TimerId::ShareWatchTimer:
      return L"ShareWatchTimer";
  }
  return L"?";
}

// A list box that cannot take an item: what Windows reports then.
ProgramError ListFull(const wchar_t* message) {
  return SystemCallFailed(message, 8, L"Not enough memory resources are available.");
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

SystemResult AccessDenied() {
  return {5, L"Access is denied."};
}

// The kinds of the connect errors the tests use, as the Windows host decides them.
FailureKind KindOf(std::uint32_t error) {
  switch (error) {
    case 86:
    case 1326:
    case 1327:
    case 1330:
    case 1331:
    case 1909:
    case 2202:
      return FailureKind::LogonRefused;
    case 85:
    case 1202:
      return FailureKind::LetterInUse;
    case 53:
    case 67:
    case 1222:
      return FailureKind::Unreachable;
    default:
      return FailureKind::Other;
  }
}

SystemResult PathNotFound() {
  return {3, L"The system cannot find the path specified."};
}

}  // namespace

SimPlatform::SimPlatform() {
  SetConnect([](const ConnectCall&) -> std::uint32_t { return 1222; });  // no network
}

// --- the clock and running ---------------------------------------------------

bool SimPlatform::TimerEnabled(TimerId timer) const {
  return timers_.Enabled(timer);
}

void SimPlatform::At(Millis at, std::function<void()> action) {
  actions_.push_back({at, nextOrder_++, std::move(action)});
}

SimPlatform::SourceId SimPlatform::AddSource(std::function<void()> onReady) {
  sources_.push_back({nextSource_, std::move(onReady), {}});
  return nextSource_++;
}

void SimPlatform::MakeReady(SourceId source, Millis at) {
  for (Source& s : sources_) {
    if (s.id == source) s.readyAt.push_back(at);
  }
}

void SimPlatform::RemoveSource(SourceId source) {
  sources_.erase(std::remove_if(sources_.begin(), sources_.end(),
                                [source](const Source& s) { return s.id == source; }),
                 sources_.end());
}

bool SimPlatform::RunNextDue(Millis limit) {
  // The earliest of the scripted actions, the ready sources and the enabled timers;
  // actions first on a tie, then sources.
  Millis best = Never;
  std::size_t action = actions_.size();
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    if (actions_[i].at < best || (actions_[i].at == best && action < actions_.size() &&
                                  actions_[i].order < actions_[action].order)) {
      best = actions_[i].at;
      action = i;
    }
  }
  Source* source = nullptr;
  for (Source& s : sources_) {
    for (Millis at : s.readyAt) {
      if (at < best) {
        best = at;
        action = actions_.size();
        source = &s;
      }
    }
  }
  const std::optional<TimerId> timer = timers_.Earliest();
  if (timer && timers_.DueAt(*timer) < best) {
    best = timers_.DueAt(*timer);
    action = actions_.size();
    source = nullptr;
  }
  if (best > limit || best == Never) return false;
  now_ = std::max(now_, best);
  if (source != nullptr) {
    // Served once for all the readiness that has come by now.
    std::vector<Millis>& ready = source->readyAt;
    ready.erase(std::remove_if(ready.begin(), ready.end(), [&](Millis at) { return at <= now_; }),
                ready.end());
    const std::function<void()> onReady = source->onReady;
    onReady();
    return true;
  }
  if (action == actions_.size()) {
    timers_.Ticked(*timer, now_);
    if (events_ != nullptr) events_->OnTimer(*timer);
    return true;
  }
  std::function<void()> run = std::move(actions_[action].run);
  actions_.erase(actions_.begin() + static_cast<std::ptrdiff_t>(action));
  run();
  return true;
}

void SimPlatform::RunCatchingEnd(const std::function<void()>& body) {
  if (ended_) return;
  try {
    body();
  } catch (const ProcessEnded&) {
    // recorded by EndProcess
  }
}

void SimPlatform::RunDueUntil(Millis until) {
  while (RunNextDue(until)) {
  }
  now_ = std::max(now_, until);
}

void SimPlatform::RunUntil(Millis until) {
  RunCatchingEnd([&] { RunDueUntil(until); });
}

// --- the main window ---------------------------------------------------------

void SimPlatform::CreateMainWindow(const WindowProperties& properties, WindowEvents& events) {
  properties_ = properties;
  events_ = &events;
  timers_.Configure(properties.timers);
  listRect_ = properties.logListRect;
  buttonRect_ = properties.exitButtonRect;
  outer_ = OuterSizeOf(properties.clientSize);
  stack_.insert(stack_.begin(), {mainHandle_, properties.caption});
  Record(L"CreateMainWindow " + properties.caption);
}

void SimPlatform::ShowMainWindow() {
  shown_ = true;
  Record(L"ShowMainWindow");
  events_->OnResize();
}

WindowHandle SimPlatform::MainWindowHandle() {
  return mainHandle_;
}

void SimPlatform::ListAddItem(const std::wstring& text) {
  items_.push_back(text);
}

std::wstring SimPlatform::ListItem(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) throw ListFull(L"LB_GETTEXT");
  return items_[static_cast<std::size_t>(index)];
}

void SimPlatform::ListSetItem(int index, const std::wstring& text) {
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    throw ListFull(L"LB_INSERTSTRING");
  }
  if (failingLineTimes_ > 0 && text.find(failingLine_) != std::wstring::npos) {
    --failingLineTimes_;
    Record(L"ListSetItem failed " + text);
    throw ListFull(L"LB_INSERTSTRING");
  }
  items_[static_cast<std::size_t>(index)] = text;
}

void SimPlatform::EnableExitButton(bool enabled) {
  buttonEnabled_ = enabled;
  Record(std::wstring(L"EnableExitButton ") + (enabled ? L"on" : L"off"));
}

void SimPlatform::EnableTimer(TimerId id, bool enabled) {
  timers_.Enable(id, enabled, now_);
  Record(std::wstring(L"EnableTimer ") + TimerName(id) + (enabled ? L" on" : L" off"));
}

void SimPlatform::DoEvents() {
  Record(L"DoEvents");
  if (const SystemResult committed = CommitHeldBack();
      !committed.Succeeded() && implicitCommitFailure_.Succeeded()) {
    implicitCommitFailure_ = committed;
  }
  while (RunNextDue(now_)) {
  }
}

void SimPlatform::ClickExit() {
  Record(buttonEnabled_ ? L"Click Exit" : L"Click Exit (disabled)");
  if (buttonEnabled_) events_->OnExitClick();
}

void SimPlatform::DestroyMainWindow() {
  Record(L"DestroyMainWindow");
  events_->OnTeardown();
}

void SimPlatform::Resize(TwipsSize outer) {
  outer_ = outer;
  events_->OnResize();
}

TwipsSize SimPlatform::OuterSize() {
  return outer_;
}

TwipsSize SimPlatform::ControlSize(ControlId control) {
  const TwipsRect& rect = ControlRect(control);
  return {rect.width, rect.height};
}

TwipsRect SimPlatform::ControlRect(ControlId control) const {
  return control == ControlId::LogList ? listRect_ : buttonRect_;
}

void SimPlatform::MoveControl(ControlId control, const TwipsRect& rect) {
  (control == ControlId::LogList ? listRect_ : buttonRect_) = rect;
}

void SimPlatform::ReportUncaughtError(const std::wstring& message) {
  Record(L"ReportUncaughtError " + message);
  errors_.push_back(message);
  RunDueUntil(now_ + errorBoxShowsFor_);
}

void SimPlatform::EndProcess() {
  Record(L"EndProcess");
  CommitHeldBack();
  ended_ = true;
  endedAt_ = now_;
  throw ProcessEnded{};
}

std::wstring SimPlatform::TimeOfDay() {
  // The virtual day starts at 08:00:00.
  const Millis seconds = Millis{8} * 3600 + now_ / 1000;
  wchar_t text[16];
  std::swprintf(text, 16, L"%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600 % 24),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

std::wstring SimPlatform::LocalDateTime() {
  // The virtual clock starts on 2026-12-07; a run of days keeps that date.
  return L"2026-12-07 " + TimeOfDay();
}

std::int64_t SimPlatform::UnixTimeMs() {
  return VirtualDayStartUnixMs + now_;
}

std::int64_t SimPlatform::ElapsedMs() {
  return now_;
}

std::wstring SimPlatform::UpperCase(const std::wstring& text) {
  return UpperCaseText(text);
}

// --- foreign top-level windows ---------------------------------------------

WindowHandle SimPlatform::OpenWindow(const std::wstring& title, bool belowMain) {
  const WindowHandle handle = nextHandle_;
  nextHandle_ += 0x10;
  auto main = std::find_if(stack_.begin(), stack_.end(),
                           [&](const TopLevelWindow& w) { return w.handle == mainHandle_; });
  if (belowMain && main != stack_.end()) {
    stack_.insert(main + 1, {handle, title});
  } else {
    stack_.insert(stack_.begin(), {handle, title});
  }
  return handle;
}

void SimPlatform::CloseWindow(WindowHandle window) {
  stack_.erase(std::remove_if(stack_.begin(), stack_.end(),
                              [&](const TopLevelWindow& w) { return w.handle == window; }),
               stack_.end());
}

void SimPlatform::PlaceMainWindow(std::size_t index) {
  auto main = std::find_if(stack_.begin(), stack_.end(),
                           [&](const TopLevelWindow& w) { return w.handle == mainHandle_; });
  if (main == stack_.end()) return;
  const TopLevelWindow self = *main;
  stack_.erase(main);
  stack_.insert(stack_.begin() + static_cast<std::ptrdiff_t>(std::min(index, stack_.size())), self);
}

WindowHandle SimPlatform::AdjacentWindow(WindowHandle window, StackDirection direction) {
  Record(std::wstring(L"GetWindow ") + (direction == StackDirection::Below ? L"below" : L"above"));
  if (walkHook_) walkHook_(++walkSteps_);
  for (std::size_t i = 0; i < stack_.size(); ++i) {
    if (stack_[i].handle != window) continue;
    if (direction == StackDirection::Below) return i + 1 < stack_.size() ? stack_[i + 1].handle : 0;
    return i > 0 ? stack_[i - 1].handle : 0;
  }
  return 0;
}

std::wstring SimPlatform::WindowTitle(WindowHandle window, int capacity) {
  for (const TopLevelWindow& w : stack_) {
    if (w.handle == window) return w.title.substr(0, static_cast<std::size_t>(capacity - 1));
  }
  return std::wstring();
}

WindowSearch SimPlatform::FindWindowByTitle(const std::wstring& title) {
  Record(L"FindWindow " + title);
  if (windowSystemSilent_) return {WindowSearch::Outcome::NoAnswer, 0};
  for (const TopLevelWindow& w : stack_) {
    if (UpperCaseText(w.title) == UpperCaseText(title)) return WindowSearch::Of(w.handle);
  }
  return {};
}

// --- environment ---------------------------------------------------------------

void SimPlatform::SetEnvironment(const std::wstring& name, const std::wstring& value) {
  environment_[UpperCaseText(name)] = value;
}

EnvironmentLookup SimPlatform::EnvironmentVariable(const std::wstring& name,
                                                   std::size_t maxLength) {
  Record(L"EnvironmentVariable " + name);
  auto found = environment_.find(UpperCaseText(name));
  return EnvironmentLookup::Of(found == environment_.end() ? nullptr : &found->second, maxLength);
}

// --- profile files -------------------------------------------------------------

std::wstring SimPlatform::Key(const std::wstring& path) {
  return UpperCaseText(path);
}

void SimPlatform::PutFile(const std::wstring& path, const std::string& bytes) {
  files_[Key(path)] = bytes;
  AddFolder(FolderOf(path));
}

std::optional<std::string> SimPlatform::File(const std::wstring& path) const {
  auto found = files_.find(Key(path));
  if (found == files_.end()) return std::nullopt;
  return found->second;
}

void SimPlatform::AddFolder(const std::wstring& path) {
  folders_[Key(path)] = true;
}

std::optional<std::wstring> SimPlatform::StoredValue(const std::wstring& section,
                                                     const std::wstring& key,
                                                     const std::wstring& file) const {
  const std::optional<std::string> content = File(file);
  const ProfileText text = DecodeProfileFile(content.value_or(std::string()));
  ProfileDocument document(text.text, text.encoding);
  bool held = false;
  for (const HeldBackWrite& write : heldBack_) {
    if (Key(write.file) != Key(file)) continue;
    document.Set(write.section, write.key, write.value);
    held = true;
  }
  if (!content && !held) return std::nullopt;
  return document.Find(section, key);
}

std::wstring SimPlatform::ProfileString(const std::wstring& section, const std::wstring& key,
                                        const std::wstring& file, std::size_t maxLength) {
  Record(L"ProfileString " + section + L" " + key + L" " + file);
  return StoredValue(section, key, file).value_or(std::wstring()).substr(0, maxLength);
}

std::int32_t SimPlatform::ProfileInt(const std::wstring& section, const std::wstring& key,
                                     std::int32_t defaultValue, const std::wstring& file) {
  Record(L"ProfileInt " + section + L" " + key + L" " + file);
  const std::optional<std::wstring> stored = StoredValue(section, key, file);
  if (!stored) return defaultValue;
  return ProfileInteger(*stored).value_or(defaultValue);
}

SystemResult SimPlatform::ProfileWrite(const std::wstring& section, const std::wstring& key,
                                       const std::wstring& value, const std::wstring& file) {
  Record(L"ProfileWrite " + section + L" " + key + L" " + value + L" " + file);
  if (failWrites_) return AccessDenied();
  if (folders_.count(Key(FolderOf(file))) == 0) return PathNotFound();
  if (!ProfileDocument().Set(section, key, value)) return {87, L"The parameter is incorrect."};
  heldBack_.push_back({file, section, key, value});
  return {};
}

SystemResult SimPlatform::CommitHeldBack() {
  if (heldBack_.empty()) return {};
  std::vector<HeldBackWrite> writes;
  writes.swap(heldBack_);
  if (failingCommits_ > 0) {
    --failingCommits_;
    Record(L"Commit failed");
    return {112, L"There is not enough space on the disk."};
  }
  for (const HeldBackWrite& write : writes) {
    const ProfileText text = DecodeProfileFile(File(write.file).value_or(std::string()));
    ProfileDocument document(text.text, text.encoding);
    document.Set(write.section, write.key, write.value);
    files_[Key(write.file)] = EncodeProfileFile(document.Text(), document.Encoding());
  }
  return {};
}

SystemResult SimPlatform::CommitProfileWrites() {
  Record(L"CommitProfileWrites");
  const SystemResult committed = CommitHeldBack();
  SystemResult first = implicitCommitFailure_.Succeeded() ? committed : implicitCommitFailure_;
  implicitCommitFailure_ = {};
  return first;
}

// --- text files ----------------------------------------------------------------

std::optional<std::uint64_t> SimPlatform::FileSize(const std::wstring& file) {
  const std::optional<std::string> content = File(file);
  if (!content) return std::nullopt;
  return content->size();
}

SystemResult SimPlatform::AppendToFile(const std::wstring& file, const std::wstring& text) {
  if (failWrites_ || folders_.count(Key(file)) != 0) return AccessDenied();
  if (folders_.count(Key(FolderOf(file))) == 0) return PathNotFound();
  files_[Key(file)] += EncodeCp1252(text);
  return {};
}

SystemResult SimPlatform::RenameFile(const std::wstring& from, const std::wstring& to) {
  Record(L"RenameFile " + from + L" " + to);
  auto found = files_.find(Key(from));
  if (found == files_.end()) return {2, L"The system cannot find the file specified."};
  if (folders_.count(Key(FolderOf(to))) == 0) return PathNotFound();
  files_[Key(to)] = found->second;
  files_.erase(Key(from));
  return {};
}

SystemResult SimPlatform::WriteWholeFile(const std::wstring& file, const std::string& bytes) {
  Record(L"WriteWholeFile " + file);
  if (failWrites_ || folders_.count(Key(file)) != 0) return AccessDenied();
  if (folders_.count(Key(FolderOf(file))) == 0) return PathNotFound();
  files_[Key(file)] = bytes;
  return {};
}

// --- the network and power --------------------------------------------------

void SimPlatform::NetworkChangesAt(Millis at) {
  systemEvents_.emplace_back(SystemEvent::NetworkChanged, at);
  if (watchingSystem_) MakeReady(networkSource_, at);
}

void SimPlatform::ResumesAt(Millis at) {
  systemEvents_.emplace_back(SystemEvent::Resumed, at);
  if (watchingSystem_) MakeReady(resumeSource_, at);
}

SystemResult SimPlatform::WatchNetworkAndPower() {
  Record(L"WatchNetworkAndPower");
  if (!watchFailure_.Succeeded()) return watchFailure_;
  watchingSystem_ = true;
  networkSource_ = AddSource([this] { events_->OnSystemEvent(SystemEvent::NetworkChanged); });
  resumeSource_ = AddSource([this] { events_->OnSystemEvent(SystemEvent::Resumed); });
  for (const auto& [event, at] : systemEvents_) {
    if (at >= now_) MakeReady(event == SystemEvent::Resumed ? resumeSource_ : networkSource_, at);
  }
  return {};
}

// --- the event log -------------------------------------------------------------

SystemResult SimPlatform::WriteEventLogEntry(EventType type, std::uint32_t eventId,
                                             const std::vector<std::wstring>& strings) {
  Record(L"WriteEventLogEntry " + std::to_wstring(eventId));
  if (!eventLogFailure_.Succeeded()) return eventLogFailure_;
  eventEntries_.push_back({type, eventId, strings});
  return {};
}

// --- drives and connects -----------------------------------------------------

void SimPlatform::SetDrive(const std::wstring& root, DriveScript script) {
  drives_[UpperCaseText(root)] = script;
}

bool SimPlatform::StartShareCall(const std::wstring& drive, const std::wstring& what) {
  const auto outstanding = outstandingUntil_.find(UpperCaseText(drive));
  if (outstanding != outstandingUntil_.end() && outstanding->second > now_) {
    Record(what + L" not made: an earlier call on the drive has not returned");
    return false;
  }
  Record(what);
  return true;
}

bool SimPlatform::WaitForShareCall(const std::wstring& drive, Millis takes,
                                   std::int64_t deadlineMs) {
  // A call that answers within its deadline blocks for its time, no event running, as
  // the scenarios of slow calls have it; one that does not serves the window's events
  // until its deadline, as the hosts do while they wait.
  if (takes <= deadlineMs) {
    now_ += takes;
    return true;
  }
  outstandingUntil_[UpperCaseText(drive)] = now_ + takes;
  const Millis deadline = now_ + deadlineMs;
  while (RunNextDue(deadline)) {
  }
  now_ = std::max(now_, deadline);
  return false;
}

DriveRoot SimPlatform::ListDriveRoot(const std::wstring& drive, std::int64_t deadlineMs) {
  const std::wstring root = drive + L":\\";
  if (!StartShareCall(drive, L"ListDriveRoot " + root)) return DriveRoot::NoAnswer;
  auto found = drives_.find(UpperCaseText(root));
  if (found == drives_.end()) return DriveRoot::Unreadable;
  if (!WaitForShareCall(drive, found->second.blocksFor, deadlineMs)) return DriveRoot::NoAnswer;
  return found->second.root;
}

std::uint32_t SimPlatform::NoAnswerError() {
  return 121;  // as on Windows: ERROR_SEM_TIMEOUT
}

std::int32_t SimPlatform::ShortestListingIntervalSeconds() {
  return shortestListingSeconds_;
}

void SimPlatform::SetConnect(std::function<std::uint32_t(const ConnectCall&)> answer,
                             Millis blocksFor) {
  SetConnect(
      [answer = std::move(answer)](const ConnectCall& call) {
        const std::uint32_t error = answer(call);
        return SystemResult{error, error == 0 ? L"" : L"simulated error " + std::to_wstring(error),
                            KindOf(error)};
      },
      blocksFor);
}

void SimPlatform::SetConnect(std::function<SystemResult(const ConnectCall&)> answer,
                             Millis blocksFor) {
  connectAnswer_ = std::move(answer);
  connectBlocksFor_ = blocksFor;
}

SystemResult SimPlatform::ConnectShare(const std::wstring& drive, const std::wstring& share,
                                       const std::wstring& user, const std::wstring& password,
                                       std::int64_t deadlineMs) {
  // The password is not traced: nothing the program hands over may show it.
  if (!StartShareCall(drive, L"ConnectShare " + drive + L": " + share))
    return {NoAnswerError(), L"", FailureKind::NoAnswer};
  ConnectCall call{now_, drive, share, user, password};
  if (keepRecords_) connects_.push_back(call);
  // Its answer is taken when it is made, as a late connect still connects the drive.
  SystemResult answer = connectAnswer_(call);
  if (!WaitForShareCall(drive, connectBlocksFor_, deadlineMs))
    return {NoAnswerError(), L"", FailureKind::NoAnswer};
  return answer;
}

SystemResult SimPlatform::UnprotectPassword(const std::wstring& value, std::wstring& password) {
  Record(L"UnprotectPassword");  // neither the value nor the password is traced
  if (value.rfind(L"sim:", 0) == 0) {
    // The value is 8-bit text of the station's file; what it stands for may be any
    // text, as a DPAPI blob's: it is read as UTF-8.
    password = DecodeUtf8(EncodeCp1252(value.substr(4)));
    return {};
  }
  if (value.rfind(L"moved:", 0) == 0)
    return {0x8009000B, L"Key not valid for use in specified state.", FailureKind::Other};
  return {13, L"The data is invalid.", FailureKind::Other};
}

SystemResult SimPlatform::ProbeFolderWritable(const std::wstring& folder) {
  Record(L"ProbeFolderWritable " + folder);
  if (folders_.count(Key(folder)) == 0) return PathNotFound();
  return failWrites_ ? AccessDenied() : SystemResult{};
}

bool SimPlatform::DrivesHiddenFromElevatedPrograms() {
  return drivesHiddenFromElevated_;
}

bool SimPlatform::IsLocalDisk(const std::wstring& drive) {
  return localDisks_.count(Key(drive)) != 0;
}

std::vector<std::wstring> SimPlatform::TraceStartingWith(const std::wstring& prefix) const {
  std::vector<std::wstring> lines;
  for (const std::wstring& line : trace_) {
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace vt::sim
