#include "windows/instance_guard.h"

#include "app/main_window.h"
#include "app/text.h"

namespace vt {

namespace {

// GetWindowTextA is given 254 places, NUL included, so at most 253 characters are read.
constexpr int TitleCapacity = 254;

// The window system holds at most 65536 user objects; a walk longer than that can only
// come from an order that keeps changing under it.
constexpr int MaxWalkLength = 65536;

const wchar_t* const ForeignMarker = L"DOCU TAVISTO";

void RecordTitledWindow(MainWindow& window, WindowHandle handle) {
  const std::wstring title = window.platform.WindowTitle(handle, TitleCapacity);
  if (title.empty()) return;
  AppState& state = window.state;
  state.WindowTable.push_back({UpperCase(title.substr(0, TitleCapacity - 1)), handle});
  ++state.NextWindowSlot;
}

void Walk(MainWindow& window, WindowHandle mainWindow, StackDirection direction) {
  WindowHandle current = mainWindow;
  for (int step = 0; step < MaxWalkLength; ++step) {
    current = window.platform.AdjacentWindow(current, direction);
    // Meeting the main window again means the order changed under the walk; the
    // program's own window is never recorded, so it cannot end itself.
    if (current == 0 || current == mainWindow) return;
    RecordTitledWindow(window, current);
  }
}

}  // namespace

bool TitleHoldsMarker(const std::wstring& upperTitle) {
  static const std::wstring ownMarker = UpperCase(MainWindowCaption);
  return upperTitle.find(ownMarker) != std::wstring::npos ||
         upperTitle.find(ForeignMarker) != std::wstring::npos;
}

void CollectWindowTitles(MainWindow& window) {
  AppState& state = window.state;
  state.WindowTable.clear();
  state.NextWindowSlot = 1;
  const WindowHandle mainWindow = window.platform.MainWindowHandle();
  Walk(window, mainWindow, StackDirection::Next);
  Walk(window, mainWindow, StackDirection::Previous);
}

void FindOtherInstance(MainWindow& window) {
  for (const WindowEntry& entry : window.state.WindowTable) {
    if (TitleHoldsMarker(entry.Title)) window.platform.EndProcess();
  }
}

}  // namespace vt
