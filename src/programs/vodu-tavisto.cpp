// The program on a POSIX host: drives and shares under $WINEPREFIX/dosdevices, the log
// on standard output, SIGINT, SIGTERM and SIGHUP as the window's teardown. With
// --check it checks a station's files instead (check/check_command.h).
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "check/check_command.h"
#include "platform/error.h"
#include "platform/posix/host/log_output.h"
#include "platform/posix/host/posix_platform.h"
#include "platform/posix/profile/file_reading.h"
#include "platform/posix/station/paths.h"
#include "platform/posix/station/process.h"
#include "platform/posix/system/system_error.h"
#include "portable/codepage.h"
#include "portable/utf8.h"

namespace {

using namespace vt::posix;

// Names on the host are 8-bit and taken byte for byte, as the program takes them.
std::wstring Wide(const char* text) {
  return vt::DecodeCp1252(text);
}

vt::FileContent ReadHostFile(const std::string& path) {
  vt::FileContent content;
  content.shownAs = Wide(path.c_str());
  if (path.empty()) return content;
  const FileRead read = ReadWholeFile(path, false);
  content.exists = read.exists;
  if (read.exists && read.error != 0) content.failure = ErrnoResult(read.error);
  content.bytes = read.bytes;
  return content;
}

// `path` with "." and ".." taken out by the text alone ("a/b/../c" is "a/c").
std::string Lexical(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at <= path.size()) {
    std::size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(at, end - at);
    if (part == ".." && !parts.empty() && parts.back() != ".." && !parts.back().empty()) {
      parts.pop_back();
    } else if (part != "." && !(part.empty() && !parts.empty())) {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) joined += (i > 0 ? "/" : "") + parts[i];
  return joined;
}

// A station prefix's file as a station engineer names it: through the drive's own
// folder ("station/drive_c/...") rather than its link ("station/dosdevices/c:/...").
std::string ShownPath(const std::string& prefix, const std::string& path) {
  const std::string drives = prefix + "/dosdevices/";
  if (path.compare(0, drives.size(), drives) != 0) return path;
  const std::size_t driveEnd = path.find('/', drives.size());
  const std::string target = LinkTarget(path.substr(0, driveEnd));
  if (target.empty() || target[0] == '/') return path;
  return Lexical(drives + target + (driveEnd == std::string::npos ? "" : path.substr(driveEnd)));
}

// A folder with dosdevices/ in it is a station prefix: its files are those the program
// run with WINEPREFIX set to it finds.
std::optional<vt::StationPrefix> PrefixAt(const std::wstring& path) {
  const std::string prefix = MapHostPath(path);
  struct stat info {};
  if (::stat((prefix + "/dosdevices").c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
    return std::nullopt;
  const auto hostPathOf = [prefix](const std::wstring& windowsPath) {
    return ShownPath(prefix, MapWindowsPath(prefix, windowsPath).value_or(std::string()));
  };
  return vt::StationPrefix{[prefix, hostPathOf](const std::wstring& windowsPath) {
                             vt::FileContent content = ReadHostFile(
                                 MapWindowsPath(prefix, windowsPath).value_or(std::string()));
                             content.shownAs = Wide(hostPathOf(windowsPath).c_str());
                             return content;
                           },
                           [hostPathOf](const std::wstring& windowsPath) {
                             return Wide(hostPathOf(windowsPath).c_str());
                           }};
}

int Check(const std::vector<std::wstring>& arguments) {
  const std::string prefix = DefaultWinePrefix();
  PosixPlatform platform(prefix, false);
  vt::CheckFrontEnd frontEnd{
      platform,
      [&prefix](const std::wstring& path) {
        return ReadHostFile(MapWindowsPath(prefix, path).value_or(std::string()));
      },
      [](const std::wstring& path) { return ReadHostFile(MapHostPath(path)); },
      [](const std::wstring& path, bool& isFolder) {
        struct stat info {};
        if (::stat(MapHostPath(path).c_str(), &info) != 0) return false;
        isFolder = S_ISDIR(info.st_mode);
        return true;
      },
      // Standard output is UTF-8, as a terminal, a journal or a CI log reads it.
      [](const std::wstring& line) {
        const std::string text = vt::EncodeUtf8(line) + "\n";
        if (::write(STDOUT_FILENO, text.data(), text.size()) < 0) return;
      },
      L"vodu-tavisto --check", L"vodu-tavisto", PrefixAt};
  return vt::RunCheckCommand(frontEnd, arguments);
}

// A command line the program does not understand: exit status 2, as the check's.
int BadCommandLine(const std::string& problem) {
  SayOnStandardError(problem + " (vodu-tavisto --help says more)");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  OpenStandardDescriptors();
  // Started by a session's autostart entry, which every user's login runs: a user who
  // has no station folder has nothing to keep connected.
  const bool autostart = argc == 2 && std::strcmp(argv[1], "--autostart") == 0;
  if (argc > 1 && !autostart) {
    if (std::strcmp(argv[1], "--check") == 0) {
      std::vector<std::wstring> arguments;
      for (int i = 2; i < argc; ++i) arguments.push_back(Wide(argv[i]));
      return Check(arguments);
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
      const std::string help =
          "Usage: vodu-tavisto            keeps the station's shares connected (see "
          "vodu-tavisto(8))\n"
          "       vodu-tavisto --autostart  the same, started by a session: a user without a\n"
          "                                 station folder ends at once with status 0\n"
          "       vodu-tavisto --check [--show] [PATH...]\n";
      if (::write(STDOUT_FILENO, help.data(), help.size()) < 0) return 1;
      return 0;
    }
    return BadCommandLine(std::string("vodu-tavisto: unknown option ") + argv[1]);
  }
  try {
    InstallTeardownSignals();
  } catch (const vt::ProgramError& error) {
    SayOnStandardError(error.what());
    return 1;
  }
  const std::string prefix = DefaultWinePrefix();
  if (const std::optional<std::string> problem = StationFolderProblem(prefix)) {
    SayOnStandardError(*problem + (autostart ? "; nothing to do for this user" : ""));
    return autostart ? 0 : 1;
  }
  const StationLock lock = LockStation(prefix);
  if (!lock.held && lock.problem.empty()) {
    // As a second copy on Windows does: the copy that runs goes on alone.
    SayOnStandardError(
        "another copy" +
        (lock.holder > 0 ? " (process " + std::to_string(lock.holder) + ")" : std::string()) +
        " runs on the station " + prefix + "; this one ends");
    return 0;
  }
  if (!lock.held) SayOnStandardError(lock.problem + "; running without the one-copy guard");
  PosixPlatform platform(prefix);
  vt::MainWindow window(platform);
  vt::Launch(window);
  platform.RunEventLoop();
}
