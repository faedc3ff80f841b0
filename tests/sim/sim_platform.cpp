#include "sim/sim_platform.h"

#include <algorithm>
#include <cstdio>

#include "app/text.h"
#include "platform/error.h"
#include "platform/posix/codepage.h"
#include "platform/posix/profile_text.h"

namespace vt::sim {

namespace {

const wchar_t* TimerName(TimerId id) {
  switch (id) {
    case TimerId::TimerStart:
      return L"TimerStart";
    case TimerId::TimerUpdate:
      return L"TimerUpdate";
    case TimerId::TimerWebBrowser:
      return L"TimerWebBrowser";
  }
  return L"?";
}

std::wstring RightTrimmedBlanks(const std::wstring& text) {
  const std::size_t last = text.find_last_not_of(L' ');
  return last == std::wstring::npos ? std::wstring() : text.substr(0, last + 1);
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

SimPlatform::SimPlatform() {
  connectAnswer_ = [](const ConnectCall&) -> std::uint32_t { return 1222; };  // no network
}

// --- the clock and running ---------------------------------------------------

SimPlatform::Timer& SimPlatform::TimerOf(TimerId id) {
  return timers_[static_cast<int>(id)];
}

const SimPlatform::Timer& SimPlatform::TimerOf(TimerId id) const {
  return timers_[static_cast<int>(id)];
}

bool SimPlatform::TimerEnabled(TimerId timer) const {
  return TimerOf(timer).enabled;
}

void SimPlatform::At(Millis at, std::function<void()> action) {
  actions_.push_back({at, nextOrder_++, std::move(action)});
}

bool SimPlatform::RunNextDue(Millis limit) {
  // The earliest of the scripted actions and the enabled timers; actions first on a tie.
  Millis best = Never;
  int timer = -1;
  std::size_t action = actions_.size();
  for (std::size_t i = 0; i < actions_.size(); ++i) {
    if (actions_[i].at < best || (actions_[i].at == best && action < actions_.size() &&
                                  actions_[i].order < actions_[action].order)) {
      best = actions_[i].at;
      action = i;
    }
  }
  for (int t = 0; t < 3; ++t) {
    if (timers_[t].enabled && timers_[t].due < best) {
      best = timers_[t].due;
      timer = t;
      action = actions_.size();
    }
  }
  if (best > limit || best == Never) return false;
  now_ = std::max(now_, best);
  if (timer >= 0) {
    // Like WM_TIMER: overdue ticks come as one, and the next is an interval from now.
    timers_[timer].due = now_ + timers_[timer].intervalMs;
    if (events_ != nullptr) events_->OnTimer(static_cast<TimerId>(timer));
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

void SimPlatform::RunUntil(Millis until) {
  RunCatchingEnd([&] {
    while (RunNextDue(until)) {
    }
  });
  if (!ended_) now_ = std::max(now_, until);
}

// --- the main window ---------------------------------------------------------

void SimPlatform::CreateMainWindow(const WindowProperties& properties, WindowEvents& events) {
  properties_ = properties;
  events_ = &events;
  for (const TimerSetting& timer : properties.timers)
    TimerOf(timer.id) = {timer.intervalMs, false, Never};
  listRect_ = properties.listRect;
  buttonRect_ = properties.buttonRect;
  // A frame of 120 twips each side and a caption of 450 around the client area.
  outer_ = {properties.clientSize.width + 240, properties.clientSize.height + 570};
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

int SimPlatform::ListCount() {
  return static_cast<int>(items_.size());
}

std::wstring SimPlatform::ListItem(int index) {
  if (index < 0 || index >= ListCount()) {
    throw PlatformFailure(L"LB_GETTEXT", L"item " + std::to_wstring(index));
  }
  return items_[static_cast<std::size_t>(index)];
}

void SimPlatform::ListSetItem(int index, const std::wstring& text) {
  if (index < 0 || index >= ListCount()) {
    throw PlatformFailure(L"LB_INSERTSTRING", L"item " + std::to_wstring(index));
  }
  items_[static_cast<std::size_t>(index)] = text;
}

void SimPlatform::EnableButton(bool enabled) {
  buttonEnabled_ = enabled;
  Record(std::wstring(L"EnableButton ") + (enabled ? L"on" : L"off"));
}

void SimPlatform::EnableTimer(TimerId id, bool enabled) {
  Timer& timer = TimerOf(id);
  if (enabled && !timer.enabled) timer.due = now_ + timer.intervalMs;
  timer.enabled = enabled;
  Record(std::wstring(L"EnableTimer ") + TimerName(id) + (enabled ? L" on" : L" off"));
}

void SimPlatform::DoEvents() {
  Record(L"DoEvents");
  while (RunNextDue(now_)) {
  }
}

void SimPlatform::ClickExit() {
  Record(buttonEnabled_ ? L"Click Exit" : L"Click Exit (disabled)");
  if (buttonEnabled_) events_->OnButtonClick();
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
  return control == ControlId::List1 ? listRect_ : buttonRect_;
}

void SimPlatform::MoveControl(ControlId control, const TwipsRect& rect) {
  (control == ControlId::List1 ? listRect_ : buttonRect_) = rect;
}

void SimPlatform::ReportUncaughtError(const std::wstring& message) {
  Record(L"ReportUncaughtError " + message);
  errors_.push_back(message);
}

void SimPlatform::EndProcess() {
  Record(L"EndProcess");
  ended_ = true;
  endedAt_ = now_;
  throw ProcessEnded{};
}

std::wstring SimPlatform::TimeOfDay() {
  // The virtual day starts at 08:00:00.
  const Millis seconds = 8 * 3600 + now_ / 1000;
  wchar_t text[16];
  std::swprintf(text, 16, L"%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600 % 24),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
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
  Record(std::wstring(L"GetWindow ") + (direction == StackDirection::Next ? L"next" : L"prev"));
  if (walkHook_) walkHook_(++walkSteps_);
  for (std::size_t i = 0; i < stack_.size(); ++i) {
    if (stack_[i].handle != window) continue;
    if (direction == StackDirection::Next) return i + 1 < stack_.size() ? stack_[i + 1].handle : 0;
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

WindowHandle SimPlatform::FindWindowByTitle(const std::wstring& title) {
  Record(L"FindWindow " + title);
  for (const TopLevelWindow& w : stack_) {
    if (UpperCase(w.title) == UpperCase(title)) return w.handle;
  }
  return 0;
}

// --- environment ---------------------------------------------------------------

void SimPlatform::SetEnvironment(const std::wstring& name, const std::wstring& value) {
  environment_[UpperCase(name)] = value;
}

std::size_t SimPlatform::EnvironmentVariable(const std::wstring& name, std::wstring& value,
                                             std::size_t capacity) {
  Record(L"EnvironmentVariable " + name);
  value.clear();
  auto found = environment_.find(UpperCase(name));
  if (found == environment_.end()) return 0;
  if (found->second.size() + 1 > capacity) return found->second.size() + 1;
  value = found->second;
  return value.size();
}

// --- profile files -------------------------------------------------------------

std::wstring SimPlatform::Key(const std::wstring& path) {
  return UpperCase(path);
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

std::size_t SimPlatform::ProfileGetString(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& defaultValue, std::wstring& value,
                                          std::size_t capacity, const std::wstring& file) {
  Record(L"ProfileGetString " + section + L" " + key + L" " + file);
  std::wstring found = RightTrimmedBlanks(defaultValue);
  if (auto content = File(file)) {
    if (auto stored = posix::FindProfileValue(*content, posix::EncodeCp1252(section),
                                              posix::EncodeCp1252(key))) {
      found = posix::DecodeCp1252(*stored);
    }
  }
  value = capacity == 0 ? std::wstring() : found.substr(0, capacity - 1);
  return value.size();
}

std::int32_t SimPlatform::ProfileGetInt(const std::wstring& section, const std::wstring& key,
                                        std::int32_t defaultValue, const std::wstring& file) {
  Record(L"ProfileGetInt " + section + L" " + key + L" " + file);
  if (auto content = File(file)) {
    if (auto stored = posix::FindProfileValue(*content, posix::EncodeCp1252(section),
                                              posix::EncodeCp1252(key))) {
      return posix::LeadingInteger(*stored);
    }
  }
  return defaultValue;
}

bool SimPlatform::ProfileWriteString(const std::wstring& section, const std::wstring& key,
                                     const std::wstring& value, const std::wstring& file) {
  Record(L"ProfileWriteString " + section + L" " + key + L" " + value + L" " + file);
  if (failWrites_ || folders_.count(Key(FolderOf(file))) == 0) return false;
  const std::string old = File(file).value_or(std::string());
  auto updated = posix::SetProfileValue(old, posix::EncodeCp1252(section), posix::EncodeCp1252(key),
                                        posix::EncodeCp1252(value));
  if (!updated) return false;
  files_[Key(file)] = *updated;
  return true;
}

// --- drives and connects -----------------------------------------------------

void SimPlatform::SetDrive(const std::wstring& root, DriveScript script) {
  drives_[UpperCase(root)] = std::move(script);
}

DriveListing SimPlatform::ListDriveRoot(const std::wstring& path) {
  Record(L"ListDriveRoot " + path);
  auto found = drives_.find(UpperCase(path));
  if (found == drives_.end()) return {ListingOutcome::Error, {}};
  now_ += found->second.blocksFor;  // blocks: no event runs meanwhile
  return found->second.listing;
}

void SimPlatform::SetConnect(std::function<std::uint32_t(const ConnectCall&)> answer,
                             Millis blocksFor) {
  connectAnswer_ = std::move(answer);
  connectBlocksFor_ = blocksFor;
}

std::uint32_t SimPlatform::AddConnection(const NetResource& resource, const std::wstring& password,
                                         const std::wstring& user, std::uint32_t flags) {
  // The password is not traced: nothing the program hands over may show it.
  Record(L"AddConnection " + resource.lpLocalName + L" " + resource.lpRemoteName);
  ConnectCall call{now_, resource, password, user, flags};
  if (keepRecords_) connects_.push_back(call);
  now_ += connectBlocksFor_;
  return connectAnswer_(call);
}

std::vector<std::wstring> SimPlatform::TraceStartingWith(const std::wstring& prefix) const {
  std::vector<std::wstring> lines;
  for (const std::wstring& line : trace_) {
    if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
  }
  return lines;
}

}  // namespace vt::sim
