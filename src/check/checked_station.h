// What the parts of a station check share: the loaded configuration, the two files as
// read, and the findings so far. Internal to check/.
#pragma once

#include <initializer_list>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "check/check_platform.h"
#include "check/findings.h"
#include "check/station_check.h"
#include "config/configuration.h"
#include "config/env_vars.h"
#include "core/app_state.h"

namespace vt {

struct CheckedStation {
  CheckedStation(CheckPlatform& checkPlatform, bool checkOnStation)
      : platform(checkPlatform), onStation(checkOnStation) {}

  CheckPlatform& platform;
  bool onStation = false;
  EnvVarTable envVar;
  AppState state;
  // Null where the check goes without the file (a customer file checked alone), or
  // where it could not be read.
  const StationFile* programIni = nullptr;
  const StationFile* customerCfg = nullptr;
  // The keys whose values stop the program at start-up, as "SECTION\nKEY" in upper
  // case; the check goes on past each with what the program reads up to there.
  std::set<std::wstring> stopsStartUp;
  std::vector<Finding> findings;

  bool StopsStartUp(const std::wstring& section, const std::wstring& key) const;

  void Add(const StationFile* file, std::size_t line, Severity severity, std::wstring text);
  // The line of the key a read finds (the first in the first section of the name), or 0.
  static std::size_t LineOf(const StationFile* file, const std::wstring& section,
                            const std::wstring& key);
  // The value as a read of the file gives it; none when the key is missing.
  static std::optional<std::wstring> Written(const StationFile* file, const std::wstring& section,
                                             const std::wstring& key);
  // How many machines' references the program reads.
  int MachinesRead() const;
  // The first configured slot (1 to 5) whose share `reference` lies on, as the check
  // cycle publishes it; 0 when none.
  int SlotOf(const std::wstring& reference) const;
};

// The parts one after another, in one allocation.
std::wstring Concat(std::initializer_list<std::wstring_view> parts);
// "[Tavisto] ShareTimeoutSeconds=abc"
std::wstring KeyText(const std::wstring& section, const std::wstring& key,
                     const std::wstring& value);
// Digits only: a number as a station engineer writes one.
bool IsPlainNumber(const std::wstring& text);

// Keys nobody reads, numbered keys out of range, sections and keys given twice.
void FindKeyProblems(CheckedStation& station);
// Values that the program reads otherwise than they seem: numbers, true/false, shares,
// drives, references, placeholders, passwords, and on the station what it can tell.
void FindValueProblems(CheckedStation& station);
// The configuration as the program would use it.
std::vector<std::wstring> EffectiveConfiguration(CheckedStation& station,
                                                 const StationToCheck& what);

}  // namespace vt
