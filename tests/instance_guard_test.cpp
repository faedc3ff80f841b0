// The single-instance guard: a starting copy ends when another window holds the marker.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/station.h"
#include "windows/instance_guard.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;

// Whether a copy starting beside windows with these titles keeps running.
bool Survives(const std::vector<std::wstring>& titles) {
  Station station;
  for (const std::wstring& title : titles) station.platform.OpenWindow(title);
  station.Start();
  return !station.platform.Ended();
}

TEST(InstanceGuard, ARunningCopyEndsTheNewOneBeforeAnyFileIsRead) {
  Station station;
  station.platform.OpenWindow(L"Vodu Tavisto");
  station.Start();
  EXPECT_TRUE(station.platform.Ended());
  EXPECT_THAT(station.Messages(), ElementsAre(L"Initialisize"));  // in its own, unshown list
  EXPECT_FALSE(station.platform.WindowShown());
  EXPECT_TRUE(station.platform.TraceStartingWith(L"EnvironmentVariable").empty());
  EXPECT_TRUE(station.platform.TraceStartingWith(L"ProfileGet").empty());
  EXPECT_TRUE(station.platform.ReportedErrors().empty());
}

TEST(InstanceGuard, EitherMarkerInAnyCaseAndAnywhereInTheTitleEndsTheNewCopy) {
  EXPECT_FALSE(Survives({L"Vodu Tavisto"}));
  EXPECT_FALSE(Survives({L"Notes", L"about docu tavisto.txt - Editor"}));
  EXPECT_FALSE(Survives({L"xxVoDu TaViStOxx"}));
  EXPECT_TRUE(Survives({L"Notes", L"DOCUTAVISTO", L"DOCU  TAVISTO", L"Vodu-Tavisto"}));
  EXPECT_TRUE(Survives({}));
}

TEST(InstanceGuard, OnlyTheFirst253CharactersOfATitleAreRead) {
  EXPECT_FALSE(Survives({std::wstring(241, L'x') + L"DOCU TAVISTO"}));
  EXPECT_TRUE(Survives({std::wstring(242, L'x') + L"DOCU TAVISTO"}));
}

TEST(InstanceGuard, RecordsWindowsBelowThenAboveTheMainWindowAndSkipsUntitledOnes) {
  Station station;
  station.platform.OpenWindow(L"below far");
  station.platform.OpenWindow(L"below near");
  station.platform.OpenWindow(L"");
  station.Start();
  station.platform.OpenWindow(L"above far");
  station.platform.OpenWindow(L"above near");
  station.platform.PlaceMainWindow(2);
  CollectWindowTitles(station.platform, station.window.state);
  std::vector<std::wstring> titles;
  for (const WindowEntry& entry : station.window.state.WindowTable) titles.push_back(entry.Title);
  EXPECT_THAT(titles, ElementsAre(L"BELOW NEAR", L"BELOW FAR", L"ABOVE FAR", L"ABOVE NEAR"));
}

TEST(InstanceGuard, ADesktopWithNoTitledWindowLeavesTheTableEmpty) {
  Station station;
  station.platform.OpenWindow(L"");
  station.Start();
  EXPECT_FALSE(station.platform.Ended());
  EXPECT_TRUE(station.window.state.WindowTable.empty());
}

TEST(InstanceGuard, ABusyDesktopWithFifteenHundredWindowsStillStarts) {
  std::vector<std::wstring> titles;
  for (int i = 0; i < 1500; ++i) titles.push_back(L"tool window " + std::to_wstring(i));
  EXPECT_TRUE(Survives(titles));
}

TEST(InstanceGuard, TheMainWindowMetAgainDuringTheWalkIsNeverRecorded) {
  Station station;
  const WindowHandle other = station.platform.OpenWindow(L"other");
  // The order changes under the walk: after the first step down the main window sinks
  // below the other one, so the next step down meets the main window again.
  station.platform.BeforeWindowWalkStep([&](int step) {
    if (step == 2) station.platform.PlaceMainWindow(1);
  });
  station.Start();
  EXPECT_FALSE(station.platform.Ended());
  ASSERT_FALSE(station.window.state.WindowTable.empty());
  for (const WindowEntry& entry : station.window.state.WindowTable) EXPECT_EQ(entry.Handle, other);
}

}  // namespace
}  // namespace vt::sim
