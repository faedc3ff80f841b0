// What a check of the station asks of Windows beyond what the program itself needs.
#include <optional>

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

namespace {

// A DWORD of HKLM in the 64-bit view (the one that counts on 64-bit Windows, whichever
// build reads it; 32-bit Windows ignores the flag); none when it is not there.
std::optional<DWORD> MachinePolicy(const wchar_t* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof value;
  const LONG read =
      ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  ::RegCloseKey(key);
  if (read != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
  return value;
}

}  // namespace

// User Account Control exists from Windows Vista (6.0) on and is on unless EnableLUA is
// 0; its filtered and elevated tokens share drive mappings only with
// EnableLinkedConnections 1.
bool Win32Platform::DrivesHiddenFromElevatedPrograms() {
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  if (!::GetVersionExW(&version) || version.dwMajorVersion < 6) return false;
  if (MachinePolicy(L"EnableLUA").value_or(1) == 0) return false;
  return MachinePolicy(L"EnableLinkedConnections").value_or(0) != 1;
}

}  // namespace vt::win32
