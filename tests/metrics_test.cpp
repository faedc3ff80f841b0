// The metrics file for the plant's Prometheus: its format, what it says after each
// check, and a file that cannot be written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <locale>

#include "core/identity.h"
#include "metrics/metrics_text.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const wchar_t* const MetricsFile = L"C:\\Zembrik\\Documentation\\vodu_tavisto.prom";

// --- the format -----------------------------------------------------------------------

TEST(MetricsFormat, LabelValuesAreEscapedAsTheFormatWantsThemAndInUtf8) {
  EXPECT_EQ(EscapeLabelValue(L"\\\\fileserver\\docu"), "\\\\\\\\fileserver\\\\docu");
  EXPECT_EQ(EscapeLabelValue(L"a\"b\nc"), "a\\\"b\\nc");
  // A Latin-1 share name as the station's code page gives it: UTF-8 in the file.
  EXPECT_EQ(EscapeLabelValue(L"\\\\srv\\\u00DCbergabe"),
            "\\\\\\\\srv\\\\\xC3\x9C"
            "bergabe");
}

TEST(MetricsFormat, SecondsHaveAPointAndThreeDecimalsWhateverTheRegionalSettings) {
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  const std::locale before = std::locale::global(std::locale(std::locale::classic(), new Comma));
  int tried = 0;
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE.utf8", "fr_FR.utf8"}) {
    if (std::setlocale(LC_ALL, name) == nullptr) continue;
    ++tried;
    EXPECT_EQ(SecondsText(1796630400123), "1796630400.123") << name;
    EXPECT_EQ(SecondsText(5), "0.005") << name;
    EXPECT_EQ(SecondsText(-1500), "-1.500") << name;
    AppState state;
    state.UpdateInterval = 10;
    state.Record.LastEndUnixMs = 1796630400050;
    state.Record.Checks[0] = 1234567;
    const std::string text = MetricsText(state);
    EXPECT_THAT(text, HasSubstr("vodu_tavisto_last_check_end_timestamp_seconds 1796630400.050\n"));
    EXPECT_THAT(text, HasSubstr("vodu_tavisto_checks_total{trigger=\"start\"} 1234567\n"));
    EXPECT_THAT(text, HasSubstr("vodu_tavisto_update_interval_seconds 600\n"));
  }
  std::setlocale(LC_ALL, "C");
  std::locale::global(before);
  EXPECT_GT(tried, 0) << "no German or French locale on this machine (Debian: locales-all)";
}

// --- what the file says ----------------------------------------------------------------

class Metrics : public ::testing::Test {
 protected:
  void SetUp() override {
    station_.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station_.Customer(
        "[Machine1]\r\nReference1=\\\\fileserver\\docu\\m1\r\n"
        "[NetAddress]\r\nUser1=station\r\nPassword1=station-secret\r\n"
        "NetAddress1=\\\\fileserver\\docu\r\nNetDrive1=K\r\n"
        "User3=backup\r\nPassword3=backup-secret\r\nNetAddress3=\\\\oldserver\\backup\r\n"
        "NetDrive3=M\r\nUpdateInterval=1\r\n"
        "[Tavisto]\r\nMetricsFile=$VisuDir$\\Documentation\\vodu_tavisto.prom\r\n");
    station_.platform.SetDrive(L"K:\\", PresentDrive());
  }
  std::string File() const { return station_.platform.File(MetricsFile).value_or("(none)"); }
  std::vector<std::wstring> FaultLines() const {
    std::vector<std::wstring> lines;
    for (const std::wstring& m : station_.Messages()) {
      if (m.rfind(L"Fault by metrics file: ", 0) == 0) lines.push_back(m);
    }
    return lines;
  }
  Station station_;
};

TEST_F(Metrics, AfterTheFirstCheckTheFileSaysEverything) {
  station_.platform.SetConnect([](const ConnectCall&) { return 1222u; }, 4);
  station_.Start();
  EXPECT_EQ(File(), "(none)");  // written after a check, not before
  station_.platform.RunFor(Seconds(1));
  EXPECT_EQ(
      File(),
      "# HELP vodu_tavisto_share_up Whether the share was reachable at the last check (1) "
      "or not (0).\n"
      "# TYPE vodu_tavisto_share_up gauge\n"
      "vodu_tavisto_share_up{slot=\"1\",drive=\"K\",share=\"\\\\\\\\fileserver\\\\docu\"} 1\n"
      "vodu_tavisto_share_up{slot=\"3\",drive=\"M\",share=\"\\\\\\\\oldserver\\\\backup\"} 0\n"
      "# HELP vodu_tavisto_share_last_error The error number of the share's last failed "
      "connect; 0 while the share is up.\n"
      "# TYPE vodu_tavisto_share_last_error gauge\n"
      "vodu_tavisto_share_last_error{slot=\"1\",drive=\"K\",share=\"\\\\\\\\fileserver\\\\docu\"} "
      "0\n"
      "vodu_tavisto_share_last_error{slot=\"3\",drive=\"M\",share=\"\\\\\\\\oldserver\\\\backup\"}"
      " 1222\n"
      "# HELP vodu_tavisto_share_connect_failures_total Connects of the share that failed "
      "since the program started.\n"
      "# TYPE vodu_tavisto_share_connect_failures_total counter\n"
      "vodu_tavisto_share_connect_failures_total{slot=\"1\",drive=\"K\",share=\"\\\\\\\\"
      "fileserver\\\\docu\"} 0\n"
      "vodu_tavisto_share_connect_failures_total{slot=\"3\",drive=\"M\",share=\"\\\\\\\\"
      "oldserver\\\\backup\"} 1\n"
      "# HELP vodu_tavisto_checks_total Checks since the program started, by what started "
      "them.\n"
      "# TYPE vodu_tavisto_checks_total counter\n"
      "vodu_tavisto_checks_total{trigger=\"start\"} 1\n"
      "vodu_tavisto_checks_total{trigger=\"schedule\"} 0\n"
      "vodu_tavisto_checks_total{trigger=\"retry\"} 0\n"
      "vodu_tavisto_checks_total{trigger=\"network_change\"} 0\n"
      "vodu_tavisto_checks_total{trigger=\"resume\"} 0\n"
      "vodu_tavisto_checks_total{trigger=\"share_lost\"} 0\n"
      "# HELP vodu_tavisto_last_check_end_timestamp_seconds When the last check ended, in "
      "Unix time.\n"
      "# TYPE vodu_tavisto_last_check_end_timestamp_seconds gauge\n"
      "vodu_tavisto_last_check_end_timestamp_seconds 1796630400.054\n"
      "# HELP vodu_tavisto_last_check_duration_seconds How long the last check took.\n"
      "# TYPE vodu_tavisto_last_check_duration_seconds gauge\n"
      "vodu_tavisto_last_check_duration_seconds 0.004\n"
      "# HELP vodu_tavisto_status_file_write_success Whether the last check could write the "
      "status file (1) or not (0).\n"
      "# TYPE vodu_tavisto_status_file_write_success gauge\n"
      "vodu_tavisto_status_file_write_success 1\n"
      "# HELP vodu_tavisto_update_interval_seconds The time from the end of one ordinary "
      "check to the start of the next.\n"
      "# TYPE vodu_tavisto_update_interval_seconds gauge\n"
      "vodu_tavisto_update_interval_seconds 60\n"
      "# HELP vodu_tavisto_build_info The program's version, in its label.\n"
      "# TYPE vodu_tavisto_build_info gauge\n"
      "vodu_tavisto_build_info{version=\"" VT_VERSION_TEXT "\"} 1\n");
  // Neither a password nor a user name ("station", "backup" is a user and a share).
  EXPECT_THAT(File(), Not(HasSubstr("secret")));
  EXPECT_THAT(File(), Not(HasSubstr("station")));
  EXPECT_THAT(File(), Not(HasSubstr("user")));
}

TEST_F(Metrics, AShareThatFaultsThenRecoversAndEveryCheckIsCounted) {
  int connects = 0;
  station_.platform.SetConnect([&](const ConnectCall&) { return ++connects == 1 ? 53u : 0u; });
  station_.Start();
  station_.platform.RunFor(Seconds(1));
  const char* const backup = "{slot=\"3\",drive=\"M\",share=\"\\\\\\\\oldserver\\\\backup\"}";
  EXPECT_THAT(File(), HasSubstr(std::string("vodu_tavisto_share_up") + backup + " 0\n"));
  EXPECT_THAT(File(), HasSubstr(std::string("vodu_tavisto_share_last_error") + backup + " 53\n"));
  station_.platform.RunFor(Minutes(2));  // two ordinary checks: the second connect works
  EXPECT_THAT(File(), HasSubstr(std::string("vodu_tavisto_share_up") + backup + " 1\n"));
  EXPECT_THAT(File(), HasSubstr(std::string("vodu_tavisto_share_last_error") + backup + " 0\n"));
  EXPECT_THAT(File(), HasSubstr(std::string("vodu_tavisto_share_connect_failures_total") + backup +
                                " 1\n"));
  EXPECT_THAT(File(), HasSubstr("vodu_tavisto_checks_total{trigger=\"start\"} 1\n"));
  EXPECT_THAT(File(), HasSubstr("vodu_tavisto_checks_total{trigger=\"schedule\"} 2\n"));
  // Replaced after each check, and only then.
  EXPECT_EQ(station_.platform.TraceStartingWith(L"WriteWholeFile").size(), 3u);
}

TEST_F(Metrics, AStatusFileThatCannotBeWrittenShowsInTheFile) {
  station_.platform.FailCommits(1);
  station_.Start();
  station_.platform.RunFor(Seconds(1));
  EXPECT_THAT(File(), HasSubstr("vodu_tavisto_status_file_write_success 0\n"));
  station_.platform.RunFor(Minutes(1));
  EXPECT_THAT(File(), HasSubstr("vodu_tavisto_status_file_write_success 1\n"));
}

TEST_F(Metrics, AFileThatCannotBeWrittenIsSaidOnceAndAgainOnlyAfterItWorkedInBetween) {
  station_.Start();
  station_.platform.FailWrites(true);
  station_.platform.RunFor(Minutes(2) + Seconds(1));  // the first check and two more fail
  EXPECT_EQ(FaultLines(),
            std::vector<std::wstring>{L"Fault by metrics file: C:\\Zembrik\\Documentation\\"
                                      L"vodu_tavisto.prom: Access is denied."});
  station_.platform.FailWrites(false);
  station_.platform.RunFor(Minutes(1));
  EXPECT_THAT(File(), HasSubstr("vodu_tavisto_checks_total{trigger=\"schedule\"} 3\n"));
  station_.platform.FailWrites(true);
  station_.platform.RunFor(Minutes(2));
  EXPECT_EQ(FaultLines().size(), 2u);
  // No share fault, and nothing else changed: every check still ended as before.
  const std::vector<std::wstring> messages = station_.Messages();
  EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Checking ready 1 faults"), 6);
}

TEST(MetricsOff, WithoutTheSettingNoFileIsWritten) {
  Station station;
  station.Customer("[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
  station.Start();
  station.platform.RunFor(Minutes(3));
  EXPECT_TRUE(station.platform.TraceStartingWith(L"WriteWholeFile").empty());
}

}  // namespace
}  // namespace vt::sim
