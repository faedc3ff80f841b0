// Loading the station's configuration at start-up.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string References(int machines) {
  std::string cfg;
  for (int m = 1; m <= machines; ++m) {
    cfg += "[Machine" + std::to_string(m) + "]\r\n";
    for (int r = 1; r <= 9; ++r) {
      cfg += "Reference" + std::to_string(r) + "=\\\\srv\\docu\\m" + std::to_string(m) + "r" +
             std::to_string(r) + "\r\n";
    }
  }
  return cfg;
}

std::vector<std::wstring> CustomerReads(const Station& station) {
  std::vector<std::wstring> reads;
  for (const std::wstring& call : station.platform.TraceStartingWith(L"ProfileString")) {
    if (call.find(L"Documentation_Customer.cfg") == std::wstring::npos) continue;
    // "ProfileString <section> <key> <file>": keep section and key.
    const std::size_t sectionStart = call.find(L' ') + 1;
    const std::size_t keyEnd = call.find(L' ', call.find(L' ', sectionStart) + 1);
    reads.push_back(call.substr(sectionStart, keyEnd - sectionStart));
  }
  return reads;
}

TEST(ProjectSettings, ExpandTheThreePathsAndReadMachinesAndStudio) {
  Station station;
  station.platform.SetEnvironment(L"VisuDir", L"D:\\Station");
  station.platform.PutFile(L"D:\\Station\\Parameter\\Program.ini",
                           "[project]\r\nnumberofmachines=2\r\nvwstudio=True\r\n");
  station.Start();
  const AppState& state = station.window.state;
  EXPECT_EQ(state.ProgramIniPath, L"D:\\Station\\Parameter\\Program.ini");
  EXPECT_EQ(state.StatusIniPath, L"D:\\Station\\Documentation\\Documentation_Tavisto.ini");
  EXPECT_EQ(state.CustomerCfgPath, L"D:\\Station\\Documentation\\Documentation_Customer.cfg");
  EXPECT_EQ(state.NumberOfMachines, 2);
  EXPECT_TRUE(state.VWStudio);
}

TEST(ProjectSettings, AMissingFileMeansNoMachinesAndNoStudio) {
  Station station;
  station.Start();
  EXPECT_EQ(station.window.state.NumberOfMachines, -1);
  EXPECT_FALSE(station.window.state.VWStudio);
  // share slots, interval, the protected passwords, and the texts of [Tavisto] (LogFile,
  // CheckOnNetworkChange, EventLog, MetricsFile)
  EXPECT_EQ(CustomerReads(station).size(), 30u);
  EXPECT_EQ(station.window.state.UpdateInterval, 10);
}

TEST(CustomerConfiguration, TwoMachinesReadExactlyTheirEighteenReferencesInOrder) {
  Station station;
  station.Project("[Project]\r\nNumberOfMachines=2\r\n");
  station.Customer(References(5) +
                   "[NetAddress]\r\nUser5=op\r\nPassword1=secret\r\nNetAddress1=\\\\srv\\docu\r\n"
                   "NetDrive1=K\r\nNetDrive2=L\r\nUpdateInterval=15 minutes\r\n");
  station.Start();
  const std::vector<std::wstring> reads = CustomerReads(station);
  ASSERT_EQ(reads.size(), 18u + 20u + 1u + 5u + 4u);
  EXPECT_EQ(reads[0], L"Machine1 Reference1");
  EXPECT_EQ(reads[8], L"Machine1 Reference9");
  EXPECT_EQ(reads[9], L"Machine2 Reference1");
  EXPECT_EQ(reads[17], L"Machine2 Reference9");
  EXPECT_THAT(std::vector<std::wstring>(reads.begin() + 18, reads.begin() + 22),
              ElementsAre(L"NetAddress User1", L"NetAddress Password1", L"NetAddress NetAddress1",
                          L"NetAddress NetDrive1"));
  EXPECT_EQ(reads[37], L"NetAddress NetDrive5");
  EXPECT_EQ(reads[38], L"NetAddress UpdateInterval");

  const AppState& state = station.window.state;
  EXPECT_EQ(state.Reference[1][8], L"\\\\srv\\docu\\m2r9");
  EXPECT_EQ(state.Reference[2][0], L"");  // machine 3 is not in use
  EXPECT_EQ(state.Shares[0].NetAddress, L"\\\\srv\\docu");
  EXPECT_EQ(state.Shares[0].Password, L"secret");
  EXPECT_EQ(state.Shares[1].NetDrive, L"L");  // read although its address is empty
  EXPECT_EQ(state.Shares[4].User, L"op");
  EXPECT_EQ(state.UpdateInterval, 15);
}

TEST(CustomerConfiguration, SixMachinesStopAfterFortyFiveReadsWithAClearMessage) {
  Station station;
  station.Project("[Project]\r\nNumberOfMachines=6\r\n");
  station.Customer(References(6) + "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station.Start();
  EXPECT_EQ(CustomerReads(station).size(), 45u);
  EXPECT_TRUE(station.platform.Ended());
  ASSERT_EQ(station.platform.ReportedErrors().size(), 1u);
  EXPECT_THAT(station.platform.ReportedErrors()[0],
              HasSubstr(L"NumberOfMachines is 6 in C:\\Zembrik\\Parameter\\Program.ini, at most 5 "
                        L"machines are supported"));
  EXPECT_TRUE(station.window.state.Shares[0].NetAddress.empty());
  EXPECT_TRUE(station.platform.TraceStartingWith(L"ProfileWrite").empty());
  EXPECT_TRUE(station.platform.Connects().empty());
  EXPECT_FALSE(station.platform.TimerEnabled(TimerId::StartTimer));
}

TEST(CustomerConfiguration, NoMachinesReadsNoReference) {
  for (const char* machines : {"0", "-3", "none"}) {
    Station station;
    station.Project(std::string("[Project]\r\nNumberOfMachines=") + machines + "\r\n");
    station.Customer(References(2));
    station.Start();
    EXPECT_EQ(CustomerReads(station).size(), 30u) << machines;
    EXPECT_EQ(station.window.state.Reference[0][0], L"") << machines;
  }
}

TEST(CustomerConfiguration, TheIntervalFallsBackToTenAndRoundsHalvesToEven) {
  const std::pair<const char*, int> cases[] = {{"15", 15}, {"0", 10},       {"-5", 10}, {"abc", 10},
                                               {"", 10},   {"0.5", 10},     {"1.5", 2}, {"2.5", 2},
                                               {"3.5", 4}, {"32767", 32767}};
  for (const auto& [text, minutes] : cases) {
    Station station;
    station.Customer(std::string("[NetAddress]\r\nUpdateInterval=") + text + "\r\n");
    station.Start();
    EXPECT_EQ(station.window.state.UpdateInterval, minutes) << text;
  }
}

TEST(CustomerConfiguration, AnIntervalBeyond16BitsStopsStartUpAfterTheShareSlots) {
  // &HFFFF is the whole number 65535 in hexadecimal digits, as 40000 is in decimal ones.
  for (const char* interval : {"40000", "&HFFFF"}) {
    Station station;
    station.Customer(std::string("[NetAddress]\r\nNetAddress5=\\\\srv\\x\r\nPassword5=hunter2\r\n"
                                 "UpdateInterval=") +
                     interval + "\r\n");
    station.Start();
    EXPECT_TRUE(station.platform.Ended()) << interval;
    EXPECT_EQ(station.window.state.Shares[4].NetAddress, L"\\\\srv\\x");
    ASSERT_EQ(station.platform.ReportedErrors().size(), 1u) << interval;
    const std::wstring& message = station.platform.ReportedErrors()[0];
    EXPECT_THAT(message,
                HasSubstr(L"Overflow: UpdateInterval \"" +
                          std::wstring(interval, interval + std::strlen(interval)) +
                          L"\" in C:\\Zembrik\\Documentation\\Documentation_Customer.cfg"));
    EXPECT_THAT(message, ::testing::Not(HasSubstr(L"hunter2")));
    EXPECT_FALSE(station.platform.TimerEnabled(TimerId::StartTimer));
  }
}

}  // namespace
}  // namespace vt::sim
