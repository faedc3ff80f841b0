#include "metrics/metrics_text.h"

#include "core/identity.h"
#include "portable/utf8.h"

namespace vt {

namespace {

// What started a check, as the label of vodu_tavisto_checks_total says it.
const char* const TriggerLabels[CheckTriggerCount] = {"start",          "schedule", "retry",
                                                      "network_change", "resume",   "share_lost"};

class Families {
 public:
  void Family(const char* name, const char* type, const char* help) {
    text_ += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
  }
  void Sample(const char* name, const std::string& labels, const std::string& value) {
    text_ += name;
    if (!labels.empty()) text_ += "{" + labels + "}";
    text_ += " " + value + "\n";
  }
  std::string Text() const { return text_; }

 private:
  std::string text_;
};

std::string ShareLabels(int slot, const ShareSlot& share) {
  return "slot=\"" + std::to_string(slot) + "\",drive=\"" + EscapeLabelValue(share.NetDrive) +
         "\",share=\"" + EscapeLabelValue(share.NetAddress) + "\"";
}

void ShareFamilies(const AppState& state, Families& out) {
  bool any = false;
  for (const ShareSlot& share : state.Shares) any = any || !share.NetAddress.empty();
  if (!any) return;  // a family is written with its samples only
  struct Family {
    const char* name;
    const char* type;
    const char* help;
    std::uint64_t (*value)(const ShareSlot&);
  } const families[] = {
      {"vodu_tavisto_share_up", "gauge",
       "Whether the share was reachable at the last check (1) or not (0).",
       [](const ShareSlot& s) -> std::uint64_t { return s.NetOK ? 1 : 0; }},
      {"vodu_tavisto_share_last_error", "gauge",
       "The error number of the share's last failed connect; 0 while the share is up.",
       [](const ShareSlot& s) -> std::uint64_t { return s.NetOK ? 0 : s.LastError; }},
      {"vodu_tavisto_share_connect_failures_total", "counter",
       "Connects of the share that failed since the program started.",
       [](const ShareSlot& s) { return s.ConnectFailures; }},
  };
  for (const Family& family : families) {
    out.Family(family.name, family.type, family.help);
    for (int slot = 1; slot <= ShareSlotCount; ++slot) {
      const ShareSlot& share = state.Shares[slot - 1];
      if (share.NetAddress.empty()) continue;
      out.Sample(family.name, ShareLabels(slot, share), std::to_string(family.value(share)));
    }
  }
}

}  // namespace

std::string EscapeLabelValue(const std::wstring& value) {
  std::string escaped;
  for (const char c : EncodeUtf8(value)) {
    if (c == '\\') {
      escaped += "\\\\";
    } else if (c == '"') {
      escaped += "\\\"";
    } else if (c == '\n') {
      escaped += "\\n";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string SecondsText(std::int64_t ms) {
  const bool negative = ms < 0;
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
  std::string fraction = std::to_string(magnitude % 1000);
  fraction.insert(0, 3 - fraction.size(), '0');
  return (negative ? "-" : "") + std::to_string(magnitude / 1000) + "." + fraction;
}

std::string MetricsText(const AppState& state) {
  Families out;
  ShareFamilies(state, out);
  const CheckRecord& record = state.Record;
  out.Family("vodu_tavisto_checks_total", "counter",
             "Checks since the program started, by what started them.");
  for (int trigger = 0; trigger < CheckTriggerCount; ++trigger) {
    out.Sample("vodu_tavisto_checks_total",
               std::string("trigger=\"") + TriggerLabels[trigger] + "\"",
               std::to_string(record.Checks[trigger]));
  }
  out.Family("vodu_tavisto_last_check_end_timestamp_seconds", "gauge",
             "When the last check ended, in Unix time.");
  out.Sample("vodu_tavisto_last_check_end_timestamp_seconds", "",
             SecondsText(record.LastEndUnixMs));
  out.Family("vodu_tavisto_last_check_duration_seconds", "gauge", "How long the last check took.");
  out.Sample("vodu_tavisto_last_check_duration_seconds", "", SecondsText(record.LastDurationMs));
  out.Family("vodu_tavisto_status_file_write_success", "gauge",
             "Whether the last check could write the status file (1) or not (0).");
  out.Sample("vodu_tavisto_status_file_write_success", "",
             record.StatusFileWrite.Succeeded() ? "1" : "0");
  out.Family("vodu_tavisto_update_interval_seconds", "gauge",
             "The time from the end of one ordinary check to the start of the next.");
  out.Sample("vodu_tavisto_update_interval_seconds", "",
             std::to_string(std::int32_t{state.UpdateInterval} * 60));
  out.Family("vodu_tavisto_build_info", "gauge", "The program's version, in its label.");
  out.Sample("vodu_tavisto_build_info", "version=\"" + EscapeLabelValue(ProgramVersion) + "\"",
             "1");
  return out.Text();
}

}  // namespace vt
