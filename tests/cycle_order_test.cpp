// The order of a check cycle as the station sees it, and what other events may do in
// the middle of one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "portable/profile_text.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::StartsWith;

const char* const TwoShares =
    "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\nReference2=\\\\srv\\other\\m1\r\n"
    "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n"
    "NetAddress2=\\\\srv\\other\r\nNetDrive2=L\r\n";

class CycleOrder : public ::testing::Test {
 protected:
  void SetUp() override {
    station_.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station_.Customer(TwoShares);
    station_.platform.SetDrive(L"K:\\", PresentDrive());
  }
  std::string Status(const char* key) {
    return FindProfileValue(station_.Status(), "Machine1", key).value_or("(none)");
  }
  std::vector<std::wstring> Calls(std::initializer_list<const wchar_t*> prefixes) {
    std::vector<std::wstring> calls;
    for (const std::wstring& call : station_.platform.Trace()) {
      for (const wchar_t* prefix : prefixes) {
        if (call.rfind(prefix, 0) == 0) calls.push_back(call);
      }
    }
    return calls;
  }
  Station station_;
};

TEST_F(CycleOrder, ExitClosesBeforeTheUpdateTimerAndOpensAfterIt) {
  station_.platform.SetDrive(L"L:\\", PresentDrive());
  station_.Start();
  station_.platform.RunFor(Seconds(1));
  EXPECT_THAT(
      Calls({L"EnableExitButton", L"EnableTimer UpdateTimer", L"ListDriveRoot"}),
      ElementsAre(L"EnableExitButton off", L"EnableTimer UpdateTimer off", L"ListDriveRoot K:\\",
                  L"ListDriveRoot L:\\", L"EnableTimer UpdateTimer on", L"EnableExitButton on"));
}

TEST_F(CycleOrder, ALogLineTheListCannotTakeIsSkippedAndTheShareIsStillChecked) {
  station_.platform.SetDrive(L"L:\\", PresentDrive());
  station_.platform.FailLogLinesContaining(L"Checking: \\\\srv\\docu");
  station_.Start();
  station_.platform.RunFor(Seconds(1));
  EXPECT_FALSE(station_.platform.Ended());
  EXPECT_TRUE(station_.platform.ReportedErrors().empty());
  const std::vector<std::wstring> messages = station_.Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Checking: \\\\srv\\docu"), 0);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Checking: \\\\srv\\other"), 1);
  EXPECT_EQ(messages.back(), L"Checking ready 0 faults");
  EXPECT_EQ(Status("NetOK1"), "true");
  EXPECT_EQ(Status("NetOK2"), "true");
}

TEST_F(CycleOrder, AFailingLogLineOutsideTheShareChecksEndsTheProgramNamingIt) {
  station_.platform.SetDrive(L"L:\\", PresentDrive());
  station_.platform.FailLogLinesContaining(L"Checking ready");
  station_.Start();
  station_.platform.RunFor(Seconds(1));
  EXPECT_TRUE(station_.platform.Ended());
  ASSERT_EQ(station_.platform.ReportedErrors().size(), 1u);
  EXPECT_THAT(station_.platform.ReportedErrors()[0], StartsWith(L"LB_INSERTSTRING failed: 8 "));
  EXPECT_EQ(Status("NetOK2"), "true");  // published before the failing line
}

TEST_F(CycleOrder, ATeardownInTheMiddleOfACycleEndsItThere) {
  // L: takes 5 s to list nothing; the window is closed meanwhile, and the teardown runs
  // at the next log line, before L: is connected and its result published.
  station_.platform.SetDrive(L"L:\\", {DriveRoot::Empty, Seconds(5)});
  station_.platform.At(Seconds(2), [&] { station_.platform.DestroyMainWindow(); });
  station_.Start();
  station_.platform.RunFor(Minutes(1));
  EXPECT_TRUE(station_.platform.Ended());
  EXPECT_EQ(Status("NetOK1"), "true");
  EXPECT_EQ(Status("NetOK2"), "(none)");
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Checking: \\\\srv\\other",
                          L"Generate: \\\\srv\\other"));
  EXPECT_TRUE(station_.platform.Connects().empty());
  EXPECT_THAT(Calls({L"EnableTimer", L"EnableExitButton"}),
              ElementsAre(L"EnableTimer StartTimer on", L"EnableTimer StartTimer off",
                          L"EnableTimer RetryTimer off", L"EnableExitButton off",
                          L"EnableTimer UpdateTimer off", L"EnableTimer StartTimer off",
                          L"EnableTimer UpdateTimer off", L"EnableTimer WatchTimer off",
                          L"EnableTimer RetryTimer off", L"EnableTimer ChangeTimer off",
                          L"EnableTimer ShareWatchTimer off"));
}

TEST_F(CycleOrder, AWatchTickThatFindsTheWindowLetsTheCycleGoOn) {
  station_.platform.SetDrive(L"L:\\", {DriveRoot::HasEntry, Seconds(5)});
  station_.platform.OpenWindow(L"Vwwebbrowser");
  station_.Start();
  station_.platform.RunFor(Seconds(10));
  EXPECT_FALSE(station_.platform.Ended());
  // The poll that fell due while L: was listed ran inside the cycle's next log line.
  const std::vector<std::wstring> calls =
      Calls({L"FindWindow", L"ListDriveRoot L:", L"EnableExitButton on"});
  ASSERT_GE(calls.size(), 4u);
  EXPECT_THAT(calls[0], HasSubstr(L"FindWindow Vwwebbrowser"));  // the start-up lookup
  EXPECT_EQ(calls[1], L"ListDriveRoot L:\\");
  EXPECT_EQ(calls[2], L"FindWindow Vwwebbrowser");
  EXPECT_EQ(calls[3], L"EnableExitButton on");
  EXPECT_EQ(station_.Messages().back(), L"Checking ready 0 faults");
  EXPECT_EQ(Status("NetOK2"), "true");
}

TEST_F(CycleOrder, AnEventSourceIsServedWhenReadyAlsoWhileACheckYields) {
  station_.platform.SetDrive(L"L:\\", {DriveRoot::HasEntry, Seconds(5)});
  std::vector<std::pair<Millis, bool>> served;  // when, and whether a check was running
  const SimPlatform::SourceId source = station_.platform.AddSource([&] {
    served.emplace_back(station_.platform.Now(), !station_.platform.ExitButtonEnabled());
  });
  station_.platform.MakeReady(source, Seconds(2));   // while L: is listed: served after it
  station_.platform.MakeReady(source, Seconds(3));   // not yet served: the same readiness
  station_.platform.MakeReady(source, Seconds(30));  // while idle
  station_.Start();
  station_.platform.RunFor(Minutes(1));
  EXPECT_THAT(served,
              ElementsAre(std::make_pair(Millis{5050}, true), std::make_pair(Seconds(30), false)));
  station_.platform.RemoveSource(source);
  station_.platform.MakeReady(source, Minutes(2));
  station_.platform.RunFor(Minutes(2));
  EXPECT_EQ(served.size(), 2u);
}

}  // namespace
}  // namespace vt::sim
