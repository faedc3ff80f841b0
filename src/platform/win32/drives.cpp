#include <cstring>

#include "platform/win32/win32_platform.h"

namespace vt::win32 {

namespace {

bool Counts(const WIN32_FIND_DATAA& entry) {
  if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0)
    return false;
  return (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

DriveRoot AfterLastEntry(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES ? DriveRoot::Empty
                                                                       : DriveRoot::Unreadable;
}

// The listing itself, on a call's own thread: it may wait for the SMB client's timeouts.
DriveRoot ListRoot(const std::string& pattern) {
  WIN32_FIND_DATAA entry{};
  const FindHandle search(::FindFirstFileA(pattern.c_str(), &entry));
  if (!search.valid()) return AfterLastEntry(::GetLastError());
  do {
    if (Counts(entry)) return DriveRoot::HasEntry;
  } while (::FindNextFileA(search.get(), &entry));
  return AfterLastEntry(::GetLastError());
}

}  // namespace

DriveRoot Win32Platform::ListDriveRoot(const std::wstring& drive, std::int64_t deadlineMs) {
  const std::optional<ShareCalls::Answer> answer =
      RunShareCall(drive, deadlineMs, [pattern = Narrow(drive) + ":\\*"]() -> ShareCalls::Answer {
        return {ListRoot(pattern), {}};
      });
  return answer ? answer->root : DriveRoot::NoAnswer;
}

std::uint32_t Win32Platform::NoAnswerError() {
  return ERROR_SEM_TIMEOUT;
}

std::int32_t Win32Platform::ShortestListingIntervalSeconds() {
  // The redirector's directory cache (DirectoryCacheLifetime, 10 s by default) and a
  // margin for the tick that finds it expired.
  return 15;
}

}  // namespace vt::win32
