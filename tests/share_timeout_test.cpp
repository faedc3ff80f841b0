// A share whose server stops answering: its calls wait at most ShareTimeoutSeconds,
// the window's events run meanwhile, and a drive never has two calls outstanding.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "portable/profile_text.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;

class ShareTimeout : public ::testing::Test {
 protected:
  // \\srv\docu on K: and \\srv\other on L:, one reference each; checks every minute.
  void Configure(const std::string& tavisto = "") {
    station_.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station_.Customer(
        "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\nReference2=\\\\srv\\other\\m1\r\n"
        "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n"
        "NetAddress2=\\\\srv\\other\r\nNetDrive2=L\r\nUpdateInterval=1\r\n" +
        tavisto);
    station_.platform.SetDrive(L"L:\\", PresentDrive());
  }
  std::string Status(const char* key) {
    return FindProfileValue(station_.Status(), "Machine1", key).value_or("(none)");
  }
  std::size_t Count(const std::wstring& message) {
    const std::vector<std::wstring> messages = station_.Messages();
    return static_cast<std::size_t>(std::count(messages.begin(), messages.end(), message));
  }
  Station station_;
};

const wchar_t* const NoAnswerLine = L"  error 121: no answer from \\\\srv\\docu within 30 s";

TEST_F(ShareTimeout, AListingWithoutAnswerIsAFaultAtItsDeadlineWhileTheWindowRunsOn) {
  Configure();
  station_.platform.SetDrive(L"K:\\", PresentDrive(Minutes(10)));
  Millis servedAt = 0;
  station_.platform.At(Seconds(10), [&] { servedAt = station_.platform.Now(); });
  station_.Start();
  station_.platform.RunFor(Seconds(31));
  EXPECT_EQ(servedAt, Seconds(10));  // an event ran while the listing waited
  EXPECT_THAT(
      station_.Messages(),
      ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Fault by generate: \\\\srv\\docu",
                  NoAnswerLine, L"Checking: \\\\srv\\other", L"Checking ready 1 faults"));
  EXPECT_TRUE(station_.platform.Connects().empty());  // a silent server is not asked twice
  EXPECT_EQ(Status("NetOK1"), "false");
  EXPECT_EQ(Status("NetOK2"), "true");
  const ShareSlot& slot = station_.window.state.Shares[0];
  EXPECT_EQ(slot.LastError, 121u);
  EXPECT_EQ(slot.ConnectFailures, 1u);
  EXPECT_FALSE(slot.LogonFailed);  // early checks may try it again
}

TEST_F(ShareTimeout, WhileTheCallHasNotReturnedTheDriveTakesNoOtherAndItsReturnCounts) {
  Configure();
  station_.platform.SetDrive(L"K:\\", PresentDrive(Minutes(5)));  // returns at 5:00.05
  station_.Start();
  station_.platform.RunFor(Seconds(91));  // the second check begins at 1:30.05
  EXPECT_EQ(Count(NoAnswerLine), 2u);
  EXPECT_THAT(station_.platform.TraceStartingWith(L"ListDriveRoot K"),
              ElementsAre(L"ListDriveRoot K:\\",
                          L"ListDriveRoot K:\\ not made: an earlier call on the drive has "
                          L"not returned"));
  // Once it has returned, the next check lists the drive again.
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.RunUntil(Minutes(5) + Seconds(31));
  EXPECT_EQ(Status("NetOK1"), "true");
  EXPECT_EQ(station_.platform.TraceStartingWith(L"ListDriveRoot K:\\").back(),
            L"ListDriveRoot K:\\");
}

TEST_F(ShareTimeout, AConnectWithoutAnswerIsAFaultAndTheDriveWaitsForItsReturn) {
  Configure("[Tavisto]\r\nRetryAfterFaultSeconds=10\r\n");
  station_.platform.SetDrive(L"K:\\", EmptyDrive());
  station_.platform.SetConnect([](const ConnectCall&) { return 0u; }, Minutes(2));
  station_.Start();
  station_.platform.RunFor(Seconds(31));
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Generate: \\\\srv\\docu",
                          L"Fault by generate: \\\\srv\\docu", NoAnswerLine,
                          L"Checking: \\\\srv\\other", L"Checking ready 1 faults"));
  // The early retry 10 s later finds the connect still out: no listing, no connect.
  station_.platform.RunFor(Seconds(15));
  EXPECT_EQ(Count(NoAnswerLine), 2u);
  EXPECT_EQ(station_.platform.Connects().size(), 1u);
  EXPECT_EQ(station_.platform.TraceStartingWith(L"ListDriveRoot K:\\").size(), 2u);
}

TEST_F(ShareTimeout, ShareTimeoutSecondsSetsTheDeadlineAndOtherValuesMeanThirty) {
  for (const auto& [value, seconds] : std::vector<std::pair<std::string, int>>{
           {"5", 5}, {"0", 30}, {"-3", 30}, {"soon", 30}, {"", 30}}) {
    Station station;
    station.Customer(
        "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n"
        "[Tavisto]\r\nShareTimeoutSeconds=" +
        value + "\r\n");
    station.platform.SetDrive(L"K:\\", PresentDrive(Minutes(10)));
    station.Start();
    station.platform.RunFor(Minutes(1));
    EXPECT_EQ(station.window.state.Record.LastDurationMs, Seconds(seconds)) << value;
    EXPECT_EQ(station.Messages()[3], L"  error 121: no answer from \\\\srv\\docu within " +
                                         std::to_wstring(seconds) + L" s")
        << value;
  }
}

TEST_F(ShareTimeout, TheWatchedWindowGoingAwayEndsTheProgramDuringTheWait) {
  Configure();
  station_.platform.SetDrive(L"K:\\", PresentDrive(Minutes(10)));
  const WindowHandle browser = station_.platform.OpenWindow(L"Vwwebbrowser");
  station_.platform.At(Seconds(7), [&] { station_.platform.CloseWindow(browser); });
  station_.Start();
  station_.platform.RunFor(Minutes(1));
  EXPECT_TRUE(station_.platform.Ended());
  EXPECT_EQ(station_.platform.EndedAt(), Seconds(8));  // the next poll, not the deadline
}

}  // namespace
}  // namespace vt::sim
