// The text files the program appends to (its log file).
#include "platform/win32/win32_platform.h"

namespace vt::win32 {

std::optional<std::uint64_t> Win32Platform::FileSize(const std::wstring& file) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

SystemResult Win32Platform::AppendToFile(const std::wstring& file, const std::wstring& text) {
  const File handle(::CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return LastFailure();
  const std::string bytes = Narrow(text);
  DWORD written = 0;
  if (!::WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
    return LastFailure();
  }
  if (written < bytes.size()) return FailureOf(ERROR_DISK_FULL);
  return {};
}

SystemResult Win32Platform::RenameFile(const std::wstring& from, const std::wstring& to) {
  if (!::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return LastFailure();
  return {};
}

}  // namespace vt::win32
