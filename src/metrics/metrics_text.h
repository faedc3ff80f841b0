// The metrics file's text, in the Prometheus text format (version 0.0.4) that the
// textfile collectors of windows_exporter and node_exporter read: UTF-8 without a
// byte-order mark, LF line ends and a final one, "# HELP" and "# TYPE" for every family,
// no sample timestamps, numbers in the C locale whatever the station's regional
// settings. The names and labels are a contract with the plant's dashboards and alert
// rules (examples/prometheus/). Never a user name, never a password.
#pragma once

#include <cstdint>
#include <string>

#include "core/app_state.h"

namespace vt {

std::string MetricsText(const AppState& state);

// A label value as the format wants it: backslash, double quote and line feed escaped.
std::string EscapeLabelValue(const std::wstring& value);

// Milliseconds as seconds with three decimals ("1796630400.123"), in the C locale.
std::string SecondsText(std::int64_t ms);

}  // namespace vt
