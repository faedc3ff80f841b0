#include "check/check_command.h"

#include "check/station_check.h"

namespace vt {

namespace {

constexpr int BadCommandLine = 2;

}  // namespace

std::vector<std::wstring> CheckHelp(const std::wstring& command) {
  return {
      L"Usage: " + command + L" [--show] [PATH...]",
      L"Checks a station's files as the program reads them, before they go out.",
      L"  without PATH  the station as the program finds it (environment, VisuDir), with",
      L"                what only the station can tell (protected passwords, writable folders,",
      L"                drive letters that are local disks)",
      L"  PATH          a station folder (Parameter\\Program.ini and",
      L"                Documentation\\Documentation_Customer.cfg inside), a customer file, or",
      L"                where the host has them a station prefix (a Wine prefix: the files",
      L"                found as the program run with WINEPREFIX set to it finds them);",
      L"                many paths check many stations",
      L"  --show        also the configuration as the program would use it (no password)",
      L"  --help        this text",
      L"One finding a line, FILE:LINE: error|warning|note: TEXT, then the counts.",
      L"Exit status: 2 errors (or a file that cannot be read), 1 warnings, 0 otherwise.",
  };
}

int RunCheckCommand(CheckFrontEnd& frontEnd, const std::vector<std::wstring>& arguments) {
  bool show = false;
  bool optionsEnd = false;
  std::vector<std::wstring> paths;
  for (const std::wstring& argument : arguments) {
    if (optionsEnd || argument.empty() || argument[0] != L'-') {
      paths.push_back(argument);
    } else if (argument == L"--") {
      optionsEnd = true;
    } else if (argument == L"--show") {
      show = true;
    } else if (argument == L"--help" || argument == L"-h") {
      for (const std::wstring& line : CheckHelp(frontEnd.command)) frontEnd.say(line);
      return 0;
    } else {
      frontEnd.say(frontEnd.command + L": unknown option " + argument + L" (--help says more)");
      return BadCommandLine;
    }
  }
  std::vector<Finding> findings;
  const auto checkOne = [&](const StationToCheck& station, const FileReader& reader,
                            const std::wstring& name, const StationPrefix* prefix) {
    CheckReport report = CheckStation(frontEnd.platform, reader, station);
    if (show) {
      frontEnd.say(L"# " + name);
      if (prefix != nullptr) {
        frontEnd.say(L"  a station prefix: its station folder " + report.visuDir + L" is " +
                     prefix->hostPathOf(report.visuDir));
      }
      for (const std::wstring& line : report.effective) frontEnd.say(L"  " + line);
    }
    for (const Finding& finding : report.findings)
      frontEnd.say(FindingLine(finding, frontEnd.name));
    findings.insert(findings.end(), report.findings.begin(), report.findings.end());
  };
  if (paths.empty()) checkOne({}, frontEnd.stationReader, L"this station", nullptr);
  for (const std::wstring& path : paths) {
    bool isFolder = false;
    if (!frontEnd.pathExists(path, isFolder)) {
      const Finding missing{path, 0, Severity::Error, L"no such file or folder"};
      frontEnd.say(FindingLine(missing, frontEnd.name));
      findings.push_back(missing);
      continue;
    }
    const std::optional<StationPrefix> prefix =
        isFolder && frontEnd.prefixAt ? frontEnd.prefixAt(path) : std::nullopt;
    StationToCheck station;
    if (prefix) {
      station.prefix = true;
      checkOne(station, prefix->reader, path, &*prefix);
      continue;
    }
    (isFolder ? station.folder : station.customerFile) = path;
    checkOne(station, frontEnd.pathReader, path, nullptr);
  }
  const FindingCounts counts = CountFindings(findings);
  frontEnd.say(SummaryLine(counts));
  return CheckExitStatus(counts);
}

}  // namespace vt
