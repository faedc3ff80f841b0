// The declarations of every Platform operation, for the body of a realisation's class:
//   class PosixPlatform final : public Platform {
//    public:
//   #include "platform/platform_overrides.h"
//   };
// so the list is written once, beside the interface it realises. No include guard: it
// is meant to be included once in each realisation.
void CreateMainWindow(const WindowProperties& properties, WindowEvents& events) override;
void ShowMainWindow() override;
WindowHandle MainWindowHandle() override;
void ListAddItem(const std::wstring& text) override;
std::wstring ListItem(int index) override;
void ListSetItem(int index, const std::wstring& text) override;
void EnableExitButton(bool enabled) override;
void EnableTimer(TimerId timer, bool enabled) override;
void DoEvents() override;
TwipsSize OuterSize() override;
TwipsSize ControlSize(ControlId control) override;
void MoveControl(ControlId control, const TwipsRect& rect) override;
WindowHandle AdjacentWindow(WindowHandle window, StackDirection direction) override;
std::wstring WindowTitle(WindowHandle window, int capacity) override;
WindowSearch FindWindowByTitle(const std::wstring& title) override;
[[noreturn]] void EndProcess() override;
void ReportUncaughtError(const std::wstring& message) override;
std::wstring TimeOfDay() override;
std::wstring LocalDateTime() override;
std::int64_t UnixTimeMs() override;
std::int64_t ElapsedMs() override;
std::wstring UpperCase(const std::wstring& text) override;
EnvironmentLookup EnvironmentVariable(const std::wstring& name, std::size_t maxLength) override;
std::wstring ProfileString(const std::wstring& section, const std::wstring& key,
                           const std::wstring& file, std::size_t maxLength) override;
std::int32_t ProfileInt(const std::wstring& section, const std::wstring& key,
                        std::int32_t defaultValue, const std::wstring& file) override;
SystemResult ProfileWrite(const std::wstring& section, const std::wstring& key,
                          const std::wstring& value, const std::wstring& file) override;
SystemResult CommitProfileWrites() override;
std::optional<std::uint64_t> FileSize(const std::wstring& file) override;
SystemResult AppendToFile(const std::wstring& file, const std::wstring& text) override;
SystemResult RenameFile(const std::wstring& from, const std::wstring& to) override;
SystemResult WriteWholeFile(const std::wstring& file, const std::string& bytes) override;
DriveRoot ListDriveRoot(const std::wstring& drive, std::int64_t deadlineMs) override;
std::int32_t ShortestListingIntervalSeconds() override;
std::uint32_t NoAnswerError() override;
SystemResult UnprotectPassword(const std::wstring& value, std::wstring& password) override;
SystemResult WatchNetworkAndPower() override;
SystemResult WriteEventLogEntry(EventType type, std::uint32_t eventId,
                                const std::vector<std::wstring>& strings) override;
SystemResult ConnectShare(const std::wstring& drive, const std::wstring& share,
                          const std::wstring& user, const std::wstring& password,
                          std::int64_t deadlineMs) override;
SystemResult ProbeFolderWritable(const std::wstring& folder) override;
bool IsLocalDisk(const std::wstring& drive) override;
bool DrivesHiddenFromElevatedPrograms() override;
