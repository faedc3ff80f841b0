// The main window: its creation, the start-up order, the event log, and the ways the
// process ends.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/event_log.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;

TEST(MainWindowCreation, HasTheCaptionColourSizeControlsAndDisabledTimers) {
  Station station;
  station.Start();
  const WindowProperties& properties = station.platform.Properties();
  EXPECT_EQ(properties.caption, L"Vodu Tavisto");
  EXPECT_EQ(properties.backgroundRgb, 0xC0C0C0u);
  EXPECT_EQ(properties.clientSize.width, 7440);
  EXPECT_EQ(properties.clientSize.height, 2490);
  EXPECT_EQ(properties.exitButtonCaption, L"Exit");
  // The controls until the first layout: left, top, width, height in twips.
  const TwipsRect& list = properties.logListRect;
  const TwipsRect& button = properties.exitButtonRect;
  EXPECT_EQ(std::vector<double>({list.left, list.top, list.width, list.height}),
            std::vector<double>({60, 150, 5325, 1815}));
  EXPECT_EQ(std::vector<double>({button.left, button.top, button.width, button.height}),
            std::vector<double>({5085, 2085, 990, 330}));
  EXPECT_EQ(properties.timers[0].intervalMs, 50u);
  EXPECT_EQ(properties.timers[1].intervalMs, 60000u);
  EXPECT_EQ(properties.timers[2].intervalMs, 2000u);
  // Start-up enables the start timer only; the others wait for their owners.
  EXPECT_TRUE(station.platform.TimerEnabled(TimerId::StartTimer));
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::UpdateTimer));
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::WatchTimer));
  EXPECT_TRUE(station.platform.WindowShown());
}

TEST(StartUp, FillsFiftyEmptyLinesThenLogsInitialisizeOnTop) {
  Station station;
  station.Start();
  const std::vector<std::wstring>& items = station.platform.Items();
  ASSERT_EQ(items.size(), 50u);
  EXPECT_EQ(items[0], L"08:00:00 Initialisize");
  for (std::size_t k = 1; k < items.size(); ++k) EXPECT_EQ(items[k], L"") << k;
}

TEST(StartUp, RunsItsStepsInTheFixedOrder) {
  Station station;
  station.Start();
  std::vector<std::wstring> steps;
  for (const std::wstring& call : station.platform.Trace()) {
    for (const wchar_t* step :
         {L"DoEvents", L"GetWindow below", L"EnvironmentVariable WinDir", L"ProfileInt Project",
          L"FindWindow", L"ProfileString NetAddress User1", L"EnableTimer StartTimer on",
          L"ShowMainWindow"}) {
      if (call.rfind(step, 0) == 0 && (steps.empty() || steps.back() != step))
        steps.push_back(step);
    }
  }
  EXPECT_THAT(steps,
              ElementsAre(L"DoEvents", L"GetWindow below", L"EnvironmentVariable WinDir",
                          L"ProfileInt Project", L"FindWindow", L"ProfileString NetAddress User1",
                          L"EnableTimer StartTimer on", L"ShowMainWindow"));
}

TEST(EventLog, TheFiftyFirstMessagePushesOutTheFirst) {
  Station station;
  station.Start();
  for (int i = 1; i <= 50; ++i)
    LogMessage(station.platform, station.window.state, L"message " + std::to_wstring(i));
  const std::vector<std::wstring>& items = station.platform.Items();
  ASSERT_EQ(items.size(), 50u);
  EXPECT_EQ(items[0], L"08:00:00 message 50");
  // "Initialisize" was the first of 51 messages: it is gone, the second is last.
  EXPECT_EQ(items[49], L"08:00:00 message 1");
}

TEST(EventLog, AnEmptyMessageStillGivesTheTimeAndOneBlank) {
  Station station;
  station.Start();
  LogMessage(station.platform, station.window.state, L"");
  EXPECT_EQ(station.platform.Items()[0], L"08:00:00 ");
  EXPECT_EQ(station.platform.Items()[1], L"08:00:00 Initialisize");
}

TEST(EventLog, PendingEventsRunBeforeLogMessageReturns) {
  Station station;
  station.Start();
  bool ran = false;
  station.platform.At(0, [&] { ran = true; });
  LogMessage(station.platform, station.window.state, L"line");
  EXPECT_TRUE(ran);
}

TEST(EventLog, StampsEachLineWithTheTimeItWasLogged) {
  Station station;
  station.Start();
  station.platform.RunFor(Seconds(3723));
  LogMessage(station.platform, station.window.state, L"later");
  EXPECT_EQ(station.platform.Items()[0], L"09:02:03 later");
}

TEST(ShutDown, ExitEndsTheProcessAndNoFurtherHandlerRuns) {
  Station station;
  station.Start();
  bool ranAfterwards = false;
  station.platform.At(10, [&] { station.platform.ClickExit(); });
  station.platform.At(20, [&] { ranAfterwards = true; });
  station.platform.RunFor(Seconds(1));
  EXPECT_TRUE(station.platform.Ended());
  EXPECT_EQ(station.platform.EndedAt(), 10);
  EXPECT_FALSE(ranAfterwards);
  // The first cycle (due at 50 ms) never ran.
  EXPECT_THAT(station.Messages(), ElementsAre(L"Initialisize"));
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::StartTimer));
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::UpdateTimer));
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::WatchTimer));
}

TEST(ShutDown, TheWindowsTeardownEndsTheProcessTheSameWay) {
  Station station;
  station.Start();
  station.platform.At(10, [&] { station.platform.DestroyMainWindow(); });
  station.platform.RunFor(Minutes(5));
  EXPECT_TRUE(station.platform.Ended());
  EXPECT_EQ(station.platform.EndedAt(), 10);
  EXPECT_THAT(station.platform.TraceStartingWith(L"EnableTimer"),
              ElementsAre(L"EnableTimer StartTimer on", L"EnableTimer StartTimer off",
                          L"EnableTimer UpdateTimer off", L"EnableTimer WatchTimer off",
                          L"EnableTimer RetryTimer off", L"EnableTimer ChangeTimer off",
                          L"EnableTimer ShareWatchTimer off"));
}

TEST(UncaughtError, IsReportedNamingTheErrorAndEndsTheProcess) {
  Station station;
  station.Project("[Project]\r\nNumberOfMachines=7\r\n");
  station.Start();
  EXPECT_TRUE(station.platform.Ended());
  ASSERT_EQ(station.platform.ReportedErrors().size(), 1u);
  const std::wstring& message = station.platform.ReportedErrors()[0];
  EXPECT_THAT(message, ::testing::StartsWith(L"Subscript out of range: NumberOfMachines is 7"));
  EXPECT_THAT(message, ::testing::HasSubstr(L"at most 5 machines"));
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::StartTimer));
  EXPECT_FALSE(station.platform.WindowShown());
}

// A real box runs a message loop of its own until it is dismissed: the window's ticks
// (the next check, the window watch, a network change) and its teardown still arrive.
TEST(UncaughtError, WhileItsBoxShowsNothingElseRunsAndTheProcessEndsAfterIt) {
  Station station;
  station.Customer(
      "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nUpdateInterval=1\r\n"
      "[Tavisto]\r\nCheckOnNetworkChange=True\r\n");
  station.platform.SetDrive(L"K:\\", PresentDrive());
  const WindowHandle browser = station.platform.OpenWindow(L"Vwwebbrowser");
  station.platform.FailLogLinesContaining(L"Checking ready", 100);  // after the guarded steps
  station.platform.ErrorBoxShowsFor(Minutes(5));
  station.platform.NetworkChangesAt(Seconds(30));
  station.platform.At(Seconds(60), [&] { station.platform.CloseWindow(browser); });
  station.platform.At(Seconds(90), [&] { station.platform.DestroyMainWindow(); });
  station.Start();
  station.platform.RunFor(Minutes(10));
  ASSERT_TRUE(station.platform.Ended());
  EXPECT_GE(station.platform.EndedAt(), Minutes(5));  // when the box was dismissed
  const std::vector<std::wstring>& trace = station.platform.Trace();
  const auto box = std::find_if(trace.begin(), trace.end(), [](const std::wstring& line) {
    return line.rfind(L"ReportUncaughtError", 0) == 0;
  });
  ASSERT_NE(box, trace.end());
  EXPECT_THAT(std::vector<std::wstring>(box + 1, trace.end()),
              ElementsAre(L"DestroyMainWindow", L"EndProcess"));
}

}  // namespace
}  // namespace vt::sim
