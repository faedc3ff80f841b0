// The watch on the visualisation window: the program ends when that window goes away.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "sim/station.h"

namespace vt::sim {
namespace {

const char* const StudioProject = "[Project]\r\nVWStudio=true\r\n";

TEST(WindowWatch, IsArmedWhenTheStudioWindowExistsAndEndsTheProgramWhenItCloses) {
  Station station;
  station.Project(StudioProject);
  const WindowHandle studio = station.platform.OpenWindow(L"DERuvezo");
  station.Start();
  EXPECT_EQ(station.window.state.WatchedWindowTitle, L"DERuvezo");
  EXPECT_TRUE(station.platform.TimerEnabled(TimerId::WatchTimer));
  station.platform.At(Seconds(7), [&] { station.platform.CloseWindow(studio); });
  station.platform.RunFor(Minutes(1));
  EXPECT_TRUE(station.platform.Ended());
  EXPECT_EQ(station.platform.EndedAt(), Seconds(8));  // the next 2-second poll
}

TEST(WindowWatch, AWindowSystemWithoutAnswerEndsNothingUntilItHasAnsweredNoneFor30s) {
  const struct {
    Millis silentFor;
    Millis endedAt;                                           // 0: runs on
  } cases[] = {{Seconds(20), 0}, {Minutes(5), Seconds(32)}};  // the last answer at 2 s
  for (const auto& each : cases) {
    Station station;
    station.platform.OpenWindow(L"Vwwebbrowser");
    station.Start();
    station.platform.At(Seconds(3), [&] { station.platform.SilenceWindowSystem(true); });
    station.platform.At(Seconds(3) + each.silentFor,
                        [&] { station.platform.SilenceWindowSystem(false); });
    station.platform.RunFor(Minutes(6));
    EXPECT_EQ(station.platform.Ended() ? station.platform.EndedAt() : 0, each.endedAt);
  }
  // Silent at start-up: the watch is not armed.
  Station station;
  station.platform.OpenWindow(L"Vwwebbrowser");
  station.platform.SilenceWindowSystem(true);
  station.Start();
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::WatchTimer));
}

TEST(WindowWatch, WithoutStudioOnlyTheBrowserWindowCounts) {
  Station station;
  station.platform.OpenWindow(L"DERuvezo");
  station.Start();
  EXPECT_EQ(station.window.state.WatchedWindowTitle, L"Vwwebbrowser");
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::WatchTimer));
}

TEST(WindowWatch, WithStudioTheBrowserWindowIsIgnored) {
  Station station;
  station.Project(StudioProject);
  station.platform.OpenWindow(L"Vwwebbrowser");
  station.Start();
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::WatchTimer));
}

TEST(WindowWatch, AWindowOpenedAfterStartUpNeverArmsIt) {
  Station station;
  station.Start();
  const WindowHandle browser = station.platform.OpenWindow(L"Vwwebbrowser");
  station.platform.RunFor(Minutes(1));
  station.platform.CloseWindow(browser);
  station.platform.RunFor(Minutes(1));
  EXPECT_FALSE(station.platform.Ended());
}

TEST(WindowWatch, ANewWindowWithTheSameTitleBeforeTheNextPollKeepsItRunning) {
  Station station;
  const WindowHandle first = station.platform.OpenWindow(L"Vwwebbrowser");
  station.Start();
  station.platform.At(Seconds(3), [&] {
    station.platform.CloseWindow(first);
    station.platform.OpenWindow(L"vwwebbrowser");  // titles match whole and case-blind
  });
  station.platform.RunFor(Minutes(1));
  EXPECT_FALSE(station.platform.Ended());
}

TEST(WindowWatch, TheTitleInsideALongerTitleDoesNotCount) {
  Station station;
  station.platform.OpenWindow(L"Vwwebbrowser - page");
  station.Start();
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::WatchTimer));
}

TEST(WindowWatch, AHandleWithItsTopBitSetCountsAsNotFound) {
  Station station;
  station.platform.SetNextHandle(0x80000010u);
  station.platform.OpenWindow(L"Vwwebbrowser");
  station.Start();
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::WatchTimer));
}

TEST(WindowWatch, ATickCountsOnlyNoWindowAsGoneAlsoAHandleWithItsTopBitSet) {
  Station station;
  const WindowHandle first = station.platform.OpenWindow(L"Vwwebbrowser");
  station.Start();
  ASSERT_TRUE(station.platform.TimerEnabled(TimerId::WatchTimer));
  station.platform.At(Seconds(3), [&] {
    station.platform.CloseWindow(first);
    station.platform.SetNextHandle(0x80000010u);
    station.platform.OpenWindow(L"Vwwebbrowser");
  });
  station.platform.RunFor(Minutes(1));
  EXPECT_FALSE(station.platform.Ended());
}

TEST(WindowWatch, ClosingInTheMiddleOfACycleEndsItThereAndKeepsWhatWasWritten) {
  Station station;
  station.Project("[Project]\r\nNumberOfMachines=1\r\n");
  station.Customer(
      "[Machine1]\r\nReference1=\\\\srv\\a\\m\r\nReference2=\\\\srv\\b\\m\r\n"
      "[NetAddress]\r\nNetAddress1=\\\\srv\\a\r\nNetDrive1=K\r\nNetAddress2="
      "\\\\srv\\b\r\nNetDrive2=L\r\n");
  station.platform.PutFile(StatusIni, "[Machine1]\r\nNetOK2=old\r\n");
  station.platform.SetDrive(L"K:\\", PresentDrive());
  // The second share's listing blocks 5 s; the browser closes meanwhile, and the poll
  // that runs inside the next log line ends the program.
  station.platform.SetDrive(L"L:\\", {DriveRoot::Empty, Seconds(5)});
  const WindowHandle browser = station.platform.OpenWindow(L"Vwwebbrowser");
  station.platform.At(Seconds(1), [&] { station.platform.CloseWindow(browser); });
  station.Start();
  station.platform.BeforeWindowWalkStep(nullptr);
  station.platform.RunFor(50);  // the first cycle starts
  EXPECT_TRUE(station.platform.Ended());
  EXPECT_EQ(station.Messages().back(), L"Generate: \\\\srv\\b");
  EXPECT_EQ(station.Status(), "[Machine1]\r\nNetOK2=old\r\nNetOK1=true\r\n");
  EXPECT_TRUE(station.platform.Connects().empty());
}

}  // namespace
}  // namespace vt::sim
