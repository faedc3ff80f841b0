#include "config/configuration.h"

#include <algorithm>
#include "config/number_reading.h"
#include "config/profile_access.h"

#include "core/event_log.h"
#include "core/numbered.h"
#include "platform/error.h"

namespace vt {

const wchar_t* const ProgramIniTemplate = L"$VisuDir$\\Parameter\\Program.ini";
const wchar_t* const StatusIniTemplate = L"$VisuDir$\\Documentation\\Documentation_Tavisto.ini";
const wchar_t* const CustomerCfgTemplate = L"$VisuDir$\\Documentation\\Documentation_Customer.cfg";

const wchar_t* const ProjectSection = L"Project";
const wchar_t* const NetAddressSection = L"NetAddress";
const wchar_t* const TavistoSection = L"Tavisto";
const wchar_t* const MachineSectionWord = L"Machine";

ConfigurationError::ConfigurationError(const ProgramError& error, std::wstring file,
                                       std::wstring section, std::wstring key,
                                       std::wstring goOnWith)
    : ProgramError(error.Message(), std::wstring()),
      file_(std::move(file)),
      section_(std::move(section)),
      key_(std::move(key)),
      goOnWith_(std::move(goOnWith)) {}

namespace {

constexpr std::int32_t DefaultLogFileSizeKB = 1024;
// How long a call that may reach a share's server waits for its answer.
constexpr std::int32_t DefaultShareTimeoutSeconds = 30;

void LoadReferences(Platform& platform, AppState& state) {
  const int machines = state.NumberOfMachines;
  for (int m = 1; m <= machines; ++m) {
    if (m > MaxMachines) {
      throw ConfigurationError(
          SubscriptOutOfRange(L"NumberOfMachines is " + std::to_wstring(machines) + L" in " +
                              state.ProgramIniPath + L", at most " + std::to_wstring(MaxMachines) +
                              L" machines are supported"),
          state.ProgramIniPath, ProjectSection, L"NumberOfMachines", std::to_wstring(MaxMachines));
    }
    for (int r = 1; r <= ReferencesPerMachine; ++r) {
      state.Reference[m - 1][r - 1] = ProfileRead(platform, Numbered(MachineSectionWord, m),
                                                  Numbered(L"Reference", r), state.CustomerCfgPath);
    }
  }
}

// DPAPI values are 300 to 600 characters long: they are read whole, up to this.
constexpr std::size_t MaxProtectedValueLength = 4096;

// ProtectedPassword1 to 5, read after everything else of the share slots so that the
// reads of the older keys stay in their order.
void LoadProtectedPasswords(Platform& platform, AppState& state) {
  for (int i = 1; i <= ShareSlotCount; ++i) {
    state.Shares[i - 1].ProtectedPassword =
        platform.ProfileString(NetAddressSection, Numbered(L"ProtectedPassword", i),
                               state.CustomerCfgPath, MaxProtectedValueLength);
  }
}

void LoadShareSlots(Platform& platform, AppState& state) {
  for (int i = 1; i <= ShareSlotCount; ++i) {
    ShareSlot& slot = state.Shares[i - 1];
    const std::wstring& file = state.CustomerCfgPath;
    slot.User = ProfileRead(platform, NetAddressSection, Numbered(L"User", i), file);
    slot.Password = ProfileRead(platform, NetAddressSection, Numbered(L"Password", i), file);
    slot.NetAddress = ProfileRead(platform, NetAddressSection, Numbered(L"NetAddress", i), file);
    slot.NetDrive = ProfileRead(platform, NetAddressSection, Numbered(L"NetDrive", i), file);
  }
}

std::int16_t LoadUpdateInterval(Platform& platform, const AppState& state) {
  const std::wstring text =
      ProfileRead(platform, NetAddressSection, L"UpdateInterval", state.CustomerCfgPath);
  std::int16_t minutes = 0;
  try {
    minutes = RoundToInt16(ReadLeadingNumber(text),
                           L"UpdateInterval \"" + text + L"\" in " + state.CustomerCfgPath);
  } catch (const ProgramError& error) {
    // Past it, the interval no value gives.
    throw ConfigurationError(error, state.CustomerCfgPath, NetAddressSection, L"UpdateInterval",
                             std::wstring());
  }
  return minutes < 1 ? DefaultUpdateInterval : minutes;
}

// The optional [Tavisto] settings. Values that make no sense take their defaults: a
// size that is not a positive number of KB is 1024 KB, a retry that is not a positive
// number of seconds is none, a retry longer than the interval is the interval, a share
// timeout that is not a positive number of seconds is 30 s, and a watch between checks
// that is not a positive number of seconds is none (and none comes more often than a
// listing of a drive can tell more than the one before it).
void LoadTavistoSettings(Platform& platform, const EnvVarTable& envVar, AppState& state) {
  const std::wstring& file = state.CustomerCfgPath;
  const std::wstring logFile = ProfileRead(platform, TavistoSection, L"LogFile", file);
  std::int32_t sizeKB =
      platform.ProfileInt(TavistoSection, L"LogFileSizeKB", DefaultLogFileSizeKB, file);
  if (sizeKB <= 0) sizeKB = DefaultLogFileSizeKB;
  ConfigureLogFile(platform, state,
                   logFile.empty() ? std::wstring() : ExpandPlaceholders(platform, envVar, logFile),
                   static_cast<std::uint64_t>(sizeKB) * 1024);
  const std::int32_t retry =
      platform.ProfileInt(TavistoSection, L"RetryAfterFaultSeconds", 0, file);
  state.RetryAfterFaultSeconds = std::clamp<std::int32_t>(retry, 0, state.UpdateInterval * 60);
  state.CheckOnNetworkChange =
      ProfileReadBool(platform, TavistoSection, L"CheckOnNetworkChange", file);
  const std::int32_t timeout =
      platform.ProfileInt(TavistoSection, L"ShareTimeoutSeconds", DefaultShareTimeoutSeconds, file);
  state.ShareTimeoutSeconds = timeout > 0 ? timeout : DefaultShareTimeoutSeconds;
  const std::int32_t watch = platform.ProfileInt(TavistoSection, L"WatchSharesSeconds", 0, file);
  state.WatchSharesSeconds =
      watch > 0 ? std::max(watch, platform.ShortestListingIntervalSeconds()) : 0;
  state.EventLog.Enabled = ProfileReadBool(platform, TavistoSection, L"EventLog", file);
  const std::wstring metricsFile = ProfileRead(platform, TavistoSection, L"MetricsFile", file);
  if (!metricsFile.empty())
    state.MetricsFile.Path = ExpandPlaceholders(platform, envVar, metricsFile);
}

}  // namespace

void LoadProjectSettings(Platform& platform, const EnvVarTable& envVar, AppState& state) {
  state.ProgramIniPath = ExpandPlaceholders(platform, envVar, ProgramIniTemplate);
  state.StatusIniPath = ExpandPlaceholders(platform, envVar, StatusIniTemplate);
  state.CustomerCfgPath = ExpandPlaceholders(platform, envVar, CustomerCfgTemplate);
  state.NumberOfMachines =
      ProfileReadInt(platform, ProjectSection, L"NumberOfMachines", state.ProgramIniPath);
  state.VWStudio = ProfileReadBool(platform, ProjectSection, L"VWStudio", state.ProgramIniPath);
}

void LoadCustomerConfiguration(Platform& platform, const EnvVarTable& envVar, AppState& state) {
  LoadReferences(platform, state);
  LoadShareSlots(platform, state);
  state.UpdateInterval = LoadUpdateInterval(platform, state);
  LoadProtectedPasswords(platform, state);
  LoadTavistoSettings(platform, envVar, state);
}

}  // namespace vt
