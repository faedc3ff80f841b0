#include "windows/instance_guard.h"

#include "core/identity.h"

namespace vt {

namespace {

// The title is read into a buffer of 254 places, NUL included: at most 253 characters.
constexpr int TitleCapacity = 254;

// The window system holds at most 65536 user objects; a walk longer than that can only
// come from an order that keeps changing under it.
constexpr int MaxWalkLength = 65536;

const wchar_t* const ForeignMarker = L"DOCU TAVISTO";

void RecordTitledWindow(Platform& platform, AppState& state, WindowHandle handle) {
  const std::wstring title = platform.WindowTitle(handle, TitleCapacity);
  if (title.empty()) return;
  state.WindowTable.push_back({platform.UpperCase(title.substr(0, TitleCapacity - 1)), handle});
}

void Walk(Platform& platform, AppState& state, WindowHandle mainWindow, StackDirection direction) {
  WindowHandle current = mainWindow;
  for (int step = 0; step < MaxWalkLength; ++step) {
    current = platform.AdjacentWindow(current, direction);
    // Meeting the main window again means the order changed under the walk; the
    // program's own window is never recorded, so it cannot end itself.
    if (current == 0 || current == mainWindow) return;
    RecordTitledWindow(platform, state, current);
  }
}

}  // namespace

bool TitleHoldsMarker(Platform& platform, const std::wstring& upperTitle) {
  return upperTitle.find(platform.UpperCase(MainWindowCaption)) != std::wstring::npos ||
         upperTitle.find(ForeignMarker) != std::wstring::npos;
}

void CollectWindowTitles(Platform& platform, AppState& state) {
  state.WindowTable.clear();
  const WindowHandle mainWindow = platform.MainWindowHandle();
  Walk(platform, state, mainWindow, StackDirection::Below);
  Walk(platform, state, mainWindow, StackDirection::Above);
}

bool FindOtherInstance(Platform& platform, const AppState& state) {
  for (const WindowEntry& entry : state.WindowTable) {
    if (TitleHoldsMarker(platform, entry.Title)) return true;
  }
  return false;
}

}  // namespace vt
