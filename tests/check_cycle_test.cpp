// The share check cycle: what it logs, connects and publishes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "portable/profile_text.h"
#include "shares/check_cycle.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// Two machines with references on \\srv\docu, on \\srv\other and on no share.
const char* const TwoMachines =
    "[Machine1]\r\nReference1=\\\\SRV\\DOCU\\M1\r\nReference2=\\\\srv\\other\\m1\r\n"
    "Reference3=K:\\docu\r\n"
    "[Machine2]\r\nReference4=\\\\srv\\docu\\m2\r\nReference9=\\\\nowhere\\x\r\n";

class CheckCycle : public ::testing::Test {
 protected:
  void Configure(const std::string& shares, const std::string& machines = "2") {
    station_.Project("[Project]\r\nNumberOfMachines=" + machines + "\r\n");
    station_.Customer(std::string(TwoMachines) + "[NetAddress]\r\n" + shares);
  }
  // Starts the program and runs its first cycle.
  void RunFirstCycle() {
    station_.Start();
    station_.platform.RunFor(Seconds(1));
  }
  std::string Status(const char* section, const char* key) {
    return FindProfileValue(station_.Status(), section, key).value_or("(none)");
  }
  Station station_;
};

TEST_F(CheckCycle, WithNoShareConfiguredLogsOnlyTheFinalLineAndWritesNothing) {
  Configure("NetAddress1=\r\nNetDrive1=K\r\n");
  RunFirstCycle();
  EXPECT_THAT(station_.Messages(), ElementsAre(L"Initialisize", L"Checking ready 0 faults"));
  EXPECT_FALSE(station_.platform.File(StatusIni).has_value());
  EXPECT_TRUE(station_.platform.ExitButtonEnabled());
  EXPECT_TRUE(station_.platform.TimerEnabled(TimerId::UpdateTimer));
  EXPECT_TRUE(station_.platform.TraceStartingWith(L"ListDriveRoot").empty());
}

TEST_F(CheckCycle, APresentDriveIsNotConnectedAndItsReferencesGetTrue) {
  Configure("NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  RunFirstCycle();
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Checking ready 0 faults"));
  EXPECT_TRUE(station_.platform.Connects().empty());
  EXPECT_TRUE(station_.window.state.Shares[0].NetOK);
  EXPECT_EQ(Status("Machine1", "NetOK1"), "true");
  EXPECT_EQ(Status("Machine2", "NetOK4"), "true");
  EXPECT_EQ(Status("Machine1", "NetOK2"), "(none)");  // on another share
  EXPECT_EQ(Status("Machine1", "NetOK3"), "(none)");  // a drive path, not a share
  EXPECT_EQ(Status("Machine2", "NetOK9"), "(none)");
}

TEST_F(CheckCycle, AMissingDriveWhoseConnectFailsIsAFaultAndGetsFalse) {
  Configure("NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station_.platform.SetConnect([](const ConnectCall&) { return 53u; });
  RunFirstCycle();
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Generate: \\\\srv\\docu",
                          L"Fault by generate: \\\\srv\\docu", L"  error 53: simulated error 53",
                          L"Checking ready 1 faults"));
  EXPECT_FALSE(station_.window.state.Shares[0].NetOK);
  EXPECT_EQ(Status("Machine1", "NetOK1"), "false");
  EXPECT_EQ(Status("Machine2", "NetOK4"), "false");
}

TEST_F(CheckCycle, AMissingDriveThatConnectsGetsTrueWithoutAFault) {
  Configure("User1=station\r\nPassword1=s3cret\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station_.platform.SetDrive(L"K:\\", EmptyDrive());
  station_.platform.SetConnect([](const ConnectCall&) { return 0u; });
  RunFirstCycle();
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Generate: \\\\srv\\docu",
                          L"Checking ready 0 faults"));
  EXPECT_EQ(Status("Machine1", "NetOK1"), "true");

  ASSERT_EQ(station_.platform.Connects().size(), 1u);
  const ConnectCall& call = station_.platform.Connects()[0];
  EXPECT_EQ(call.drive, L"K");
  EXPECT_EQ(call.share, L"\\\\srv\\docu");
  EXPECT_EQ(call.password, L"s3cret");
  EXPECT_EQ(call.user, L"station");
  for (const std::wstring& line : station_.platform.Items())
    EXPECT_THAT(line, Not(HasSubstr(L"s3cret")));
  for (const std::wstring& line : station_.platform.Trace())
    EXPECT_THAT(line, Not(HasSubstr(L"s3cret")));
}

TEST_F(CheckCycle, ARootThatListsNothingOrCannotBeListedIsHandledAsMissing) {
  Configure(
      "NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nNetAddress2=\\\\srv\\other\r\nNetDrive2=L\r\n");
  station_.platform.SetDrive(L"K:\\", EmptyDrive());
  station_.platform.SetDrive(L"L:\\", FailingDrive());
  station_.platform.SetConnect([](const ConnectCall&) { return 0u; });
  RunFirstCycle();
  EXPECT_THAT(station_.platform.TraceStartingWith(L"ConnectShare"),
              ElementsAre(L"ConnectShare K: \\\\srv\\docu", L"ConnectShare L: \\\\srv\\other"));
  EXPECT_EQ(Status("Machine1", "NetOK2"), "true");
}

TEST_F(CheckCycle, AnEmptyDriveLetterIsUsedAsItStands) {
  Configure("NetAddress1=\\\\srv\\docu\r\nNetDrive1=\r\n");
  RunFirstCycle();
  EXPECT_THAT(station_.platform.TraceStartingWith(L"ListDriveRoot"),
              ElementsAre(L"ListDriveRoot :\\"));
  ASSERT_EQ(station_.platform.Connects().size(), 1u);
  EXPECT_EQ(station_.platform.Connects()[0].drive, L"");
}

TEST_F(CheckCycle, AnAddressOfBlanksIsConfigured) {
  Configure("NetAddress1=\" \"\r\nNetDrive1=K\r\n");
  RunFirstCycle();
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking:  ", L"Generate:  ", L"Fault by generate:  ",
                          L"  error 1222: simulated error 1222", L"Checking ready 1 faults"));
}

TEST_F(CheckCycle, FiveFailingSlotsCountFiveFaults) {
  std::string shares;
  for (int i = 1; i <= 5; ++i) {
    shares += "NetAddress" + std::to_string(i) + "=\\\\srv" + std::to_string(i) + "\\s\r\n" +
              "NetDrive" + std::to_string(i) + "=" + static_cast<char>('K' + i) + "\r\n";
  }
  Configure(shares);
  RunFirstCycle();
  const std::vector<std::wstring> messages = station_.Messages();
  EXPECT_EQ(
      std::count_if(messages.begin(), messages.end(),
                    [](const std::wstring& m) { return m.rfind(L"Fault by generate: ", 0) == 0; }),
      5);
  EXPECT_EQ(messages.back(), L"Checking ready 5 faults");
}

TEST_F(CheckCycle, AConnectThatCannotBeMadeAtAllCountsAsAFault) {
  Configure("NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station_.platform.SetConnect([](const ConnectCall&) -> std::uint32_t {
    throw SystemCallFailed(L"WNetAddConnection2A", 126,
                           L"The specified module could not be found.");
  });
  RunFirstCycle();
  EXPECT_THAT(
      station_.Messages(),
      ElementsAre(
          L"Initialisize", L"Checking: \\\\srv\\docu", L"Generate: \\\\srv\\docu",
          L"Fault by generate: \\\\srv\\docu",
          L"  error 126: WNetAddConnection2A failed: 126 The specified module could not be found.",
          L"Checking ready 1 faults"));
  EXPECT_EQ(Status("Machine1", "NetOK1"), "false");
  EXPECT_TRUE(station_.platform.ReportedErrors().empty());
}

TEST_F(CheckCycle, OverlappingSharesWriteTwiceAndTheHigherSlotsValueStays) {
  Configure("NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nNetAddress2=\\\\srv\r\nNetDrive2=L\r\n");
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  RunFirstCycle();
  EXPECT_THAT(station_.platform.TraceStartingWith(L"ProfileWrite Machine1 NetOK1"),
              ElementsAre(HasSubstr(L" true "), HasSubstr(L" false ")));
  EXPECT_EQ(Status("Machine1", "NetOK1"), "false");
  EXPECT_EQ(Status("Machine1", "NetOK2"), "false");  // \\srv\other lies on \\srv too
}

TEST_F(CheckCycle, EntriesOfReferencesOnNoConfiguredShareKeepTheirValues) {
  Configure("NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station_.platform.PutFile(
      StatusIni, "[Machine1]\r\nNetOK1=old\r\nNetOK2=kept\r\n[Machine2]\r\nNetOK9=kept\r\n");
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  RunFirstCycle();
  EXPECT_EQ(
      station_.Status(),
      "[Machine1]\r\nNetOK1=true\r\nNetOK2=kept\r\n[Machine2]\r\nNetOK9=kept\r\nNetOK4=true\r\n");
}

TEST_F(CheckCycle, WithoutMachinesDrivesAreStillTestedButNothingIsWritten) {
  for (const char* machines : {"0", "-1"}) {
    Station station;
    station.Project(std::string("[Project]\r\nNumberOfMachines=") + machines + "\r\n");
    station.Customer("[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
    station.Start();
    station.platform.RunFor(Seconds(1));
    EXPECT_EQ(station.platform.Connects().size(), 1u) << machines;
    EXPECT_TRUE(station.platform.TraceStartingWith(L"ProfileWrite").empty()) << machines;
  }
}

TEST_F(CheckCycle, LogLinesAndWritesInterleaveInSlotOrder) {
  Configure(
      "NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nNetAddress2=\\\\srv\\other\r\nNetDrive2=L\r\n");
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.SetDrive(L"L:\\", PresentDrive());
  RunFirstCycle();
  std::vector<std::wstring> order;
  for (const std::wstring& call : station_.platform.Trace()) {
    if (call.rfind(L"ListDriveRoot", 0) == 0 || call.rfind(L"ProfileWrite", 0) == 0) {
      order.push_back(call.substr(0, call.rfind(L' ')));
    }
  }
  EXPECT_THAT(order, ElementsAre(L"ListDriveRoot", L"ProfileWrite Machine1 NetOK1 true",
                                 L"ProfileWrite Machine2 NetOK4 true", L"ListDriveRoot",
                                 L"ProfileWrite Machine1 NetOK2 true"));
}

TEST_F(CheckCycle, ExitAndTheUpdateTimerAreDisabledWhileACycleRuns) {
  Configure("NetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station_.platform.SetDrive(L"K:\\", EmptyDrive());
  station_.platform.SetConnect([](const ConnectCall&) { return 0u; }, Seconds(30));
  station_.Start();
  // The connect blocks for 30 s; the click comes while "Generate: " is shown.
  station_.platform.At(Seconds(10), [&] { station_.platform.ClickExit(); });
  station_.platform.RunFor(Seconds(40));
  EXPECT_FALSE(station_.platform.Ended());
  EXPECT_THAT(station_.platform.TraceStartingWith(L"Click"), ElementsAre(L"Click Exit (disabled)"));
  EXPECT_TRUE(station_.platform.ExitButtonEnabled());
}

TEST(ReferenceMatching, IsACaseBlindPrefixTestOnShareReferences) {
  SimPlatform platform;
  const std::wstring address = L"\\\\Srv\\Docu";
  EXPECT_TRUE(LiesOnShare(platform, L"\\\\SRV\\DOCU\\M1", address));
  EXPECT_TRUE(LiesOnShare(platform, L"\\\\srv\\DocuOld\\x",
                          address));  // nothing after the prefix is checked
  EXPECT_TRUE(LiesOnShare(platform, L"\\\\srv\\docu", address));
  EXPECT_FALSE(LiesOnShare(platform, L"K:\\Docu", address));
  EXPECT_FALSE(LiesOnShare(platform, L"\\\\other\\docu", address));
  EXPECT_FALSE(LiesOnShare(platform, L"\\\\s", L"\\\\s"));  // 3 characters or fewer
  EXPECT_TRUE(LiesOnShare(platform, L"\\\\sr", L"\\\\s"));
  EXPECT_FALSE(LiesOnShare(platform, L"\\\\srv", address));  // shorter than the address
}

TEST(ReferenceMatching, IsCaseBlindOnCentralEuropeanGreekAndCyrillicStationsToo) {
  SimPlatform platform;
  EXPECT_TRUE(LiesOnShare(platform, L"\\\\SRV\\\u00da\u010cETNICTV\u00cd\\m1",
                          L"\\\\srv\\\u00fa\u010detnictv\u00ed"));
  EXPECT_TRUE(LiesOnShare(platform, L"\\\\SRV\\\u0391\u03a1\u03a7\u0395\u038a\u039f\\m1",
                          L"\\\\srv\\\u03b1\u03c1\u03c7\u03b5\u03af\u03bf"));
  EXPECT_TRUE(LiesOnShare(platform, L"\\\\srv\\\u0430\u0440\u0445\u0438\u0432\\m1",
                          L"\\\\SRV\\\u0410\u0420\u0425\u0418\u0412"));
  EXPECT_FALSE(
      LiesOnShare(platform, L"\\\\srv\\\u0430\u0440\u0445\\m1", L"\\\\srv\\\u0430\u0440\u0438"));
}

}  // namespace
}  // namespace vt::sim
