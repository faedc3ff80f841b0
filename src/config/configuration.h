// Loading the station's configuration into AppState at start-up.
#pragma once

#include "config/env_vars.h"
#include "core/app_state.h"
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

constexpr std::int16_t DefaultUpdateInterval = 10;

// The three paths, NumberOfMachines and VWStudio from the project profile file.
void LoadProjectSettings(Platform& platform, const EnvVarTable& envVar, AppState& state);

// The machine references, the five share slots, UpdateInterval and the optional
// [Tavisto] settings (LogFile, LogFileSizeKB, RetryAfterFaultSeconds,
// CheckOnNetworkChange, EventLog, MetricsFile) from the customer configuration file. Stops with an
// index error before machine 6, and with an overflow error when UpdateInterval does not fit 16
// bits.
void LoadCustomerConfiguration(Platform& platform, const EnvVarTable& envVar, AppState& state);

}  // namespace vt
