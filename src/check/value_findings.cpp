// Values that the program reads otherwise than they seem, and on the station what only
// the station can tell.
#include <algorithm>
#include <cstdint>

#include "check/checked_station.h"
#include "config/configuration.h"
#include "core/numbered.h"
#include "portable/case_fold.h"
#include "portable/secret_text.h"
#include "portable/text_rules.h"

namespace vt {

namespace {

// The longest remote name WNetAddConnection2 takes (MAX_PATH).
constexpr std::size_t MaxRemoteNameLength = 260;

struct KeyAt {
  const StationFile* file;
  std::wstring section;
  std::wstring key;
};

class ValueCheck {
 public:
  explicit ValueCheck(CheckedStation& station) : station_(station) {}

  // The value as read, when the key is there.
  std::optional<std::wstring> Written(const KeyAt& at) const {
    return CheckedStation::Written(at.file, at.section, at.key);
  }
  void Warn(const KeyAt& at, const std::wstring& value, const std::wstring& text,
            Severity severity = Severity::Warning) {
    station_.Add(at.file, CheckedStation::LineOf(at.file, at.section, at.key), severity,
                 KeyText(at.section, at.key, value) + L" " + text);
  }
  // A key whose name alone is said (a password's value is never shown).
  void WarnKey(const KeyAt& at, const std::wstring& text, Severity severity = Severity::Warning) {
    station_.Add(at.file, CheckedStation::LineOf(at.file, at.section, at.key), severity,
                 L"[" + at.section + L"] " + at.key + L" " + text);
  }

 private:
  CheckedStation& station_;
};

// A whole number as written that the program does not use as written: `used` is what it
// uses, `fine` whether the written number is one the program takes as it stands.
void CheckNumber(ValueCheck& check, const KeyAt& at, bool fine, const std::wstring& what) {
  const std::optional<std::wstring> written = check.Written(at);
  if (!written || (IsPlainNumber(*written) && fine)) return;
  check.Warn(at, *written, what);
}

// The whole number plain digits say, as the program reads them however many there are:
// leading zeros say nothing, and a number past what any key takes reads as the largest;
// -1 for anything but digits.
std::int64_t PlainValue(const std::wstring& text) {
  if (!IsPlainNumber(text)) return -1;
  const std::size_t first = text.find_first_not_of(L'0');
  if (first == std::wstring::npos) return 0;
  constexpr std::size_t MostDigits = 18;  // fits std::int64_t
  if (text.size() - first > MostDigits) return INT64_MAX;
  return std::stoll(text.substr(first));
}

void CheckTrueFalse(ValueCheck& check, const KeyAt& at) {
  const std::optional<std::wstring> written = check.Written(at);
  if (!written) return;
  const std::wstring upper = UpperCaseText(*written);
  if (upper == L"TRUE" || upper == L"FALSE") return;
  check.Warn(at, *written, L"is neither true nor false: the program takes it as false");
}

void CheckNumbers(CheckedStation& station, ValueCheck& check) {
  const AppState& state = station.state;
  const KeyAt machines{station.programIni, ProjectSection, L"NumberOfMachines"};
  const std::optional<std::wstring> machinesWritten = check.Written(machines);
  if (machinesWritten && !station.StopsStartUp(ProjectSection, L"NumberOfMachines")) {
    const int n = state.NumberOfMachines;
    CheckNumber(check, machines, n >= 0 && n <= MaxMachines && PlainValue(*machinesWritten) == n,
                L"is not a number from 0 to 5: the program reads it as " + std::to_wstring(n) +
                    (n > 0 ? L", machines 1 to " + std::to_wstring(n) : L", no machine"));
  }
  if (station.programIni != nullptr && station.programIni->content.exists && !machinesWritten) {
    station.Add(station.programIni, 0, Severity::Note,
                L"[Project] NumberOfMachines is missing: no machine's references are read");
  }
  const KeyAt interval{station.customerCfg, NetAddressSection, L"UpdateInterval"};
  if (!station.StopsStartUp(NetAddressSection, L"UpdateInterval")) {
    const std::optional<std::wstring> written = check.Written(interval);
    CheckNumber(check, interval, written && PlainValue(*written) == state.UpdateInterval,
                L"is not a whole number of minutes from 1 to 32767: the program checks every " +
                    std::to_wstring(state.UpdateInterval) + L" minutes");
  }
  const KeyAt size{station.customerCfg, TavistoSection, L"LogFileSizeKB"};
  const std::int64_t usedKB = static_cast<std::int64_t>(state.LogFile.MaxBytes / 1024);
  if (const auto written = check.Written(size)) {
    CheckNumber(
        check, size, PlainValue(*written) == usedKB,
        L"is not a positive whole number: the program uses " + std::to_wstring(usedKB) + L" KB");
  }
  const KeyAt retry{station.customerCfg, TavistoSection, L"RetryAfterFaultSeconds"};
  if (const auto written = check.Written(retry)) {
    const std::int64_t seconds = state.RetryAfterFaultSeconds;
    const std::wstring used = seconds == 0 ? L"no early retry" : std::to_wstring(seconds) + L" s";
    if (!IsPlainNumber(*written)) {
      check.Warn(retry, *written, L"is not a whole number of seconds: the program uses " + used);
    } else if (PlainValue(*written) != seconds) {
      check.Warn(retry, *written,
                 L"is longer than the interval (" + std::to_wstring(state.UpdateInterval) +
                     L" minutes): the program waits " + used);
    }
  }
  const KeyAt watch{station.customerCfg, TavistoSection, L"WatchSharesSeconds"};
  if (const auto written = check.Written(watch)) {
    const std::int64_t seconds = state.WatchSharesSeconds;
    const std::wstring used = seconds == 0 ? L"no watch between checks"
                                           : L"a look every " + std::to_wstring(seconds) + L" s";
    if (!IsPlainNumber(*written)) {
      check.Warn(watch, *written, L"is not a whole number of seconds: the program uses " + used);
    } else if (seconds == 0) {
      check.Warn(watch, *written,
                 L"watches no share between checks: a lost share is published at the next check",
                 Severity::Note);
    } else if (seconds >= std::int64_t{state.UpdateInterval} * 60) {
      check.Warn(watch, *written,
                 L"is not shorter than the interval (" + std::to_wstring(state.UpdateInterval) +
                     L" minutes): a check comes first each time, the program never watches");
    } else if (PlainValue(*written) != seconds) {
      check.Warn(watch, *written,
                 L"is shorter than a listing of a drive can tell more (Windows' SMB client keeps "
                 L"a folder's listing up to 10 s): the program uses " +
                     used);
    }
  }
  const KeyAt timeout{station.customerCfg, TavistoSection, L"ShareTimeoutSeconds"};
  if (const auto written = check.Written(timeout)) {
    CheckNumber(check, timeout, PlainValue(*written) == state.ShareTimeoutSeconds,
                L"is not a positive whole number: the program waits " +
                    std::to_wstring(state.ShareTimeoutSeconds) + L" s for a share's server");
  }
  CheckTrueFalse(check, {station.programIni, ProjectSection, L"VWStudio"});
  CheckTrueFalse(check, {station.customerCfg, TavistoSection, L"CheckOnNetworkChange"});
  CheckTrueFalse(check, {station.customerCfg, TavistoSection, L"EventLog"});
}

// What keeps `name` from being "\\server\share" as the Windows network (SMB) provider
// maps it; empty when nothing does. WNetAddConnection2 takes a remote name of at most
// MAX_PATH characters in the provider's own convention: two backslashes, the server,
// a backslash and the share, optionally a folder below it; no trailing backslash, and
// none of the characters a share name cannot hold.
std::wstring ShareNameProblem(const std::wstring& name) {
  if (name.size() > MaxRemoteNameLength) return L"is longer than 260 characters";
  if (name.compare(0, 2, L"\\\\") != 0 || name.size() < 3 || name[2] == L'\\')
    return L"does not begin with \\\\ and a server";
  const std::size_t separator = name.find(L'\\', 2);
  if (separator == std::wstring::npos || separator + 1 == name.size())
    return L"names no share after the server";
  if (name.back() == L'\\') return L"ends with a backslash";
  if (name.find_first_of(L"/:*?\"<>|") != std::wstring::npos)
    return L"holds a character that no server or share name can hold (/ : * ? \" < > |)";
  return {};
}

std::wstring ServerOf(const std::wstring& share) {
  return share.substr(2, share.find(L'\\', 2) - 2);
}

void CheckSlots(CheckedStation& station, ValueCheck& check) {
  Platform& platform = station.platform;
  const auto& shares = station.state.Shares;
  const auto at = [&station](const wchar_t* word, int i) {
    return KeyAt{station.customerCfg, NetAddressSection, Numbered(word, i)};
  };
  for (int i = 1; i <= ShareSlotCount; ++i) {
    const ShareSlot& slot = shares[i - 1];
    if (slot.NetAddress.empty()) {
      if (!slot.NetDrive.empty())
        check.Warn(at(L"NetDrive", i), slot.NetDrive,
                   L"has no NetAddress" + std::to_wstring(i) + L": the slot is not in use");
      continue;
    }
    if (slot.NetDrive.empty()) {
      check.Warn(at(L"NetAddress", i), slot.NetAddress,
                 L"has no NetDrive" + std::to_wstring(i) + L": the share cannot be connected");
    } else if (!IsDriveLetter(slot.NetDrive)) {
      check.Warn(at(L"NetDrive", i), slot.NetDrive,
                 L"is not one drive letter without a colon (such as K): the share cannot be "
                 L"connected");
    } else if (station.onStation && platform.IsLocalDisk(slot.NetDrive)) {
      check.Warn(at(L"NetDrive", i), slot.NetDrive,
                 L"is a disk of this station: the connect fails with 85 (The local device name "
                 L"is already in use)");
    }
    const std::wstring problem = ShareNameProblem(slot.NetAddress);
    if (!problem.empty()) {
      check.Warn(at(L"NetAddress", i), slot.NetAddress,
                 problem + L": Windows maps \\\\server\\share (a folder below it may follow)");
    }
    bool serverSaid = false;  // one slot's clash with the server's earlier users is said once
    for (int j = 1; j < i; ++j) {
      const ShareSlot& earlier = shares[j - 1];
      if (earlier.NetAddress.empty()) continue;
      const std::wstring slots =
          L" (slots " + std::to_wstring(j) + L" and " + std::to_wstring(i) + L")";
      if (!slot.NetDrive.empty() &&
          platform.UpperCase(slot.NetDrive) == platform.UpperCase(earlier.NetDrive))
        check.Warn(at(L"NetDrive", i), slot.NetDrive,
                   L"names a drive that another slot names too" + slots);
      if (platform.UpperCase(slot.NetAddress) == platform.UpperCase(earlier.NetAddress))
        check.Warn(at(L"NetAddress", i), slot.NetAddress,
                   L"names a share that another slot names too" + slots);
      else if (!serverSaid && problem.empty() && ShareNameProblem(earlier.NetAddress).empty() &&
               platform.UpperCase(ServerOf(slot.NetAddress)) ==
                   platform.UpperCase(ServerOf(earlier.NetAddress)) &&
               platform.UpperCase(slot.User) != platform.UpperCase(earlier.User)) {
        check.Warn(at(L"NetAddress", i), slot.NetAddress,
                   L"is on the server of slot " + std::to_wstring(j) + L" with another user (\"" +
                       slot.User + L"\", not \"" + earlier.User +
                       L"\"): Windows refuses the later connect with 1219 (Multiple connections to "
                       L"a server or shared resource by the same user, using more than one user "
                       L"name, are not allowed), at every check");
        serverSaid = true;
      }
    }
    if (!slot.Password.empty() && slot.ProtectedPassword.empty()) {
      check.WarnKey(at(L"Password", i),
                    L"is kept as plain text: ProtectedPassword" + std::to_wstring(i) +
                        L" keeps it out of the file (see docs/passwords.md)",
                    Severity::Note);
    }
    if (station.onStation && !slot.ProtectedPassword.empty()) {
      std::wstring password;
      const SystemResult unprotected = platform.UnprotectPassword(slot.ProtectedPassword, password);
      Wipe(password);
      if (!unprotected.Succeeded()) {
        check.WarnKey(at(L"ProtectedPassword", i),
                      L"cannot be unprotected on this station (" + unprotected.reason +
                          L"): the share's connect is refused as a logon failure");
      }
    }
  }
}

void CheckReferences(CheckedStation& station, ValueCheck& check) {
  const AppState& state = station.state;
  for (int m = 1; m <= station.MachinesRead(); ++m) {
    for (int r = 1; r <= ReferencesPerMachine; ++r) {
      const std::wstring& reference = state.Reference[m - 1][r - 1];
      if (reference.empty() || station.SlotOf(reference) > 0) continue;
      const KeyAt at{station.customerCfg, Numbered(L"Machine", m), Numbered(L"Reference", r)};
      if (reference.compare(0, 2, L"\\\\") == 0) {
        check.Warn(at, reference,
                   L"lies on no configured share: " + Numbered(L"NetOK", r) + L" of [" +
                       Numbered(L"Machine", m) + L"] never gets a status");
      } else {
        check.Warn(at, reference, L"is not a network path: it gets no status", Severity::Note);
      }
    }
  }
}

// A placeholder that names no directory variable stays in the text as it stands.
std::wstring UnexpandedPlaceholder(const std::wstring& text) {
  for (std::size_t open = text.find(L'$'); open != std::wstring::npos;
       open = text.find(L'$', open + 1)) {
    const std::size_t close = text.find(L'$', open + 1);
    if (close == std::wstring::npos) break;
    const std::wstring name = text.substr(open + 1, close - open - 1);
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](wchar_t c) {
          return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9') ||
                 c == L'_';
        })) {
      return L"$" + name + L"$";
    }
  }
  return {};
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(L'\\');
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

void CheckPaths(CheckedStation& station, ValueCheck& check) {
  const AppState& state = station.state;
  const KeyAt logFile{station.customerCfg, TavistoSection, L"LogFile"};
  const KeyAt metricsFile{station.customerCfg, TavistoSection, L"MetricsFile"};
  for (const auto& [at, used] :
       {std::pair(logFile, state.LogFile.Path), std::pair(metricsFile, state.MetricsFile.Path)}) {
    const std::optional<std::wstring> written = check.Written(at);
    if (!written || written->empty()) continue;
    const std::wstring left = UnexpandedPlaceholder(used);
    if (!left.empty()) {
      check.Warn(at, *written,
                 Concat({L"keeps ", left, L", which names no directory variable: the file is \"",
                         used, L"\""}));
    } else if (station.onStation) {
      const SystemResult probe = station.platform.ProbeFolderWritable(FolderOf(used));
      if (!probe.Succeeded())
        check.Warn(at, *written,
                   L"is in a folder that cannot be written, " + FolderOf(used) + L" (" +
                       probe.reason + L")");
    }
  }
  if (!station.onStation) return;
  for (const EnvVarRow& variable : station.envVar) {
    if (variable.Name.empty()) continue;  // the rows the program leaves empty
    const std::wstring left =
        UnexpandedPlaceholder(ExpandPlaceholders(station.platform, station.envVar, variable.Value));
    if (!left.empty())
      station.findings.push_back({std::wstring(), 0, Severity::Warning,
                                  variable.Name + L"=" + variable.Value + L" keeps " + left +
                                      L", which names no directory variable"});
  }
  if (station.platform.DrivesHiddenFromElevatedPrograms()) {
    station.findings.push_back(
        {std::wstring(), 0, Severity::Note,
         L"User Account Control is on and EnableLinkedConnections (HKLM\\SOFTWARE\\Microsoft\\"
         L"Windows\\CurrentVersion\\Policies\\System) is not 1: the drives the program maps are "
         L"invisible to programs of the same user that run elevated (\"Run as administrator\"), "
         L"a visualisation among them; the package's LINKEDCONNECTIONS=1 sets it, in force after "
         L"a restart (see docs/deploying.md, An elevated visualisation)"});
  }
  const SystemResult probe = station.platform.ProbeFolderWritable(FolderOf(state.StatusIniPath));
  if (!probe.Succeeded()) {
    station.findings.push_back({state.StatusIniPath, 0, Severity::Warning,
                                L"the status file's folder cannot be written (" + probe.reason +
                                    L"): no reference gets a status"});
  }
}

}  // namespace

void FindValueProblems(CheckedStation& station) {
  ValueCheck check(station);
  CheckNumbers(station, check);
  CheckSlots(station, check);
  CheckReferences(station, check);
  CheckPaths(station, check);
}

}  // namespace vt
