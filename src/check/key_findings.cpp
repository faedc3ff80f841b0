// Keys nobody reads, numbered keys out of range, sections and keys given twice.
#include <algorithm>
#include <cstdint>
#include <map>
#include <set>

#include "check/checked_station.h"
#include "core/numbered.h"
#include "portable/case_fold.h"

namespace vt {

namespace {

struct NumberedFamily {
  const wchar_t* word;
  int last;  // the program reads word1 to word<last>
};

// The keys the program reads, by section; numbered ones as families.
struct ReadSection {
  std::vector<NumberedFamily> families;
  std::vector<const wchar_t*> keys;
};

const ReadSection ProjectKeys{{}, {L"NumberOfMachines", L"VWStudio"}};
const ReadSection MachineKeys{{{L"Reference", ReferencesPerMachine}}, {}};
const ReadSection NetAddressKeys{{{L"User", ShareSlotCount},
                                  {L"Password", ShareSlotCount},
                                  {L"ProtectedPassword", ShareSlotCount},
                                  {L"NetAddress", ShareSlotCount},
                                  {L"NetDrive", ShareSlotCount}},
                                 {L"UpdateInterval"}};
const ReadSection TavistoKeys{
    {},
    {L"LogFile", L"LogFileSizeKB", L"RetryAfterFaultSeconds", L"CheckOnNetworkChange",
     L"ShareTimeoutSeconds", L"EventLog", L"MetricsFile"}};

// A name and its number in decimal digits without a leading zero ("User5"); number 0
// when the name does not end so.
struct SplitName {
  std::wstring word;
  int number = 0;
};

SplitName Split(const std::wstring& name) {
  std::size_t digits = name.size();
  while (digits > 0 && name[digits - 1] >= L'0' && name[digits - 1] <= L'9') --digits;
  const std::size_t count = name.size() - digits;
  if (count == 0 || count > 4 || name[digits] == L'0') return {name, 0};
  return {name.substr(0, digits), std::stoi(name.substr(digits))};
}

std::size_t EditDistance(const std::wstring& a, const std::wstring& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<std::wstring> KeysOf(const ReadSection& section) {
  std::vector<std::wstring> keys(section.keys.begin(), section.keys.end());
  for (const NumberedFamily& family : section.families) {
    for (int n = 1; n <= family.last; ++n) keys.push_back(Numbered(family.word, n));
  }
  return keys;
}

// What is wrong with a key the section does not read; empty when it reads it.
std::wstring UnreadKey(const ReadSection& section, const std::wstring& key) {
  const std::wstring upper = UpperCaseText(key);
  const std::vector<std::wstring> keys = KeysOf(section);
  if (std::any_of(keys.begin(), keys.end(),
                  [&upper](const std::wstring& k) { return UpperCaseText(k) == upper; })) {
    return {};
  }
  const SplitName split = Split(key);
  for (const NumberedFamily& family : section.families) {
    if (split.number > family.last && UpperCaseText(split.word) == UpperCaseText(family.word)) {
      return L"is read by no one: the program reads " + Numbered(family.word, 1) + L" to " +
             Numbered(family.word, family.last);
    }
  }
  std::wstring nearest;
  std::size_t best = 3;  // two edits at most, and fewer than half the name
  for (const std::wstring& candidate : keys) {
    const std::size_t distance = EditDistance(upper, UpperCaseText(candidate));
    if (distance < best && distance * 2 < candidate.size()) {
      best = distance;
      nearest = candidate;
    }
  }
  return L"is not read by the program" +
         (nearest.empty() ? std::wstring() : L"; did you mean " + nearest + L"?");
}

enum class SectionRole { Unread, Project, Machine, NetAddress, Tavisto };

struct SectionInfo {
  SectionRole role = SectionRole::Unread;
  int machine = 0;
};

SectionInfo Classify(const std::wstring& section, bool programIni) {
  const std::wstring upper = UpperCaseText(section);
  if (programIni) {
    return {upper == UpperCaseText(ProjectSection) ? SectionRole::Project : SectionRole::Unread};
  }
  if (upper == UpperCaseText(NetAddressSection)) return {SectionRole::NetAddress};
  if (upper == UpperCaseText(TavistoSection)) return {SectionRole::Tavisto};
  const SplitName split = Split(section);
  if (split.number > 0 && UpperCaseText(split.word) == L"MACHINE")
    return {SectionRole::Machine, split.number};
  return {};
}

const ReadSection* KeysRead(SectionRole role) {
  switch (role) {
    case SectionRole::Project:
      return &ProjectKeys;
    case SectionRole::Machine:
      return &MachineKeys;
    case SectionRole::NetAddress:
      return &NetAddressKeys;
    case SectionRole::Tavisto:
      return &TavistoKeys;
    case SectionRole::Unread:
      break;
  }
  return nullptr;
}

void FindInFile(CheckedStation& station, const StationFile* file, bool programIni) {
  if (file == nullptr) return;
  std::map<std::wstring, std::size_t> firstSection;  // upper-case name: its line
  std::map<std::wstring, std::size_t> firstKey;      // in the section being read
  const ReadSection* reading = nullptr;              // null: a section nobody reads
  std::wstring section;
  for (const ProfileDocument::Entry& entry : file->document.Entries()) {
    if (!entry.key) {
      section = entry.section;
      reading = nullptr;
      firstKey.clear();
      const auto [first, isFirst] = firstSection.emplace(UpperCaseText(section), entry.line);
      const SectionInfo info = Classify(section, programIni);
      if (!isFirst) {
        if (info.role != SectionRole::Unread) {
          station.Add(file, entry.line, Severity::Warning,
                      L"[" + section + L"] is given again (first at line " +
                          std::to_wstring(first->second) +
                          L"): Windows reads only the first, so the keys here are read by no one");
        }
        continue;
      }
      if (info.role == SectionRole::Machine && info.machine > station.MachinesRead()) {
        station.Add(file, entry.line, Severity::Warning,
                    L"[" + section + L"] is read by no one: the program reads the references of " +
                        (info.machine > MaxMachines
                             ? L"at most " + std::to_wstring(MaxMachines) + L" machines"
                             : L"machines 1 to NumberOfMachines (" +
                                   std::to_wstring(station.MachinesRead()) + L")"));
        continue;
      }
      reading = KeysRead(info.role);
      continue;
    }
    if (reading == nullptr) continue;
    const std::wstring& key = *entry.key;
    const auto [first, isFirst] = firstKey.emplace(UpperCaseText(key), entry.line);
    if (!isFirst) {
      station.Add(file, entry.line, Severity::Warning,
                  Concat({L"[", section, L"] ", key, L" is given again (first at line ",
                          std::to_wstring(first->second), L"): Windows reads the first"}));
      continue;
    }
    const std::wstring problem = UnreadKey(*reading, key);
    if (!problem.empty()) {
      station.Add(file, entry.line, Severity::Warning,
                  Concat({L"[", section, L"] ", key, L" ", problem}));
    }
  }
}

}  // namespace

void FindKeyProblems(CheckedStation& station) {
  FindInFile(station, station.programIni, true);
  FindInFile(station, station.customerCfg, false);
}

}  // namespace vt
