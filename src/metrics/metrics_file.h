// The optional metrics file (MetricsFile) for the plant's Prometheus: replaced after
// every check, written whole or not at all through the platform's atomic writer.
#pragma once

#include "core/app_state.h"
#include "platform/platform.h"

namespace vt {

// Writes the metrics file when the station has one. One that cannot be written is said
// once, "Fault by metrics file: <file>: <reason>", and again only after it has worked in
// between; it is no share fault and changes nothing else.
void WriteMetricsFile(Platform& platform, AppState& state);

}  // namespace vt
