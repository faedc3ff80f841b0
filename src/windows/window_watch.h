// The watch on the visualisation window: the program ends when it goes away.
#pragma once

namespace vt {

struct MainWindow;

extern const wchar_t* const StudioWindowTitle;   // watched when VWStudio is true
extern const wchar_t* const BrowserWindowTitle;  // watched otherwise

// Chooses the watched title and arms the 2-second poll when that window exists now.
void ArmWindowWatch(MainWindow& window);

// The poll: shuts the program down when no window has the watched title any more.
void TimerWebBrowser_Timer(MainWindow& window);

}  // namespace vt
