// Entries in the Windows Event Log: the Application log, source "Vodu Tavisto". The
// message table compiled into the program (resources/VoduTavisto.mc) gives them their
// sentences once an administrator has registered the source; the program never writes
// the registry itself.
#include "platform/win32/win32_platform.h"

namespace vt::win32 {

namespace {

const wchar_t* const EventSourceName = L"Vodu Tavisto";

WORD EventTypeOf(EventType type) {
  switch (type) {
    case EventType::Warning:
      return EVENTLOG_WARNING_TYPE;
    case EventType::Error:
      return EVENTLOG_ERROR_TYPE;
    case EventType::Information:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

}  // namespace

SystemResult Win32Platform::WriteEventLogEntry(EventType type, std::uint32_t eventId,
                                               const std::vector<std::wstring>& strings) {
  if (eventSource_ == nullptr) {
    eventSource_ = ::RegisterEventSourceW(nullptr, EventSourceName);
    if (eventSource_ == nullptr) return CallFailure(L"RegisterEventSourceW", ::GetLastError());
  }
  std::vector<LPCWSTR> texts;
  for (const std::wstring& text : strings) texts.push_back(text.c_str());
  if (!::ReportEventW(eventSource_, EventTypeOf(type), 0, eventId, nullptr,
                      static_cast<WORD>(texts.size()), 0, texts.empty() ? nullptr : texts.data(),
                      nullptr)) {
    return CallFailure(L"ReportEventW", ::GetLastError());
  }
  return {};
}

}  // namespace vt::win32
