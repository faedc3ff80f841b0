#include "check/check_platform.h"

#include "platform/error.h"
#include "portable/case_fold.h"

namespace vt {

namespace {

// A check makes no window, writes nothing and reaches no share: the loading code never
// asks for these, and a change that made it ask would be stopped here.
[[noreturn]] void NotInACheck(const wchar_t* operation) {
  throw ProgramError(L"Not in a check", operation);
}

SystemResult NothingWritten() {
  return {5, L"A check writes nothing.", FailureKind::Other};
}

std::pair<std::wstring, std::wstring> NameKey(const std::wstring& section,
                                              const std::wstring& key) {
  return {UpperCaseText(section), UpperCaseText(key)};
}

}  // namespace

CheckPlatform::CheckPlatform(Platform& host, FileReader reader, std::optional<std::wstring> visuDir)
    : host_(host), reader_(std::move(reader)), visuDir_(std::move(visuDir)) {}

const StationFile& CheckPlatform::File(const std::wstring& path) {
  std::unique_ptr<StationFile>& file = files_[UpperCaseText(path)];
  if (!file) {
    file = std::make_unique<StationFile>();
    file->path = path;
    file->content = reader_(path);
    file->decoded = DecodeProfileFile(file->content.bytes);
    file->document = ProfileDocument(file->decoded.text, file->decoded.encoding);
    std::set<std::wstring> sections;
    bool first = false;  // the entries are in the first section of their name
    std::wstring section;
    for (const ProfileDocument::Entry& entry : file->document.Entries()) {
      if (!entry.key) {
        section = UpperCaseText(entry.section);
        first = sections.insert(section).second;
      } else if (first) {
        file->keys.emplace(std::make_pair(section, UpperCaseText(*entry.key)),
                           StationFile::KeyLine{entry.line, entry.value});
      }
    }
  }
  return *file;
}

const StationFile::KeyLine* StationFile::Find(const std::wstring& section,
                                              const std::wstring& key) const {
  const auto found = keys.find(NameKey(section, key));
  return found != keys.end() ? &found->second : nullptr;
}

void CheckPlatform::Override(const std::wstring& section, const std::wstring& key,
                             const std::wstring& value) {
  overrides_[NameKey(section, key)] = value;
}

namespace {

// Adds `name` to `asked` once, in any letter case.
void Ask(CheckPlatform::KeysAsked& asked, const std::wstring& name) {
  std::wstring upper = UpperCaseText(name);
  if (!asked.lookup.insert(upper).second) return;
  asked.names.push_back(name);
  asked.upper.push_back(std::move(upper));
}

}  // namespace

void CheckPlatform::Record(const std::wstring& file, const std::wstring& section,
                           const std::wstring& key) {
  const std::wstring upperFile = UpperCaseText(file);
  Ask(asked_[upperFile][UpperCaseText(section)], key);
  Ask(sectionsAsked_[upperFile], section);
}

const CheckPlatform::KeysAsked* CheckPlatform::KeysRead(const StationFile& file,
                                                        const std::wstring& section) const {
  const auto inFile = asked_.find(UpperCaseText(file.path));
  if (inFile == asked_.end()) return nullptr;
  const auto inSection = inFile->second.find(UpperCaseText(section));
  return inSection != inFile->second.end() ? &inSection->second : nullptr;
}

const CheckPlatform::KeysAsked* CheckPlatform::SectionsRead(const StationFile& file) const {
  const auto found = sectionsAsked_.find(UpperCaseText(file.path));
  return found != sectionsAsked_.end() ? &found->second : nullptr;
}

std::wstring CheckPlatform::ProfileString(const std::wstring& section, const std::wstring& key,
                                          const std::wstring& file, std::size_t maxLength) {
  Record(file, section, key);
  const auto overridden = overrides_.find(NameKey(section, key));
  if (overridden != overrides_.end()) return overridden->second.substr(0, maxLength);
  const StationFile::KeyLine* found = File(file).Find(section, key);
  return found != nullptr ? found->value.substr(0, maxLength) : std::wstring();
}

std::int32_t CheckPlatform::ProfileInt(const std::wstring& section, const std::wstring& key,
                                       std::int32_t defaultValue, const std::wstring& file) {
  Record(file, section, key);
  const auto overridden = overrides_.find(NameKey(section, key));
  const StationFile::KeyLine* found = File(file).Find(section, key);
  if (overridden == overrides_.end() && found == nullptr) return defaultValue;
  return ProfileInteger(overridden != overrides_.end() ? overridden->second : found->value)
      .value_or(defaultValue);
}

EnvironmentLookup CheckPlatform::EnvironmentVariable(const std::wstring& name,
                                                     std::size_t maxLength) {
  if (!visuDir_) return host_.EnvironmentVariable(name, maxLength);
  // Files checked away from their station know only their own folder.
  const bool isVisuDir = UpperCaseText(name) == L"VISUDIR";
  return EnvironmentLookup::Of(isVisuDir && !visuDir_->empty() ? &*visuDir_ : nullptr, maxLength);
}

std::wstring CheckPlatform::UpperCase(const std::wstring& text) {
  return host_.UpperCase(text);
}

SystemResult CheckPlatform::UnprotectPassword(const std::wstring& value, std::wstring& password) {
  return host_.UnprotectPassword(value, password);
}

SystemResult CheckPlatform::ProbeFolderWritable(const std::wstring& folder) {
  return host_.ProbeFolderWritable(folder);
}

bool CheckPlatform::IsLocalDisk(const std::wstring& drive) {
  return host_.IsLocalDisk(drive);
}

bool CheckPlatform::DrivesHiddenFromElevatedPrograms() {
  return host_.DrivesHiddenFromElevatedPrograms();
}

std::optional<std::uint64_t> CheckPlatform::FileSize(const std::wstring& file) {
  return host_.FileSize(file);
}

std::wstring CheckPlatform::LocalDateTime() {
  return host_.LocalDateTime();
}

std::wstring CheckPlatform::TimeOfDay() {
  return host_.TimeOfDay();
}

std::int64_t CheckPlatform::UnixTimeMs() {
  return host_.UnixTimeMs();
}

std::int64_t CheckPlatform::ElapsedMs() {
  return host_.ElapsedMs();
}

std::uint32_t CheckPlatform::NoAnswerError() {
  return host_.NoAnswerError();
}

std::int32_t CheckPlatform::ShortestListingIntervalSeconds() {
  return host_.ShortestListingIntervalSeconds();
}

SystemResult CheckPlatform::ProfileWrite(const std::wstring&, const std::wstring&,
                                         const std::wstring&, const std::wstring&) {
  return NothingWritten();
}

SystemResult CheckPlatform::CommitProfileWrites() {
  return {};
}

SystemResult CheckPlatform::AppendToFile(const std::wstring&, const std::wstring&) {
  return NothingWritten();
}

SystemResult CheckPlatform::RenameFile(const std::wstring&, const std::wstring&) {
  return NothingWritten();
}

SystemResult CheckPlatform::WriteWholeFile(const std::wstring&, const std::string&) {
  return NothingWritten();
}

SystemResult CheckPlatform::WriteEventLogEntry(EventType, std::uint32_t,
                                               const std::vector<std::wstring>&) {
  return NothingWritten();
}

void CheckPlatform::CreateMainWindow(const WindowProperties&, WindowEvents&) {
  NotInACheck(L"CreateMainWindow");
}
void CheckPlatform::ShowMainWindow() {
  NotInACheck(L"ShowMainWindow");
}
WindowHandle CheckPlatform::MainWindowHandle() {
  return 0;
}
void CheckPlatform::ListAddItem(const std::wstring&) {
  NotInACheck(L"ListAddItem");
}
std::wstring CheckPlatform::ListItem(int) {
  NotInACheck(L"ListItem");
}
void CheckPlatform::ListSetItem(int, const std::wstring&) {
  NotInACheck(L"ListSetItem");
}
void CheckPlatform::EnableExitButton(bool) {
  NotInACheck(L"EnableExitButton");
}
void CheckPlatform::EnableTimer(TimerId, bool) {
  NotInACheck(L"EnableTimer");
}
void CheckPlatform::DoEvents() {}
TwipsSize CheckPlatform::OuterSize() {
  NotInACheck(L"OuterSize");
}
TwipsSize CheckPlatform::ControlSize(ControlId) {
  NotInACheck(L"ControlSize");
}
void CheckPlatform::MoveControl(ControlId, const TwipsRect&) {
  NotInACheck(L"MoveControl");
}
WindowHandle CheckPlatform::AdjacentWindow(WindowHandle, StackDirection) {
  return 0;
}
std::wstring CheckPlatform::WindowTitle(WindowHandle, int) {
  return {};
}
WindowSearch CheckPlatform::FindWindowByTitle(const std::wstring&) {
  return {};
}
void CheckPlatform::EndProcess() {
  NotInACheck(L"EndProcess");
}
void CheckPlatform::ReportUncaughtError(const std::wstring&) {}
DriveRoot CheckPlatform::ListDriveRoot(const std::wstring&, std::int64_t) {
  NotInACheck(L"ListDriveRoot");
}
SystemResult CheckPlatform::WatchNetworkAndPower() {
  NotInACheck(L"WatchNetworkAndPower");
}
SystemResult CheckPlatform::ConnectShare(const std::wstring&, const std::wstring&,
                                         const std::wstring&, const std::wstring&, std::int64_t) {
  NotInACheck(L"ConnectShare");
}

}  // namespace vt
