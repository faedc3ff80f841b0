// The watch of reachable shares between checks (WatchSharesSeconds), over virtual
// minutes: which drives it lists and when, what a lost share gives, and what it leaves
// alone.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;

// Two shares (K, L) and a machine on each; [Tavisto] `settings` as given.
Station Watched(const std::string& settings, const std::string& interval = "10") {
  Station station;
  station.Project("[Project]\r\nNumberOfMachines=1\r\n");
  station.Customer(
      "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\nReference2=\\\\srv\\logs\\m1\r\n"
      "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nNetAddress2=\\\\srv\\logs\r\n"
      "NetDrive2=L\r\nUpdateInterval=" +
      interval + "\r\n[Tavisto]\r\nShareTimeoutSeconds=3\r\n" + settings);
  station.platform.SetShortestListingInterval(1);
  station.platform.SetDrive(L"K:\\", PresentDrive());
  station.platform.SetDrive(L"L:\\", PresentDrive());
  station.platform.SetConnect([](const ConnectCall&) { return 53u; });
  return station;
}

// What happened, each at its virtual second: the drives listed (by the checks and the
// watch: "K", "L"; a listing not made while an earlier one is out is not among them) and
// the lines logged.
struct Timeline {
  std::vector<std::pair<Millis, std::wstring>> events;
  std::vector<Millis> At(const std::wstring& what) const {
    std::vector<Millis> times;
    for (const auto& event : events)
      if (event.second == what) times.push_back(event.first / 1000);
    return times;
  }
};

// Starts the station, runs `changes` (at virtual times), and follows it until `until`.
Timeline Follow(Station& station, Millis until,
                const std::vector<std::pair<Millis, std::function<void()>>>& changes = {}) {
  for (const auto& change : changes) station.platform.At(change.first, change.second);
  station.Start();
  station.platform.RunUntil(until);
  Timeline timeline;
  const auto& trace = station.platform.Trace();
  for (std::size_t i = 0; i < trace.size(); ++i) {
    if (trace[i].rfind(L"ListDriveRoot ", 0) == 0 &&
        trace[i].find(L"not made") == std::wstring::npos)
      timeline.events.emplace_back(station.platform.TraceTimes()[i], trace[i].substr(14, 1));
  }
  const std::vector<std::wstring>& items = station.platform.Items();
  for (auto item = items.rbegin(); item != items.rend(); ++item) {
    if (item->empty()) continue;  // "08:mm:ss text": the virtual day starts at 08:00:00
    const Millis second = std::stoi(item->substr(3, 2)) * 60 + std::stoi(item->substr(6, 2));
    timeline.events.emplace_back(second * 1000, item->substr(Station::TimeStampLength));
  }
  return timeline;
}

TEST(ShareWatch, OffByDefaultAndForAnyValueThatIsNoPositiveNumber) {
  for (const char* setting : {"", "WatchSharesSeconds=0\r\n", "WatchSharesSeconds=-5\r\n",
                              "WatchSharesSeconds=soon\r\n"}) {
    Station station = Watched(setting);
    const Timeline timeline = Follow(station, Minutes(9));
    EXPECT_THAT(timeline.At(L"K"), ElementsAre(0)) << setting;  // the first check's only
    EXPECT_FALSE(station.platform.TimerEnabled(TimerId::ShareWatchTimer)) << setting;
  }
}

TEST(ShareWatch, ListsOnlyTheDrivesOfReachableSharesEveryIntervalAndAtTheFloorAtTheLeast) {
  const struct {
    std::int32_t floor;
    std::vector<Millis> listed;
  } cases[] = {{1, {0, 5, 10, 15, 20}}, {15, {0, 15}}};  // the native host; Windows
  for (const auto& each : cases) {
    Station station = Watched("WatchSharesSeconds=5\r\n");
    station.platform.SetShortestListingInterval(each.floor);
    station.platform.SetDrive(L"L:\\", FailingDrive());  // its connect fails: not watched
    const Timeline timeline = Follow(station, Seconds(24));
    EXPECT_EQ(timeline.At(L"K"), each.listed) << each.floor;
    EXPECT_THAT(timeline.At(L"L"), ElementsAre(0)) << each.floor;
  }
}

TEST(ShareWatch, LostSharesAreSaidEachAndGiveOneEarlyCheckThatPublishes) {
  const struct {
    const char* name;
    std::vector<const wchar_t*> lost;  // the drives that go
    DriveScript how;
  } cases[] = {
      {"unreadable", {L"K:\\"}, FailingDrive()},
      {"empty", {L"K:\\"}, EmptyDrive()},
      {"past its deadline", {L"K:\\"}, PresentDrive(Seconds(10))},
      {"both at once", {L"K:\\", L"L:\\"}, FailingDrive()},
  };
  for (const auto& each : cases) {
    Station station = Watched("WatchSharesSeconds=5\r\n");
    const Timeline timeline =
        Follow(station, Minutes(2), {{Seconds(7), [&] {
                                        for (const wchar_t* drive : each.lost)
                                          station.platform.SetDrive(drive, each.how);
                                      }}});
    const std::vector<std::wstring> messages = station.Messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Share lost: \\\\srv\\docu"), 1)
        << each.name;
    EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Share lost: \\\\srv\\logs"),
              each.lost.size() == 2 ? 1 : 0)
        << each.name;
    const CheckRecord& record = station.window.state.Record;
    EXPECT_EQ(record.Checks[static_cast<int>(CheckTrigger::ShareLost)], 1u) << each.name;
    EXPECT_NE(station.Status().find("NetOK1=false"), std::string::npos) << each.name;
    // Lost at the round of 10 s, published by the check right after it.
    EXPECT_THAT(timeline.At(L"Share lost: \\\\srv\\docu"),
                ElementsAre(each.how.blocksFor ? 13 : 10))
        << each.name;
    // The lost share is no longer watched, the other one still is.
    EXPECT_LE(timeline.At(L"K").size(), 4u) << each.name;
  }
}

TEST(ShareWatch, NeverListsWhileACheckRunsAndCountsAnewAfterEach) {
  Station station = Watched("WatchSharesSeconds=2\r\n");
  // L's server is silent: the first check waits 3 s for it, its events served
  // meanwhile; the watch's first round comes 2 s after that check ended, not inside it.
  station.platform.SetDrive(L"L:\\", PresentDrive(Seconds(20)));
  const Timeline timeline = Follow(station, Seconds(8));
  EXPECT_THAT(timeline.At(L"K"), ElementsAre(0, 5, 7));
}

TEST(ShareWatch, ACheckThatFallsDueWhileTheWatchListsFollowsIt) {
  Station station = Watched("WatchSharesSeconds=20\r\n", "1");
  // K's server falls silent before the round of 60 s, which waits 3 s for it; the
  // ordinary check falls due inside that wait and follows the check the loss gives.
  const Timeline timeline = Follow(
      station, Seconds(70),
      {{Seconds(59), [&] { station.platform.SetDrive(L"K:\\", PresentDrive(Seconds(20))); }}});
  EXPECT_THAT(timeline.At(L"Share lost: \\\\srv\\docu"), ElementsAre(63));
  EXPECT_THAT(timeline.At(L"Checking: \\\\srv\\docu"), ElementsAre(0, 63, 63));
  const CheckRecord& record = station.window.state.Record;
  EXPECT_EQ(record.Checks[static_cast<int>(CheckTrigger::ShareLost)], 1u);
  EXPECT_EQ(record.Checks[static_cast<int>(CheckTrigger::Schedule)], 1u);
}

TEST(ShareWatch, ARefusedLogonIsNeverWatchedAndTheScheduleKeepsItsMinutes) {
  Station station = Watched("WatchSharesSeconds=20\r\n", "1");
  station.platform.SetDrive(L"L:\\", EmptyDrive());
  station.platform.SetConnect([](const ConnectCall&) {
    return SystemResult{1326, L"The user name or password is incorrect.",
                        FailureKind::LogonRefused};
  });
  const Timeline timeline =
      Follow(station, Seconds(130),
             {{Seconds(30), [&] { station.platform.SetDrive(L"K:\\", FailingDrive()); }},
              {Seconds(50), [&] { station.platform.SetDrive(L"K:\\", PresentDrive()); }}});
  // K lost at the round of 40 s; its early check leaves L (refused) alone, and the
  // ordinary checks stay a minute after the one before them ended: 60 s and 120 s.
  EXPECT_THAT(timeline.At(L"Share lost: \\\\srv\\docu"), ElementsAre(40));
  EXPECT_THAT(timeline.At(L"Checking: \\\\srv\\logs"), ElementsAre(0, 60, 120));
  EXPECT_THAT(timeline.At(L"L"), ElementsAre(0, 60, 120));
}

}  // namespace
}  // namespace vt::sim
