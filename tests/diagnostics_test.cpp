// Why a share faulted, on screen and in the optional log file, and the early retries
// after a cycle with faults.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "portable/profile_text.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

const wchar_t* const LogFile = L"C:\\Zembrik\\Documentation\\Tavisto.log";

class Diagnostics : public ::testing::Test {
 protected:
  void Configure(const std::string& shares, const std::string& tavisto = "") {
    station_.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station_.Customer("[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\n[NetAddress]\r\n" + shares +
                      (tavisto.empty() ? "" : "[Tavisto]\r\n" + tavisto));
  }
  void RunFirstCycle() {
    station_.Start();
    station_.platform.RunFor(Seconds(1));
  }
  int Connects() const { return static_cast<int>(station_.platform.Connects().size()); }
  std::vector<std::wstring> LogFileLines() const {
    std::vector<std::wstring> lines;
    const std::string content = station_.platform.File(LogFile).value_or("");
    std::size_t start = 0;
    while (start < content.size()) {
      const std::size_t end = content.find("\r\n", start);
      lines.emplace_back(content.begin() + static_cast<std::ptrdiff_t>(start),
                         content.begin() + static_cast<std::ptrdiff_t>(end));
      start = end + 2;
    }
    return lines;
  }
  Station station_;
};

const char* const OneShare =
    "User1=station\r\nPassword1=s3cret\r\nNetAddress1=\\\\srv\\docu\r\n"
    "NetDrive1=K\r\n";

// --- the reason on screen ----------------------------------------------------------

TEST_F(Diagnostics, EachKindOfFaultIsFollowedByItsReason) {
  struct Case {
    SystemResult answer;
    const wchar_t* line;
  } cases[] = {
      {{1326, L"The user name or password is incorrect."},
       L"  error 1326: The user name or password is incorrect."},
      {{53, L"The network path was not found."}, L"  error 53: The network path was not found."},
      {{85, L"The local device name is already in use. K: is connected to \\\\other\\share"},
       L"  error 85: The local device name is already in use. K: is connected to "
       L"\\\\other\\share"},
      {{0x80070035, L"Provider says no (Example Network)"},
       L"  error 2147942453: Provider says no (Example Network)"},
  };
  for (const Case& c : cases) {
    Station station;
    station.Project("[Project]\r\nNumberOfMachines=0\r\n");
    station.Customer(std::string("[NetAddress]\r\n") + OneShare);
    station.platform.SetConnect([&](const ConnectCall&) { return c.answer; });
    station.Start();
    station.platform.RunFor(Seconds(1));
    EXPECT_THAT(
        station.Messages(),
        ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Generate: \\\\srv\\docu",
                    L"Fault by generate: \\\\srv\\docu", c.line, L"Checking ready 1 faults"));
  }
}

TEST_F(Diagnostics, APasswordInTheSystemsTextNeverShowsAndALongTextIsCut) {
  Configure(OneShare);
  station_.platform.SetConnect([](const ConnectCall& call) {
    return SystemResult{
        1326, L"Logon as station with s3cret refused: " + call.password + std::wstring(400, L'x')};
  });
  RunFirstCycle();
  const std::wstring line = station_.Messages()[4];
  EXPECT_THAT(line, StartsWith(L"  error 1326: Logon as station with *** refused: ***xxx"));
  EXPECT_THAT(line, Not(HasSubstr(L"s3cret")));
  EXPECT_LE(line.size(), 180u);
  EXPECT_THAT(line, ::testing::EndsWith(L"..."));
}

TEST_F(Diagnostics, AStatusFileThatCannotBeWrittenIsNamedOnceAndIsNoShareFault) {
  Configure(std::string(OneShare) + "NetAddress2=\\\\srv\r\nNetDrive2=L\r\n");
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.SetDrive(L"L:\\", PresentDrive());
  station_.platform.FailWrites(true);
  RunFirstCycle();
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu", L"Checking: \\\\srv",
                          L"Fault by write: C:\\Zembrik\\Documentation\\Documentation_Tavisto.ini: "
                          L"Access is denied.",
                          L"Checking ready 0 faults"));
}

TEST_F(Diagnostics, ACycleWhoseCommitFailsSaysSoAndTheNextWritesEveryValueAgain) {
  Configure(OneShare);
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.PutFile(StatusIni, "[Machine1]\r\nNetOK1=false\r\n");
  station_.platform.FailCommits(1);
  RunFirstCycle();
  // Every write was taken; the commit that makes them failed: nothing changed on disk.
  EXPECT_THAT(station_.Messages(),
              ElementsAre(L"Initialisize", L"Checking: \\\\srv\\docu",
                          L"Fault by write: C:\\Zembrik\\Documentation\\Documentation_Tavisto.ini: "
                          L"There is not enough space on the disk.",
                          L"Checking ready 0 faults"));
  EXPECT_EQ(station_.Status(), "[Machine1]\r\nNetOK1=false\r\n");
  station_.platform.RunFor(Minutes(10));
  EXPECT_EQ(station_.Status(), "[Machine1]\r\nNetOK1=true\r\n");
  EXPECT_EQ(station_.Messages().back(), L"Checking ready 0 faults");
  EXPECT_THAT(station_.Messages()[station_.Messages().size() - 2], StartsWith(L"Checking: "));
}

TEST_F(Diagnostics, AnImplicitCommitThatFailsInMidCycleIsStillSaidInThatCycle) {
  // Slot 1's writes are made when slot 2's first line lets events run; that commit fails.
  station_.Project("[Project]\r\nNumberOfMachines=1\r\n");
  station_.Customer(
      "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\nReference2=\\\\srv\\other\\m1\r\n"
      "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n"
      "NetAddress2=\\\\srv\\other\r\nNetDrive2=L\r\n");
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.SetDrive(L"L:\\", PresentDrive());
  station_.platform.FailCommits(1);
  RunFirstCycle();
  const std::vector<std::wstring> messages = station_.Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_THAT(messages[messages.size() - 2], StartsWith(L"Fault by write: "));
  EXPECT_EQ(FindProfileValue(station_.Status(), "Machine1", "NetOK1"), std::nullopt);
  EXPECT_EQ(FindProfileValue(station_.Status(), "Machine1", "NetOK2"), "true");
}

// --- the log file ------------------------------------------------------------------

TEST_F(Diagnostics, ALogFileGetsEveryLineWithItsDateFromTheFirstOn) {
  Configure(OneShare, "LogFile=$VisuDir$\\Documentation\\Tavisto.log\r\n");
  RunFirstCycle();
  EXPECT_THAT(LogFileLines(), ElementsAre(L"2026-12-07 08:00:00 Initialisize",
                                          L"2026-12-07 08:00:00 Checking: \\\\srv\\docu",
                                          L"2026-12-07 08:00:00 Generate: \\\\srv\\docu",
                                          L"2026-12-07 08:00:00 Fault by generate: \\\\srv\\docu",
                                          L"2026-12-07 08:00:00   error 1222: simulated error 1222",
                                          L"2026-12-07 08:00:00 Checking ready 1 faults"));
}

TEST_F(Diagnostics, AFullLogFileMovesToDotOneAndANewOneStarts) {
  Configure(OneShare, "LogFile=C:\\Zembrik\\Documentation\\Tavisto.log\r\nLogFileSizeKB=1\r\n");
  station_.Start();
  station_.platform.RunFor(Minutes(130));  // 14 cycles of 6 lines, about 45 bytes each
  const std::optional<std::string> current = station_.platform.File(LogFile);
  const std::optional<std::string> older =
      station_.platform.File(L"C:\\Zembrik\\Documentation\\Tavisto.log.1");
  ASSERT_TRUE(current && older);
  EXPECT_LE(current->size(), 1024u);
  EXPECT_LE(older->size(), 1024u);
  EXPECT_GT(older->size(), 1024u - 60);  // moved only when the next line would not fit
  EXPECT_EQ(current->substr(current->size() - 25), "Checking ready 1 faults\r\n");
  // One older file is kept: the second move replaced the first.
  EXPECT_GE(station_.platform.TraceStartingWith(L"RenameFile").size(), 2u);
}

TEST_F(Diagnostics, ALogFileThatCannotBeWrittenIsNamedOnceAndChangesNothingElse) {
  for (const char* path : {"C:\\NoSuchFolder\\Tavisto.log", "C:\\Zembrik\\Documentation"}) {
    Station station;
    station.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station.Customer(std::string("[NetAddress]\r\n") + OneShare + "[Tavisto]\r\nLogFile=" + path +
                     "\r\n");
    station.Start();
    station.platform.RunFor(Minutes(25));
    const std::vector<std::wstring> messages = station.Messages();
    const auto faults = std::count_if(messages.begin(), messages.end(), [](const std::wstring& m) {
      return m.rfind(L"Fault by log file: ", 0) == 0;
    });
    EXPECT_EQ(faults, 1) << path;
    EXPECT_THAT(messages[1], StartsWith(L"Fault by log file: ")) << path;
    EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Checking ready 1 faults"), 3) << path;
    EXPECT_FALSE(station.platform.Ended()) << path;
  }
}

TEST_F(Diagnostics, NonsenseSettingsTakeTheirDefaults) {
  for (const char* value : {"abc", "0", "-5"}) {
    Station station;
    station.Customer(std::string("[Tavisto]\r\nLogFileSizeKB=") + value +
                     "\r\nRetryAfterFaultSeconds=" + value + "\r\n");
    station.Start();
    EXPECT_EQ(station.window.state.LogFile.MaxBytes, 1024u * 1024u) << value;
    EXPECT_EQ(station.window.state.RetryAfterFaultSeconds, 0) << value;
  }
  Station station;
  station.Customer(
      "[NetAddress]\r\nUpdateInterval=2\r\n[Tavisto]\r\nRetryAfterFaultSeconds=999\r\n");
  station.Start();
  EXPECT_EQ(station.window.state.RetryAfterFaultSeconds, 120);
}

// --- early retries -------------------------------------------------------------------

TEST_F(Diagnostics, AfterFaultsTheWaitStartsAtTheSettingAndDoublesUpToTheInterval) {
  Configure(OneShare, "RetryAfterFaultSeconds=10\r\n");
  station_.Start();
  // The first cycle ends at 50 ms; each retry comes its wait after the previous end.
  const Millis ends[] = {50, 10050, 30050, 70050, 150050, 310050};
  for (int k = 0; k < 6; ++k) {
    station_.platform.RunUntil(ends[k] - 1);
    EXPECT_EQ(Connects(), k) << k;
    station_.platform.RunUntil(ends[k]);
    EXPECT_EQ(Connects(), k + 1) << k;
  }
  // 320 s come next; 640 s would be past the interval, so the ordinary schedule takes
  // over: the minute ticks counted since the first cycle bring the next one within ten
  // minutes, and from then on a cycle every ten minutes.
  station_.platform.RunUntil(310050 + 320000);
  EXPECT_EQ(Connects(), 7);
  station_.platform.RunUntil(310050 + 320000 + Minutes(10));
  ASSERT_EQ(Connects(), 8);
  const Millis eighth = station_.platform.Connects()[7].at;
  EXPECT_GE(eighth, 310050 + 320000 + Minutes(1));
  station_.platform.RunUntil(eighth + Minutes(10) - 1);
  EXPECT_EQ(Connects(), 8);
  station_.platform.RunUntil(eighth + Minutes(10));
  EXPECT_EQ(Connects(), 9);
  EXPECT_FALSE(station_.platform.TimerEnabled(TimerId::RetryTimer));
}

TEST_F(Diagnostics, ACycleWithoutFaultsReturnsToTheOrdinarySchedule) {
  Configure(OneShare, "RetryAfterFaultSeconds=5\r\n");
  int calls = 0;
  station_.platform.SetConnect([&](const ConnectCall&) { return ++calls < 3 ? 53u : 0u; });
  station_.Start();
  station_.platform.RunUntil(50 + 5000 + 10000);  // two retries; the second connects
  EXPECT_EQ(Connects(), 3);
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  // The retries left the ordinary schedule running: its check comes ten minutes after
  // the first.
  station_.platform.RunUntil(50 + Minutes(10) - 1);
  EXPECT_EQ(station_.platform.TraceStartingWith(L"ListDriveRoot").size(), 3u);
  station_.platform.RunUntil(50 + Minutes(10));
  EXPECT_EQ(station_.platform.TraceStartingWith(L"ListDriveRoot").size(), 4u);
  EXPECT_FALSE(station_.platform.TimerEnabled(TimerId::RetryTimer));
}

TEST_F(Diagnostics, ALogonFailureIsNeverRetriedEarly) {
  Configure(std::string(OneShare) + "NetAddress2=\\\\far\\away\r\nNetDrive2=L\r\n",
            "RetryAfterFaultSeconds=10\r\n");
  station_.platform.SetConnect(
      [](const ConnectCall& call) { return call.drive == L"K" ? 1326u : 53u; });
  station_.Start();
  station_.platform.RunFor(Minutes(9));
  std::vector<std::wstring> drives;
  for (const ConnectCall& call : station_.platform.Connects()) drives.push_back(call.drive);
  // The first cycle tries both; the retries (10, 20, 40, 80, 160, 320 s) only L:.
  EXPECT_THAT(drives, ElementsAre(L"K", L"L", L"L", L"L", L"L", L"L", L"L"));
  // K: again only at the ordinary schedule, ten minutes after the first cycle at the
  // earliest.
  station_.platform.RunFor(Minutes(20));
  Millis secondK = 0;
  int seenK = 0;
  for (const ConnectCall& call : station_.platform.Connects()) {
    if (call.drive == L"K" && ++seenK == 2) secondK = call.at;
  }
  EXPECT_GE(secondK, Minutes(10));
}

TEST_F(Diagnostics, OnlyLogonFailuresMeanNoEarlyRetryAtAll) {
  Configure(OneShare, "RetryAfterFaultSeconds=10\r\n");
  station_.platform.SetConnect([](const ConnectCall&) { return 1326u; });
  station_.Start();
  station_.platform.RunFor(Minutes(9));
  EXPECT_EQ(Connects(), 1);
  EXPECT_FALSE(station_.platform.TimerEnabled(TimerId::RetryTimer));
}

TEST_F(Diagnostics, TheKindTheHostGivesDecidesARefusedLogonNotItsNumber) {
  // A host whose numbers are not Windows' (errno 86 is ESTRPIPE on Linux) must not be
  // taken for a refused logon; a refusal with a number of its own must.
  struct Case {
    SystemResult answer;
    int connectsIn9Minutes;
  } cases[] = {
      {{86, L"Streams pipe error", FailureKind::Other}, 6},  // the first and 5 retries
      {{9001, L"the account was refused", FailureKind::LogonRefused}, 1},
  };
  for (const Case& c : cases) {
    Station station;
    station.Project("[Project]\r\nNumberOfMachines=0\r\n");
    station.Customer(std::string("[NetAddress]\r\n") + OneShare +
                     "[Tavisto]\r\nRetryAfterFaultSeconds=10\r\n");
    station.platform.SetConnect([&](const ConnectCall&) { return c.answer; });
    station.Start();
    station.platform.RunFor(Minutes(9));
    EXPECT_EQ(static_cast<int>(station.platform.Connects().size()), c.connectsIn9Minutes)
        << c.answer.error;
  }
}

}  // namespace
}  // namespace vt::sim
