// The check's command line, shared by the native program (`vodu-tavisto --check`) and
// the Windows console companion (VoduTavistoCheck.exe): options, one line a finding on
// standard output, the count at the end, and an exit status a script can read.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "check/check_platform.h"

namespace vt {

// A station prefix given as a path, as the host knows one (the native host: a folder
// with dosdevices/ in it): the files the program run on it finds, and where a Windows
// path lies there.
struct StationPrefix {
  FileReader reader;
  std::function<std::wstring(const std::wstring& windowsPath)> hostPathOf;
};

// What a front end brings: the host, how it reads files, and its standard output.
struct CheckFrontEnd {
  Platform& platform;
  // Files as the program names them on this station.
  FileReader stationReader;
  // Files under a path given on the command line.
  FileReader pathReader;
  // Whether a path given on the command line is a folder, a file, or neither.
  std::function<bool(const std::wstring& path, bool& isFolder)> pathExists;
  std::function<void(const std::wstring& line)> say;
  std::wstring command;  // how the help names the command
  std::wstring name;     // what a finding that belongs to no file gives in the file's place
  // The station prefix a path names, if it names one; empty where the host has none.
  std::function<std::optional<StationPrefix>(const std::wstring& path)> prefixAt;
};

// `arguments` are those after the command; the result is the exit status: 2 with an
// error (or a bad command line), 1 with warnings and no error, 0 otherwise.
int RunCheckCommand(CheckFrontEnd& frontEnd, const std::vector<std::wstring>& arguments);

// The help, a few lines.
std::vector<std::wstring> CheckHelp(const std::wstring& command);

}  // namespace vt
