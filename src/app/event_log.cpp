#include "app/event_log.h"

#include "app/main_window.h"

namespace vt {

void CreateLogLines(MainWindow& window) {
  for (int k = 0; k < LogLineCount; ++k) window.platform.ListAddItem(std::wstring());
}

void LogMessage(MainWindow& window, const std::wstring& message) {
  Platform& platform = window.platform;
  for (int k = LogLineCount - 1; k >= 1; --k) platform.ListSetItem(k, platform.ListItem(k - 1));
  platform.ListSetItem(0, platform.TimeOfDay() + L" " + message);
  platform.DoEvents();
}

}  // namespace vt
