#include <cstring>

#include "platform/win32/win32_platform.h"

namespace vt::win32 {

namespace {

// Owns a search handle of FindFirstFileA and closes it on every path.
class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (valid()) ::FindClose(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool Counts(const WIN32_FIND_DATAA& entry) {
  if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0)
    return false;
  return (entry.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool MeansEmpty(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
}

}  // namespace

DriveListing Win32Platform::ListDriveRoot(const std::wstring& path) {
  WIN32_FIND_DATAA entry{};
  FindHandle search(::FindFirstFileA((Narrow(path) + "*").c_str(), &entry));
  if (!search.valid()) {
    return {MeansEmpty(::GetLastError()) ? ListingOutcome::Empty : ListingOutcome::Error, {}};
  }
  do {
    if (Counts(entry)) return {ListingOutcome::Entry, Widen(entry.cFileName)};
  } while (::FindNextFileA(search.get(), &entry));
  return {MeansEmpty(::GetLastError()) ? ListingOutcome::Empty : ListingOutcome::Error, {}};
}

}  // namespace vt::win32
