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

// A line as a finding may show it: a password's value never, a control character as its
// code (a terminal would act on it), and no more than a line's worth of it.
std::wstring Shown(const std::wstring& line) {
  constexpr std::size_t Longest = 60;
  const std::size_t equals = line.find(L'=');
  if (equals != std::wstring::npos && IsPasswordKey(line.substr(0, equals)))
    return line.substr(0, equals + 1) + L"(a password, not shown)";
  std::wstring shown;
  for (std::size_t i = 0; i < line.size() && i < Longest; ++i) {
    const auto c = static_cast<std::uint32_t>(static_cast<char32_t>(line[i]));
    if (c >= 0x20 && c != 0x7F && (c < 0x80 || c > 0x9F)) {
      shown.push_back(line[i]);
      continue;
    }
    static const wchar_t* const Hex = L"0123456789ABCDEF";
    shown += L"\\x";
    shown.push_back(Hex[(c >> 4) & 0xF]);
    shown.push_back(Hex[c & 0xF]);
  }
  return line.size() > Longest ? shown + L"..." : shown;
}

// A NUL in a file (a power cut, a bad copy): Windows' profile service reads a line only
// up to it, so the rest of that line is lost, and so is the key when the NUL is before
// its "=".
void CheckNulBytes(CheckedStation& station, const StationFile* file) {
  if (file == nullptr) return;
  const std::wstring& text = file->decoded.text;
  const std::size_t nul = text.find(L'\0');
  if (nul == std::wstring::npos) return;
  std::size_t line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < nul; ++i) {
    if (text[i] != L'\r' && text[i] != L'\n') continue;
    if (text[i] == L'\r' && i + 1 < nul && text[i + 1] == L'\n') ++i;
    ++line;
    lineStart = i + 1;
  }
  station.Add(file, line, Severity::Warning,
              L"the file holds a NUL byte (a power cut or a bad copy leaves them), first on this "
              L"line: Windows' profile service reads a line only up to it, so this line reads \"" +
                  Shown(text.substr(lineStart, nul - lineStart)) +
                  L"\" and the rest of it is read by no one");
}

// A customer file in which the program reads no section at all (an empty one, one a
// power cut zeroed, one of random bytes) is no station's file.
void CheckStationSections(CheckedStation& station) {
  const StationFile* file = station.customerCfg;
  if (file == nullptr || !file->content.exists || !file->content.failure.Succeeded()) return;
  for (const ProfileDocument::Entry& entry : file->document.Entries()) {
    if (!entry.key && station.platform.KeysRead(*file, entry.section) != nullptr) return;
  }
  station.Add(file, 0, Severity::Warning,
              L"holds no section the program reads ([NetAddress], [MachineN], [Tavisto]): the "
              L"program connects no share and publishes no status");
}

// Runs the program's own loading; a value that would stop the program at start-up is an
// error on the line it was read from, and the loading goes on past it (with what the
// program reads for the key up to there) so that the rest is checked too.
void Load(CheckedStation& station, const StationToCheck& what) {
  AppState& state = station.state;
  InitDirectoryVariables(station.platform, station.envVar);
  for (;;) {
    LoadProjectSettings(station.platform, station.envVar, state);
    if (!what.customerFile.empty()) {
      // Without its Program.ini every machine's references are read.
      state.CustomerCfgPath = what.customerFile;
      state.NumberOfMachines = MaxMachines;
    } else if (station.programIni == nullptr) {
      station.programIni = &station.platform.File(state.ProgramIniPath);
      CheckReadable(station, *station.programIni, L"runs with no machines");
    }
    if (station.customerCfg == nullptr) {
      station.customerCfg = &station.platform.File(state.CustomerCfgPath);
      CheckReadable(station, *station.customerCfg, L"runs with no references and no shares");
    }
    try {
      LoadCustomerConfiguration(station.platform, station.envVar, state);
      return;
    } catch (const ConfigurationError& error) {
      const std::wstring place = UpperCaseText(error.Section() + L"\n" + error.Key());
      if (!station.stopsStartUp.insert(place).second) throw;  // going on changed nothing
      const StationFile& file = station.platform.File(error.File());
      station.Add(&file, CheckedStation::LineOf(&file, error.Section(), error.Key()),
                  Severity::Error, L"the program stops at start-up: " + error.Message());
      station.platform.Override(error.Section(), error.Key(), error.GoOnWith());
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
  const StationFile::KeyLine* found = file != nullptr ? file->Find(section, key) : nullptr;
  return found != nullptr ? found->line : 0;
}

std::optional<std::wstring> CheckedStation::Written(const StationFile* file,
                                                    const std::wstring& section,
                                                    const std::wstring& key) {
  const StationFile::KeyLine* found = file != nullptr ? file->Find(section, key) : nullptr;
  if (found == nullptr) return std::nullopt;
  return found->value;
}

bool CheckedStation::StopsStartUp(const std::wstring& section, const std::wstring& key) const {
  return stopsStartUp.count(UpperCaseText(section + L"\n" + key)) != 0;
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
  if (!what.FromEnvironment()) visuDir = what.folder;
  CheckPlatform platform(host, reader, visuDir);
  CheckedStation station(platform, what.OnStation());
  Load(station, what);
  CheckEncoding(station, station.programIni);
  CheckEncoding(station, station.customerCfg);
  CheckNulBytes(station, station.programIni);
  CheckNulBytes(station, station.customerCfg);
  CheckStationSections(station);
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
  std::wstring folder;
  for (const EnvVarRow& variable : station.envVar) {
    if (UpperCaseText(variable.Name) == L"VISUDIR") folder = variable.Value;
  }
  return {std::move(station.findings), EffectiveConfiguration(station, what), folder};
}

}  // namespace vt
