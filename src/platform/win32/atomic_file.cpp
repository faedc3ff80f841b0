// Files written whole: a temporary beside the file, flushed, moved over it.
#include "platform/win32/win32_platform.h"

namespace vt::win32 {

namespace {

// A reader that holds the file open without delete sharing (windows_exporter does while
// it reads) makes the move fail for a moment: it is tried again this often, this far
// apart, and then left for the next time, never written in place.
constexpr int MoveTries = 4;
constexpr DWORD MovePauseMs = 150;

bool Busy(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

std::wstring FolderOf(const std::wstring& file) {
  const std::size_t slash = file.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring(L".") : file.substr(0, slash);
}

// Writes `bytes` to the new file `path` and flushes them to the disk.
SystemResult WriteFlushed(const std::wstring& path, const std::string& bytes) {
  const File handle(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.valid()) return LastFailure();
  DWORD written = 0;
  if (!::WriteFile(handle.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
    return LastFailure();
  }
  if (written < bytes.size()) return FailureOf(ERROR_DISK_FULL);
  if (!::FlushFileBuffers(handle.get())) return LastFailure();
  return {};
}

// Moves the temporary over the file, waiting out a reader that holds it a moment.
SystemResult MoveOver(const wchar_t* temporary, const std::wstring& file) {
  for (int attempt = 1;; ++attempt) {
    if (::MoveFileExW(temporary, file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return {};
    const DWORD error = ::GetLastError();
    if (!Busy(error) || attempt == MoveTries) return FailureOf(error);
    ::Sleep(MovePauseMs);
  }
}

}  // namespace

SystemResult Win32Platform::WriteWholeFile(const std::wstring& file, const std::string& bytes) {
  // The temporary is "vtXXXX.tmp" in the same folder, so the move stays on one volume;
  // its name never ends in the file's own extension.
  wchar_t temporary[MAX_PATH + 1] = {};
  if (::GetTempFileNameW(FolderOf(file).c_str(), L"vt", 0, temporary) == 0) return LastFailure();
  SystemResult result = WriteFlushed(temporary, bytes);
  if (result.Succeeded()) result = MoveOver(temporary, file);
  if (!result.Succeeded()) ::DeleteFileW(temporary);
  return result;
}

}  // namespace vt::win32
