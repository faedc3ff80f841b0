// What a check of the station asks of Windows beyond what the program itself needs.
#include "platform/win32/win32_platform.h"

namespace vt::win32 {

SystemResult Win32Platform::ProbeFolderWritable(const std::wstring& folder) {
  const DWORD attributes = ::GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return LastFailure();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return FailureOf(ERROR_DIRECTORY);
  // A file that the system removes when its handle closes, so nothing is left behind.
  const std::wstring probe = folder + (folder.empty() || folder.back() == L'\\' ? L"" : L"\\") +
                             L"~VoduTavistoProbe" + std::to_wstring(::GetCurrentProcessId()) +
                             L".tmp";
  const File file(::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  if (!file.valid()) return LastFailure();
  return {};
}

bool Win32Platform::IsLocalDisk(const std::wstring& drive) {
  switch (::GetDriveTypeW((drive + L":\\").c_str())) {
    case DRIVE_FIXED:
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
      return true;
    default:  // a network drive, none, or a name that is no drive
      return false;
  }
}

}  // namespace vt::win32
