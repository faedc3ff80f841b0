// The configuration as the program would use it, as a check shows it with --show:
// never a password, only whether there is one and in which form.
#include "check/checked_station.h"
#include "config/configuration.h"
#include "core/numbered.h"
#include "portable/case_fold.h"
#include "windows/window_watch.h"

namespace vt {

namespace {

std::wstring Source(CheckedStation& station, const StationToCheck& what, const EnvVarRow& row) {
  if (!what.FromEnvironment()) {
    return UpperCaseText(row.Name) == L"VISUDIR" && !what.folder.empty() ? L"the folder checked"
                                                                         : L"default";
  }
  const EnvironmentLookup lookup =
      station.platform.EnvironmentVariable(row.Name, MaxEnvironmentValueLength);
  return lookup.outcome == EnvironmentOutcome::Value && !lookup.value.empty() ? L"environment"
                                                                              : L"default";
}

std::wstring PasswordForm(const ShareSlot& slot) {
  if (!slot.ProtectedPassword.empty()) return L"(protected)";
  return slot.Password.empty() ? L"(none)" : L"(plain)";
}

// "(default)" when the file does not set the key.
std::wstring Setting(CheckedStation& station, const wchar_t* key, const std::wstring& value) {
  const bool set = CheckedStation::Written(station.customerCfg, TavistoSection, key).has_value();
  return L"[Tavisto] " + std::wstring(key) + L"=" + value + (set ? L"" : L" (default)");
}

}  // namespace

std::vector<std::wstring> EffectiveConfiguration(CheckedStation& station,
                                                 const StationToCheck& what) {
  const AppState& state = station.state;
  std::vector<std::wstring> lines;
  for (const EnvVarRow& variable : station.envVar) {
    if (variable.Name.empty()) continue;  // the rows the program leaves empty
    lines.push_back(variable.Name + L"=" + variable.Value + L" (" +
                    Source(station, what, variable) + L")");
  }
  if (station.programIni != nullptr) lines.push_back(L"project file: " + state.ProgramIniPath);
  lines.push_back(L"customer file: " + state.CustomerCfgPath);
  lines.push_back(L"status file: " + state.StatusIniPath);
  lines.push_back(L"[Project] NumberOfMachines=" + std::to_wstring(state.NumberOfMachines) +
                  (station.StopsStartUp(ProjectSection, L"NumberOfMachines")
                       ? L" (stops the program at start-up)"
                       : L""));
  lines.push_back(std::wstring(L"[Project] VWStudio=") + (state.VWStudio ? L"true" : L"false") +
                  L" (watches \"" + (state.VWStudio ? StudioWindowTitle : BrowserWindowTitle) +
                  L"\")");
  for (int m = 1; m <= station.MachinesRead(); ++m) {
    for (int r = 1; r <= ReferencesPerMachine; ++r) {
      const std::wstring& reference = state.Reference[m - 1][r - 1];
      if (reference.empty()) continue;
      const int slot = station.SlotOf(reference);
      const std::wstring slotText =
          slot > 0 ? L"slot " + std::to_wstring(slot) : std::wstring(L"no share: no status");
      lines.push_back(Concat({L"[", Numbered(L"Machine", m), L"] ", Numbered(L"Reference", r), L"=",
                              reference, L" (", slotText, L")"}));
    }
  }
  for (int i = 1; i <= ShareSlotCount; ++i) {
    const ShareSlot& slot = state.Shares[i - 1];
    if (slot.NetAddress.empty() && slot.NetDrive.empty()) continue;
    lines.push_back(L"slot " + std::to_wstring(i) + L": drive " + slot.NetDrive + L", share " +
                    slot.NetAddress + L", user " + slot.User + L", password " + PasswordForm(slot));
  }
  lines.push_back(L"[NetAddress] UpdateInterval=" + std::to_wstring(state.UpdateInterval) +
                  L" minutes" +
                  (station.StopsStartUp(NetAddressSection, L"UpdateInterval")
                       ? L" (stops the program at start-up)"
                       : L""));
  lines.push_back(Setting(station, L"LogFile", state.LogFile.Path));
  lines.push_back(
      Setting(station, L"LogFileSizeKB", std::to_wstring(state.LogFile.MaxBytes / 1024)));
  lines.push_back(
      Setting(station, L"RetryAfterFaultSeconds", std::to_wstring(state.RetryAfterFaultSeconds)));
  lines.push_back(
      Setting(station, L"CheckOnNetworkChange", state.CheckOnNetworkChange ? L"true" : L"false"));
  lines.push_back(
      Setting(station, L"ShareTimeoutSeconds", std::to_wstring(state.ShareTimeoutSeconds)));
  lines.push_back(
      Setting(station, L"WatchSharesSeconds", std::to_wstring(state.WatchSharesSeconds)));
  lines.push_back(Setting(station, L"EventLog", state.EventLog.Enabled ? L"true" : L"false"));
  lines.push_back(Setting(station, L"MetricsFile", state.MetricsFile.Path));
  return lines;
}

}  // namespace vt
