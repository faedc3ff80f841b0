// The station's directory variables, and placeholders ("$VisuDir$") in paths.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace vt {

constexpr int EnvVarRowCount = 20;
// The lookup of a directory variable has room for 4095 characters and the terminating
// zero.
constexpr std::size_t MaxEnvironmentValueLength = 4095;

struct EnvVarRow {
  std::wstring Name;
  std::wstring Value;
};

// Rows 1 to 20 are EnvVar[0] to EnvVar[19]; rows 11 to 20 stay empty.
using EnvVarTable = std::array<EnvVarRow, EnvVarRowCount>;

// Fills rows 1 to 10 with their names and defaults, then resolves them in row order.
void InitDirectoryVariables(Platform& platform, EnvVarTable& envVar);

// Replaces the value of `row` (1 to 20) by the environment variable of the same name
// when that is set and not empty.
void ResolveDirectoryVariable(Platform& platform, EnvVarTable& envVar, std::int16_t row);

// Replaces each "$name$" whose name matches a row (case-blind) by that row's value.
std::wstring ExpandPlaceholders(Platform& platform, const EnvVarTable& envVar,
                                const std::wstring& text);

}  // namespace vt
