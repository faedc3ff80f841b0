// VoduTavistoCheck: checks a station's files as the program reads them, before they go
// out; a console program that a script or a pipeline can wait for and read.
//
//   VoduTavistoCheck.exe [--show] [PATH...]
//
// One finding a line on standard output (UTF-16 to a console, UTF-8 to a pipe or a
// file), the counts last; exit status 2 with an error, 1 with warnings, 0 otherwise.
#include "check/check_command.h"
#include "platform/win32/win32_platform.h"
#include "portable/utf8.h"

namespace {

using namespace vt::win32;

vt::FileContent ReadFileWhole(const std::wstring& path) {
  vt::FileContent content;
  content.shownAs = path;
  const File file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    content.exists = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    content.failure = FailureOf(error);
    return content;
  }
  content.exists = true;
  char buffer[65536];
  for (;;) {
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) {
      content.failure = LastFailure();
      break;
    }
    if (read == 0) break;
    content.bytes.append(buffer, read);
  }
  return content;
}

void Say(const std::wstring& line) {
  const HANDLE output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  const std::wstring text = line + L"\r\n";
  if (::WriteConsoleW(output, text.c_str(), static_cast<DWORD>(text.size()), &written, nullptr))
    return;
  const std::string bytes = vt::EncodeUtf8(text);
  ::WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  Win32Platform platform(::GetModuleHandleW(nullptr));
  vt::CheckFrontEnd frontEnd{platform,
                             ReadFileWhole,
                             ReadFileWhole,
                             [](const std::wstring& path, bool& isFolder) {
                               const DWORD attributes = ::GetFileAttributesW(path.c_str());
                               if (attributes == INVALID_FILE_ATTRIBUTES) return false;
                               isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                               return true;
                             },
                             Say,
                             L"VoduTavistoCheck.exe",
                             L"VoduTavistoCheck",
                             {}};
  return vt::RunCheckCommand(frontEnd, std::vector<std::wstring>(argv + 1, argv + argc));
}
