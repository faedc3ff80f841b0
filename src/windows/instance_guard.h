// The single-instance guard: a starting copy ends when another top-level window's
// title holds the program's marker, such as the main window of a copy that runs.
#pragma once

#include <string>

namespace vt {

struct MainWindow;

// Whether an upper-cased title holds "VODU TAVISTO" (the caption upper-cased) or
// "DOCU TAVISTO", anywhere in it.
bool TitleHoldsMarker(const std::wstring& upperTitle);

// Records the titles of the other top-level windows: those below the main window,
// nearest first, then those above it.
void CollectWindowTitles(MainWindow& window);

// Ends the process at once when a recorded title holds a marker; returns otherwise.
void FindOtherInstance(MainWindow& window);

}  // namespace vt
