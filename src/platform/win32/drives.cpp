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

}  // namespace

DriveRoot Win32Platform::ListDriveRoot(const std::wstring& drive) {
  WIN32_FIND_DATAA entry{};
  const FindHandle search(::FindFirstFileA((Narrow(drive) + ":\\*").c_str(), &entry));
  if (!search.valid()) return AfterLastEntry(::GetLastError());
  do {
    if (Counts(entry)) return DriveRoot::HasEntry;
  } while (::FindNextFileA(search.get(), &entry));
  return AfterLastEntry(::GetLastError());
}

}  // namespace vt::win32
