// When check cycles run, over virtual hours.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
  Station station = WithInterval("3");
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

}  // namespace
}  // namespace vt::sim
