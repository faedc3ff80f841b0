// Checking a station's files before they go out: what the program will make of them,
// found by running its own loading code on them, and what only a checker sees (line
// numbers, keys that nobody reads, keys given twice, the text's encoding).
#pragma once

#include <string>
#include <vector>

#include "check/check_platform.h"
#include "check/findings.h"

namespace vt {

struct StationToCheck {
  // A folder of station files (what VisuDir names on the station: Parameter\Program.ini
  // and Documentation\Documentation_Customer.cfg inside), or a customer file alone.
  // Both empty: the station as the program finds it (the environment, VisuDir), with the
  // checks that need the station itself; with `prefix`, the files of a station prefix
  // found so, without those checks.
  std::wstring folder;
  std::wstring customerFile;
  bool prefix = false;
  bool OnStation() const { return folder.empty() && customerFile.empty() && !prefix; }
  // Whether VisuDir and the other directory variables come from the environment.
  bool FromEnvironment() const { return folder.empty() && customerFile.empty(); }
};

struct CheckReport {
  std::vector<Finding> findings;
  // The configuration as the program would use it, one line each.
  std::vector<std::wstring> effective;
  std::wstring visuDir;  // the station folder as the program names it
};

// Never writes, never reaches a share, never shows a password (not even part of one).
CheckReport CheckStation(Platform& host, const FileReader& reader, const StationToCheck& station);

}  // namespace vt
