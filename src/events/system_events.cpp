#include "events/system_events.h"

#include "core/event_log.h"
#include "core/identity.h"

namespace vt {

namespace {

void Write(Platform& platform, AppState& state, EventType type, EventId id,
           const std::vector<std::wstring>& strings) {
  const SystemResult written = platform.WriteEventLogEntry(type, id, strings);
  if (written.Succeeded() || state.EventLog.FaultShown) return;
  state.EventLog.FaultShown = true;
  LogMessage(platform, state, L"Fault by event log: " + written.reason);
}

}  // namespace

void ReportStart(Platform& platform, AppState& state) {
  if (!state.EventLog.Enabled) return;
  Write(platform, state, EventType::Information, ProgramStarted, {ProgramVersion});
}

void ReportTransitions(Platform& platform, AppState& state) {
  if (!state.EventLog.Enabled) return;
  for (ShareSlot& slot : state.Shares) {
    if (slot.NetAddress.empty() || !slot.Checked) continue;
    if (!slot.NetOK && !slot.ReportedDown) {
      slot.ReportedDown = true;
      Write(platform, state, EventType::Warning, ShareLost,
            {slot.NetAddress, slot.NetDrive, std::to_wstring(slot.LastError), slot.LastReason});
    } else if (slot.NetOK && slot.ReportedDown) {
      slot.ReportedDown = false;
      Write(platform, state, EventType::Information, ShareRestored,
            {slot.NetAddress, slot.NetDrive});
    }
  }
  EventLogState& log = state.EventLog;
  const SystemResult& write = state.Record.StatusFileWrite;
  const bool written = write.Succeeded();
  if (!written && !log.StatusFileReportedFailing) {
    log.StatusFileReportedFailing = true;
    Write(platform, state, EventType::Warning, StatusFileFailing,
          {state.StatusIniPath, write.reason});
  } else if (written && log.StatusFileReportedFailing) {
    log.StatusFileReportedFailing = false;
    Write(platform, state, EventType::Information, StatusFileWritable, {state.StatusIniPath});
  }
}

void ReportFatalError(Platform& platform, const AppState& state, const std::wstring& message) {
  if (!state.EventLog.Enabled) return;
  try {
    platform.WriteEventLogEntry(EventType::Error, ProgramEnding, {message});
  } catch (...) {  // NOLINT(bugprone-empty-catch): the box still shows what ended the program
  }
}

}  // namespace vt
