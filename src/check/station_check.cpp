#include "check/station_check.h"

#include <algorithm>
#include <map>

#include "check/checked_station.h"
#include "config/configuration.h"
#include "platform/error.h"
#include "portable/case_fold.h"
#include "portable/codepage.h"
#include "portable/utf8.h"
#include "shares/check_cycle.h"

namespace vt {

namespace {

const std::string Utf8ByteOrderMark = "\xEF\xBB\xBF";

void CheckReadable(CheckedStation& station, const StationFile& file, const wchar_t* consequence) {
  if (file.content.exists && file.content.failure.Succeeded()) return;
  const std::wstring why = file.content.exists ? file.content.failure.reason : L"no such file";
  station.findings.push_back({file.content.shownAs, 0, Severity::Error,
                              L"cannot be read (" + why + L"): the program " + consequence});
}

// Whether the bytes are UTF-8 with at least one character outside ASCII.
bool IsUtf8BeyondAscii(const std::string& bytes) {
  bool beyond = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = lead < 0x80                   ? 1
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                         : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4
                                                       : 0;
    if (length == 0 || i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      if ((static_cast<unsigned char>(bytes[i + k]) & 0xC0) != 0x80) return false;
    }
    beyond = beyond || length > 1;
    i += length;
  }
  return beyond;
}

bool IsPasswordKey(const std::wstring& key) {
  return UpperCaseText(key).find(L"PASS") != std::wstring::npos;
}

// Windows' profile service reads a file that does not start with FF FE in the ANSI
// code page, whatever its bytes are (Wine reads a UTF-8 file as UTF-8: Windows holds).
void CheckEncoding(CheckedStation& station, const StationFile* file) {
  if (file == nullptr || file->decoded.encoding != ProfileEncoding::Ansi) return;
  const std::string& bytes = file->content.bytes;
  const bool marked = bytes.compare(0, Utf8ByteOrderMark.size(), Utf8ByteOrderMark) == 0;
  if (marked) {
    // The mark joins the first line: a section header or a key there is lost.
    const std::wstring first =
        file->decoded.text.substr(0, file->decoded.text.find_first_of(L"\r\n"));
    const std::wstring rest = first.substr(3);
    const bool lost =
        !rest.empty() && (rest.front() == L'[' || rest.find(L'=') != std::wstring::npos);
    if (lost) {
      station.Add(
          file, 1, Severity::Warning,
          L"the file starts with a UTF-8 byte-order mark, which Windows' profile service "
          L"reads as ANSI text: the first line reads \"" +
              first + L"\", so " +
              (rest.front() == L'[' ? L"its section and the keys in it are" : L"its key is") +
              L" read by no one; save the file as ANSI or UTF-16");
    }
  }
  if (!IsUtf8BeyondAscii(marked ? bytes.substr(Utf8ByteOrderMark.size()) : bytes)) return;
  for (const ProfileDocument::Entry& entry : file->document.Entries()) {
    const std::wstring line =
        entry.key ? *entry.key + L"=" + entry.value : L"[" + entry.section + L"]";
    if (std::all_of(line.begin(), line.end(), [](wchar_t c) { return c < 0x80; })) continue;
    std::wstring example;
    if (entry.key && IsPasswordKey(*entry.key)) {
      example = *entry.key + L" (its value is not shown)";
    } else {
      example = L"\"" + line + L"\" reads as it stands here, not as \"" +
                DecodeUtf8(EncodeCp1252(line)) + L"\"";
    }
    station.Add(file, entry.line, Severity::Warning,
                L"the file is UTF-8 with characters outside ASCII, and Windows' profile service "
                L"reads it in the ANSI code page (here Windows-1252): " +
                    example + L"; save the file as ANSI or UTF-16");
    return;
  }
}

// Runs the program's own loading; a value that would stop the program at start-up is an
// error, and the loading goes on past it so that the rest is checked too.
void Load(CheckedStation& station, const StationToCheck& what) {
  AppState& state = station.state;
  InitDirectoryVariables(station.platform, station.envVar);
  LoadProjectSettings(station.platform, station.envVar, state);
  if (!what.customerFile.empty()) {
    // Without its Program.ini every machine's references are read.
    state.CustomerCfgPath = what.customerFile;
    state.NumberOfMachines = MaxMachines;
  } else {
    station.programIni = &station.platform.File(state.ProgramIniPath);
    CheckReadable(station, *station.programIni, L"runs with no machines");
  }
  station.customerCfg = &station.platform.File(state.CustomerCfgPath);
  CheckReadable(station, *station.customerCfg, L"runs with no references and no shares");
  for (;;) {
    try {
      LoadCustomerConfiguration(station.platform, station.envVar, state);
      return;
    } catch (const ProgramError& error) {
      if (state.NumberOfMachines > MaxMachines && !station.machinesStopStartUp) {
        station.machinesStopStartUp = true;
        station.Add(station.programIni,
                    CheckedStation::LineOf(station.programIni, ProjectSection, L"NumberOfMachines"),
                    Severity::Error, L"the program stops at start-up: " + error.Message());
        state.NumberOfMachines = MaxMachines;
      } else if (!station.intervalStopsStartUp) {
        station.intervalStopsStartUp = true;
        station.Add(
            station.customerCfg,
            CheckedStation::LineOf(station.customerCfg, NetAddressSection, L"UpdateInterval"),
            Severity::Error, L"the program stops at start-up: " + error.Message());
        station.platform.Override(NetAddressSection, L"UpdateInterval", L"");
      } else {
        throw;
      }
    }
  }
}

}  // namespace

void CheckedStation::Add(const StationFile* file, std::size_t line, Severity severity,
                         std::wstring text) {
  findings.push_back(
      {file != nullptr ? file->content.shownAs : std::wstring(), line, severity, std::move(text)});
}

std::size_t CheckedStation::LineOf(const StationFile* file, const std::wstring& section,
                                   const std::wstring& key) {
  if (file == nullptr) return 0;
  return file->document.FindLine(section, key).value_or(0);
}

std::optional<std::wstring> CheckedStation::Written(const StationFile* file,
                                                    const std::wstring& section,
                                                    const std::wstring& key) {
  if (file == nullptr) return std::nullopt;
  return file->document.Find(section, key);
}

int CheckedStation::MachinesRead() const {
  return std::clamp<int>(state.NumberOfMachines, 0, MaxMachines);
}

int CheckedStation::SlotOf(const std::wstring& reference) const {
  for (int i = 1; i <= ShareSlotCount; ++i) {
    const ShareSlot& slot = state.Shares[i - 1];
    if (!slot.NetAddress.empty() && LiesOnShare(platform, reference, slot.NetAddress)) return i;
  }
  return 0;
}

std::wstring Concat(std::initializer_list<std::wstring_view> parts) {
  std::size_t size = 0;
  for (std::wstring_view part : parts) size += part.size();
  std::wstring text;
  text.reserve(size);
  for (std::wstring_view part : parts) text += part;
  return text;
}

std::wstring KeyText(const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) {
  return Concat({L"[", section, L"] ", key, L"=", value});
}

bool IsPlainNumber(const std::wstring& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

CheckReport CheckStation(Platform& host, const FileReader& reader, const StationToCheck& what) {
  std::optional<std::wstring> visuDir;
  if (!what.OnStation()) visuDir = what.folder;
  CheckPlatform platform(host, reader, visuDir);
  CheckedStation station(platform, what.OnStation());
  Load(station, what);
  CheckEncoding(station, station.programIni);
  CheckEncoding(station, station.customerCfg);
  FindKeyProblems(station);
  FindValueProblems(station);
  // Program.ini first, then each file in the order it was first named; by line within.
  std::map<std::wstring, std::size_t> fileOrder;
  if (station.programIni != nullptr) fileOrder[station.programIni->content.shownAs] = 0;
  for (const Finding& finding : station.findings)
    fileOrder.emplace(finding.file, fileOrder.size() + 1);
  std::stable_sort(station.findings.begin(), station.findings.end(),
                   [&fileOrder](const Finding& a, const Finding& b) {
                     const std::size_t fileA = fileOrder[a.file];
                     const std::size_t fileB = fileOrder[b.file];
                     return fileA != fileB ? fileA < fileB : a.line < b.line;
                   });
  return {std::move(station.findings), EffectiveConfiguration(station, what)};
}

}  // namespace vt
