// Keys nobody reads, numbered keys out of range, sections and keys given twice. What the
// program reads is what its own loading code asked for while the check ran it: a key
// the loader learns is known here at once.
#include <algorithm>
#include <cstdint>
#include <map>

#include "check/checked_station.h"
#include "config/configuration.h"
#include "core/numbered.h"
#include "portable/case_fold.h"

namespace vt {

namespace {

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

// The read key (or section) a written one most likely meant, as compilers find a
// misspelt name: the nearest by edit distance up to a third of the longer name, or one
// that the written name shortens or extends (RetryAfterFault, RetryAfterFaultSecs);
// empty when none.
std::wstring Nearest(const CheckPlatform::KeysAsked& read, const std::wstring& upper) {
  std::size_t nearest = read.names.size();
  std::size_t best = SIZE_MAX;
  for (std::size_t i = 0; i < read.upper.size(); ++i) {
    const std::wstring& other = read.upper[i];
    const std::size_t longer = std::max(upper.size(), other.size());
    const std::size_t shorter = std::min(upper.size(), other.size());
    const std::size_t allowed = (longer + 2) / 3;
    // Half the longer name at least in common, so that "R" means nothing.
    const bool prefix = shorter * 2 >= longer && other.compare(0, shorter, upper, 0, shorter) == 0;
    if (!prefix && longer - shorter > allowed) continue;  // too far apart by length alone
    const std::size_t distance = EditDistance(upper, other);
    if ((prefix || distance <= allowed) && distance < best) {
      best = distance;
      nearest = i;
    }
  }
  return nearest < read.names.size() ? read.names[nearest] : std::wstring();
}

// What is wrong with a key that no read asked for in its section; the section's read
// keys are `read`.
std::wstring UnreadKey(const CheckPlatform::KeysAsked& read, const std::wstring& key,
                       const std::wstring& upper) {
  const SplitName split = Split(key);
  if (split.number > 0) {
    // A numbered key beyond the numbers read of its word.
    int first = 0;
    int last = 0;
    for (const std::wstring& candidate : read.names) {
      const SplitName family = Split(candidate);
      if (family.number == 0 || UpperCaseText(family.word) != UpperCaseText(split.word)) continue;
      first = first == 0 ? family.number : std::min(first, family.number);
      last = std::max(last, family.number);
    }
    if (last > 0 && split.number > last) {
      return L"is read by no one: the program reads " + Numbered(split.word, first) + L" to " +
             Numbered(split.word, last);
    }
  }
  const std::wstring nearest = Nearest(read, upper);
  return L"is not read by the program" +
         (nearest.empty() ? std::wstring() : L"; did you mean " + nearest + L"?");
}

// "Machine3": a section of a machine's references, read only up to NumberOfMachines.
int MachineOf(const std::wstring& section) {
  const SplitName split = Split(section);
  return split.number > 0 && UpperCaseText(split.word) == UpperCaseText(MachineSectionWord)
             ? split.number
             : 0;
}

void FindInFile(CheckedStation& station, const StationFile* file) {
  if (file == nullptr) return;
  std::map<std::wstring, std::size_t> firstSection;   // upper-case name: its line
  std::map<std::wstring, std::size_t> firstKey;       // in the section being read
  const CheckPlatform::KeysAsked* reading = nullptr;  // null: a section nobody reads
  const CheckPlatform::KeysAsked* sections = station.platform.SectionsRead(*file);
  std::wstring section;
  for (const ProfileDocument::Entry& entry : file->document.Entries()) {
    if (!entry.key) {
      section = entry.section;
      firstKey.clear();
      reading = station.platform.KeysRead(*file, section);
      const int machine = MachineOf(section);
      const auto [first, isFirst] = firstSection.emplace(UpperCaseText(section), entry.line);
      if (!isFirst) {
        if (reading != nullptr || machine > 0) {
          station.Add(file, entry.line, Severity::Warning,
                      L"[" + section + L"] is given again (first at line " +
                          std::to_wstring(first->second) +
                          L"): Windows reads only the first, so the keys here are read by no one");
        }
        reading = nullptr;
        continue;
      }
      if (reading == nullptr && machine > station.MachinesRead()) {
        station.Add(
            file, entry.line, Severity::Warning,
            L"[" + section + L"] is read by no one: the program reads the references of " +
                (machine > MaxMachines ? L"at most " + std::to_wstring(MaxMachines) + L" machines"
                                       : L"machines 1 to NumberOfMachines (" +
                                             std::to_wstring(station.MachinesRead()) + L")"));
      } else if (reading == nullptr && sections != nullptr) {
        // A section the program reads, misspelt: its keys are read by no one either, and
        // get no line of their own beyond this one.
        const std::wstring meant = Nearest(*sections, UpperCaseText(section));
        if (!meant.empty())
          station.Add(file, entry.line, Severity::Warning,
                      Concat({L"[", section, L"] is not read: did you mean [", meant, L"]?"}));
      }
      continue;
    }
    if (reading == nullptr) continue;
    const std::wstring& key = *entry.key;
    const std::wstring upper = UpperCaseText(key);
    const auto [first, isFirst] = firstKey.emplace(upper, entry.line);
    if (!isFirst) {
      station.Add(file, entry.line, Severity::Warning,
                  Concat({L"[", section, L"] ", key, L" is given again (first at line ",
                          std::to_wstring(first->second), L"): Windows reads the first"}));
      continue;
    }
    if (reading->lookup.count(upper) == 0) {
      station.Add(file, entry.line, Severity::Warning,
                  Concat({L"[", section, L"] ", key, L" ", UnreadKey(*reading, key, upper)}));
    }
  }
}

}  // namespace

void FindKeyProblems(CheckedStation& station) {
  FindInFile(station, station.programIni);
  FindInFile(station, station.customerCfg);
}

}  // namespace vt
