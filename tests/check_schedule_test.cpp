// When check cycles run, over virtual hours.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <algorithm>

#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;

// The virtual times at which cycles started (their "Checking: " line).
std::vector<Millis> CycleStarts(Station& station, Millis until) {
  std::vector<Millis> starts;
  station.platform.SetDrive(L"K:\\", PresentDrive());
  station.Start();
  std::size_t seen = 0;
  while (station.platform.Now() < until && !station.platform.Ended()) {
    station.platform.RunFor(10);
    const auto calls = station.platform.TraceStartingWith(L"ListDriveRoot");
    if (calls.size() > seen) {
      starts.push_back(station.platform.Now());
      seen = calls.size();
    }
  }
  return starts;
}

Station WithInterval(const std::string& interval) {
  Station station;
  station.Customer("[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nUpdateInterval=" +
                   interval + "\r\n");
  return station;
}

TEST(Schedule, TheFirstCycleRuns50msAfterStartUpThenEveryIntervalAfterTheLastEnded) {
  Station station = WithInterval("3");
  const std::vector<Millis> starts = CycleStarts(station, Minutes(10));
  EXPECT_THAT(starts, ElementsAre(50, 50 + Minutes(3), 50 + Minutes(6), 50 + Minutes(9)));
}

TEST(Schedule, AMissingIntervalMeansTenMinutes) {
  Station station = WithInterval("");
  EXPECT_THAT(CycleStarts(station, Minutes(25)),
              ElementsAre(50, 50 + Minutes(10), 50 + Minutes(20)));
}

TEST(Schedule, ALongCycleAddsToThePeriodAndCountsNoTick) {
  Station station;
  // A connect may take two minutes here before it counts as no answer.
  station.Customer(
      "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nUpdateInterval=3\r\n"
      "[Tavisto]\r\nShareTimeoutSeconds=120\r\n");
  station.platform.SetDrive(L"K:\\", EmptyDrive());
  station.platform.SetConnect([](const ConnectCall&) { return 0u; }, Seconds(90));
  station.Start();
  station.platform.RunFor(Minutes(10));
  std::vector<Millis> connects;
  for (const ConnectCall& call : station.platform.Connects()) connects.push_back(call.at);
  // Each cycle blocks 90 s in its connect; the next starts 3 minutes after it ended.
  const Millis period = Minutes(3) + Seconds(90);
  EXPECT_THAT(connects, ElementsAre(50, 50 + period, 50 + 2 * period));
  EXPECT_LE(station.window.state.UpdateCounter, 2);
}

TEST(Schedule, NoTickCountsBeforeTheFirstCycleHasEnded) {
  Station station = WithInterval("1");
  station.platform.SetDrive(L"K:\\", EmptyDrive());
  station.platform.SetConnect([](const ConnectCall&) { return 0u; }, Minutes(5));
  station.Start();
  station.platform.RunFor(Minutes(5) + 100);
  EXPECT_EQ(station.platform.Connects().size(), 1u);
  EXPECT_EQ(station.window.state.UpdateCounter, 0);
  EXPECT_TRUE(station.platform.TimerEnabled(TimerId::UpdateTimer));
}

TEST(Schedule, TheStartTimerRunsExactlyOneCycleEvenWhenTheFirstCycleYieldsForLong) {
  Station station = WithInterval("10");
  // Every listing blocks two seconds: forty ticks of 50 ms are due by each log line.
  station.platform.SetDrive(L"K:\\", PresentDrive(Seconds(2)));
  station.Start();
  station.platform.RunFor(Minutes(1));
  EXPECT_EQ(station.platform.TraceStartingWith(L"ListDriveRoot").size(), 1u);
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::StartTimer));
}

TEST(Schedule, An16BitIntervalIsReachedWithoutOverflow) {
  Station station = WithInterval("32767");
  station.platform.SetDrive(L"K:\\", PresentDrive());
  station.Start();
  station.platform.RunFor(50 + Minutes(32767) - 1);
  EXPECT_EQ(station.platform.TraceStartingWith(L"ListDriveRoot").size(), 1u);
  EXPECT_EQ(station.window.state.UpdateCounter, 32766);
  station.platform.RunFor(2);
  EXPECT_EQ(station.platform.TraceStartingWith(L"ListDriveRoot").size(), 2u);
  EXPECT_EQ(station.window.state.UpdateCounter, 0);
  EXPECT_TRUE(station.platform.ReportedErrors().empty());
}

// --- early checks after a network change or a resume --------------------------------

Station WatchingChanges(const std::string& extra = "") {
  Station station;
  station.Customer("[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n" + extra +
                   "[Tavisto]\r\nCheckOnNetworkChange=True\r\n");
  return station;
}

// The messages that say why an early check came, in order.
std::vector<std::wstring> Reasons(const Station& station) {
  std::vector<std::wstring> reasons;
  for (const std::wstring& message : station.Messages()) {
    if (message.rfind(L"Network changed", 0) == 0 || message.rfind(L"Resumed", 0) == 0)
      reasons.push_back(message);
  }
  return reasons;
}

TEST(ChangeChecks, ABurstOfChangesGivesOneCheckOnceTheNetworkHasBeenQuietFor3s) {
  Station station = WatchingChanges();
  for (int i = 0; i < 20; ++i) station.platform.NetworkChangesAt(Seconds(60) + i * 100);
  const std::vector<Millis> starts = CycleStarts(station, Minutes(3));
  ASSERT_EQ(starts.size(), 2u);
  // The last change came at 61.9 s: the check 3 s later, within a tick of 0.5 s.
  EXPECT_GE(starts[1], Seconds(61) + 900 + 3000);
  EXPECT_LE(starts[1], Seconds(61) + 900 + 3500);
  EXPECT_THAT(Reasons(station), ElementsAre(L"Network changed"));
}

TEST(ChangeChecks, AStormThatNeverGoesQuietStillGivesACheckEvery15s) {
  Station station = WatchingChanges();
  for (int i = 0; i < 40; ++i) station.platform.NetworkChangesAt(Seconds(60) + i * 1000);
  const std::vector<Millis> starts = CycleStarts(station, Minutes(2));
  ASSERT_GE(starts.size(), 3u);
  EXPECT_GE(starts[1], Seconds(75));
  EXPECT_LE(starts[1], Seconds(75) + 500);
  EXPECT_LE(starts.size(), 5u);  // 40 changes: a check each 15 s and one when quiet
}

TEST(ChangeChecks, AChangeWhileACheckRunsAsksForOneMoreAfterIt) {
  Station station = WatchingChanges();
  station.platform.SetDrive(L"K:\\", PresentDrive(Seconds(10)));
  station.Start();
  station.platform.NetworkChangesAt(Seconds(60));  // its check lists K: from 63 s to 73 s
  station.platform.NetworkChangesAt(Seconds(65));
  station.platform.RunFor(Minutes(2));
  const std::vector<std::wstring> lists = station.platform.TraceStartingWith(L"ListDriveRoot");
  EXPECT_EQ(lists.size(), 3u);  // the first check, the change's, and one more
  EXPECT_THAT(Reasons(station), ElementsAre(L"Network changed", L"Network changed"));
}

TEST(ChangeChecks, ACheckThatFallsDueWhileAnotherYieldsWaitsForItsEnd) {
  std::string shares;
  for (int i = 2; i <= 5; ++i) {
    const std::string n = std::to_string(i);
    shares += "NetAddress" + n + "=\\\\srv\\s" + n + "\r\nNetDrive" + n + "=" +
              std::string(1, static_cast<char>('K' + i)) + "\r\n";
  }
  Station station = WatchingChanges(shares);
  // The first check takes 10 s and yields 20 times: the change's quiet time passes in it.
  for (const wchar_t* root : {L"K:\\", L"L:\\", L"M:\\", L"N:\\", L"O:\\"})
    station.platform.SetDrive(root, {DriveRoot::Empty, Seconds(1)});
  station.platform.SetConnect([](const ConnectCall&) { return 53u; }, Seconds(1));
  station.platform.NetworkChangesAt(Seconds(1));
  station.Start();
  station.platform.RunFor(Seconds(30));
  const std::vector<std::wstring> messages = station.Messages();
  const auto firstEnd = std::find(messages.begin(), messages.end(), L"Checking ready 5 faults");
  const auto changed = std::find(messages.begin(), messages.end(), L"Network changed");
  ASSERT_NE(changed, messages.end());
  EXPECT_LT(firstEnd, changed);
}

TEST(ChangeChecks, ARefusedLogonIsNotTriedAgainByThem) {
  Station station = WatchingChanges("NetAddress2=\\\\srv\\other\r\nNetDrive2=L\r\n");
  station.platform.SetConnect([](const ConnectCall&) { return 1326u; });
  station.platform.NetworkChangesAt(Seconds(60));
  station.platform.ResumesAt(Seconds(100));
  CycleStarts(station, Minutes(3));
  // K: is present; L: is tried by the first check only.
  EXPECT_EQ(station.platform.Connects().size(), 1u);
  EXPECT_EQ(station.platform.TraceStartingWith(L"ListDriveRoot K").size(), 4u);
}

TEST(ChangeChecks, TheOrdinaryScheduleKeepsItsMinuteCount) {
  Station station = WatchingChanges("UpdateInterval=10\r\n");
  station.platform.NetworkChangesAt(Minutes(3) + Seconds(20));
  const std::vector<Millis> starts = CycleStarts(station, Minutes(12));
  ASSERT_EQ(starts.size(), 3u);
  // The early check leaves the ordinary schedule running: its check comes ten minutes
  // after the first, not ten minutes after the early one.
  EXPECT_EQ(starts[2], 50 + Minutes(10));
}

TEST(ChangeChecks, AnOrdinaryCheckThatFallsDueDuringAnEarlyOneFollowsIt) {
  Station station = WatchingChanges("UpdateInterval=1\r\n");
  station.platform.SetDrive(L"K:\\", PresentDrive(Seconds(10)));
  // The first check lists K: until 10 s, so the ordinary one falls due at 70 s: while the
  // change's check lists K: from 63.5 s to 73.5 s.
  station.platform.NetworkChangesAt(Seconds(60));
  station.Start();
  station.platform.RunFor(Seconds(90));
  EXPECT_EQ(station.window.state.Record.Checks[static_cast<int>(CheckTrigger::Schedule)], 1u);
  // It came right after the change's check, never inside it: each check closes "Exit"
  // and opens it again before the next one begins.
  EXPECT_THAT(station.platform.TraceStartingWith(L"EnableExitButton"),
              ElementsAre(L"EnableExitButton off", L"EnableExitButton on", L"EnableExitButton off",
                          L"EnableExitButton on", L"EnableExitButton off", L"EnableExitButton on"));
}

TEST(ChangeChecks, OffOrAnyOtherValueMeansNoWatchAndNoExtraCheck) {
  for (const char* setting : {"", "CheckOnNetworkChange=yes\r\n", "CheckOnNetworkChange=1\r\n"}) {
    Station station;
    station.Customer(std::string("[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n"
                                 "[Tavisto]\r\n") +
                     setting);
    station.platform.NetworkChangesAt(Seconds(60));
    station.platform.ResumesAt(Seconds(90));
    EXPECT_THAT(CycleStarts(station, Minutes(3)), ElementsAre(50)) << setting;
    EXPECT_TRUE(station.platform.TraceStartingWith(L"WatchNetworkAndPower").empty()) << setting;
  }
}

TEST(ChangeChecks, AResumeGivesACheckAndOneMore30sLater) {
  Station station = WatchingChanges();
  station.platform.ResumesAt(Seconds(120));
  const std::vector<Millis> starts = CycleStarts(station, Minutes(4));
  ASSERT_EQ(starts.size(), 3u);
  EXPECT_GE(starts[1], Seconds(123));
  EXPECT_LE(starts[1], Seconds(123) + 500);
  EXPECT_GE(starts[2], Seconds(150));
  EXPECT_LE(starts[2], Seconds(150) + 500);
  EXPECT_THAT(Reasons(station), ElementsAre(L"Resumed", L"Resumed 30 s ago"));
}

TEST(ChangeChecks, AWatchThatCannotBeSetUpIsSaidOnceAndTheScheduleGoesOn) {
  Station station = WatchingChanges("UpdateInterval=1\r\n");
  station.platform.FailSystemWatch(
      {10047, L"socket failed: 10047 An address incompatible with the requested protocol was used.",
       FailureKind::Other});
  EXPECT_THAT(CycleStarts(station, Minutes(2) + Seconds(1)),
              ElementsAre(50, 50 + Minutes(1), 50 + Minutes(2)));
  const std::vector<std::wstring> messages = station.Messages();
  EXPECT_EQ(std::count_if(messages.begin(), messages.end(),
                          [](const std::wstring& m) {
                            return m.rfind(L"Fault by network watch: socket failed: 10047", 0) == 0;
                          }),
            1);
}

}  // namespace
}  // namespace vt::sim
