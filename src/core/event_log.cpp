#include "core/event_log.h"

namespace vt {

namespace {

void ShowLine(Platform& platform, const std::wstring& message) {
  for (int k = LogLineCount - 1; k >= 1; --k) platform.ListSetItem(k, platform.ListItem(k - 1));
  platform.ListSetItem(0, platform.TimeOfDay() + L" " + message);
}

// A log file that cannot be written never stops the program: the list says so once,
// and the file is tried again with the next line.
void ShowFaultOnce(Platform& platform, LogFileState& log, const SystemResult& result) {
  if (log.FaultShown) return;
  log.FaultShown = true;
  ShowLine(platform, L"Fault by log file: " + log.Path + L": " + result.reason);
}

// Appends one dated line. When the file would grow past its size it is renamed to
// the same name with ".1" (replacing the older one) and a new file is started.
void AppendToLogFile(Platform& platform, LogFileState& log, const std::wstring& line) {
  const std::wstring text = line + L"\r\n";
  const std::optional<std::uint64_t> size = platform.FileSize(log.Path);
  if (size && *size > 0 && *size + text.size() > log.MaxBytes) {
    const SystemResult rotated = platform.RenameFile(log.Path, log.Path + L".1");
    if (!rotated.Succeeded()) {
      ShowFaultOnce(platform, log, rotated);
      return;
    }
  }
  const SystemResult appended = platform.AppendToFile(log.Path, text);
  if (!appended.Succeeded()) ShowFaultOnce(platform, log, appended);
}

void WriteLogFileLine(Platform& platform, LogFileState& log, const std::wstring& line) {
  if (!log.Configured) {
    if (log.Early.size() < LogLineCount) log.Early.push_back(line);
    return;
  }
  if (!log.Path.empty()) AppendToLogFile(platform, log, line);
}

}  // namespace

void CreateLogLines(Platform& platform) {
  for (int k = 0; k < LogLineCount; ++k) platform.ListAddItem(std::wstring());
}

void LogMessage(Platform& platform, AppState& state, const std::wstring& message) {
  ShowLine(platform, message);
  WriteLogFileLine(platform, state.LogFile, platform.LocalDateTime() + L" " + message);
  platform.DoEvents();
}

void ConfigureLogFile(Platform& platform, AppState& state, const std::wstring& path,
                      std::uint64_t maxBytes) {
  LogFileState& log = state.LogFile;
  log.Path = path;
  log.MaxBytes = maxBytes;
  log.Configured = true;
  for (const std::wstring& line : log.Early) WriteLogFileLine(platform, log, line);
  log.Early.clear();
}

}  // namespace vt
