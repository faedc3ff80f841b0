// Loading the station's configuration into AppState at start-up.
#pragma once

#include <string>

#include "config/env_vars.h"
#include "core/app_state.h"
#include "platform/error.h"
#include "platform/platform.h"

namespace vt {

// Path templates of the three files; "$VisuDir$" is the station's folder.
extern const wchar_t* const ProgramIniTemplate;
extern const wchar_t* const StatusIniTemplate;
extern const wchar_t* const CustomerCfgTemplate;

// The sections the program reads: [Project] of the project file, [NetAddress] and
// [Tavisto] of the customer file (beside [Machine1] to [Machine5]).
extern const wchar_t* const ProjectSection;
extern const wchar_t* const NetAddressSection;
extern const wchar_t* const TavistoSection;
// The sections of the machines' references: Machine1 to Machine5.
extern const wchar_t* const MachineSectionWord;

// A value that stops the program at start-up, with the place it was read from: the
// same error, message and all, as the program's own; a check of the files puts it on
// that key's line, and goes on with what the program reads for the key up to there.
class ConfigurationError : public ProgramError {
 public:
  ConfigurationError(const ProgramError& error, std::wstring file, std::wstring section,
                     std::wstring key, std::wstring goOnWith);
  const std::wstring& File() const { return file_; }
  const std::wstring& Section() const { return section_; }
  const std::wstring& Key() const { return key_; }
  // The value that reads past the error: as far as the program gets with this key.
  const std::wstring& GoOnWith() const { return goOnWith_; }

 private:
  std::wstring file_;
  std::wstring section_;
  std::wstring key_;
  std::wstring goOnWith_;
};

constexpr std::int16_t DefaultUpdateInterval = 10;

// The three paths, NumberOfMachines and VWStudio from the project profile file.
void LoadProjectSettings(Platform& platform, const EnvVarTable& envVar, AppState& state);

// The machine references, the five share slots, UpdateInterval and the optional
// [Tavisto] settings (LogFile, LogFileSizeKB, RetryAfterFaultSeconds, CheckOnNetworkChange,
// ShareTimeoutSeconds, WatchSharesSeconds, EventLog, MetricsFile) from the customer
// configuration file. Stops with an index error before machine 6, and with an overflow
// error when UpdateInterval does not fit 16 bits: each a ConfigurationError.
void LoadCustomerConfiguration(Platform& platform, const EnvVarTable& envVar, AppState& state);

}  // namespace vt
