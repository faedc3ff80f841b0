#include "metrics/metrics_file.h"

#include "core/event_log.h"
#include "metrics/metrics_text.h"

namespace vt {

void WriteMetricsFile(Platform& platform, AppState& state) {
  MetricsFileState& metrics = state.MetricsFile;
  if (metrics.Path.empty()) return;
  const SystemResult written = platform.WriteWholeFile(metrics.Path, MetricsText(state));
  if (written.Succeeded()) {
    metrics.FaultShown = false;
    return;
  }
  if (metrics.FaultShown) return;
  metrics.FaultShown = true;
  LogMessage(platform, state, L"Fault by metrics file: " + metrics.Path + L": " + written.reason);
}

}  // namespace vt
