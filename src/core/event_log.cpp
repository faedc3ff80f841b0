#include "core/event_log.h"

namespace vt {

void CreateLogLines(Platform& platform) {
  for (int k = 0; k < LogLineCount; ++k) platform.ListAddItem(std::wstring());
}

void LogMessage(Platform& platform, const std::wstring& message) {
  for (int k = LogLineCount - 1; k >= 1; --k) platform.ListSetItem(k, platform.ListItem(k - 1));
  platform.ListSetItem(0, platform.TimeOfDay() + L" " + message);
  platform.DoEvents();
}

}  // namespace vt
