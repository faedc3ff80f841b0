// Entries in the Windows Event Log: the start, and transitions only.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/identity.h"
#include "events/system_events.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

class SystemEvents : public ::testing::Test {
 protected:
  void Configure(const std::string& setting = "EventLog=TRUE\r\n") {
    station_.Project("[Project]\r\nNumberOfMachines=1\r\n");
    station_.Customer(
        "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\n[NetAddress]\r\nUser1=op\r\n"
        "Password1=pw-4711\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\nUpdateInterval=1\r\n"
        "[Tavisto]\r\n" +
        setting);
  }
  // The entries as "type id strings...".
  std::vector<std::wstring> Entries() const {
    std::vector<std::wstring> entries;
    for (const SimPlatform::EventEntry& entry : station_.platform.EventLogEntries()) {
      std::wstring line = entry.type == EventType::Warning ? L"warning"
                          : entry.type == EventType::Error ? L"error"
                                                           : L"information";
      line += L" " + std::to_wstring(entry.id);
      for (const std::wstring& text : entry.strings) line += L" | " + text;
      entries.push_back(line);
    }
    return entries;
  }
  Station station_;
};

TEST_F(SystemEvents, AShareDownForThreeChecksGivesOneWarningAndItsReturnOneEntry) {
  Configure();
  // A connect that echoes the password: the entry has the masked text.
  station_.platform.SetConnect([](const ConnectCall& call) {
    return SystemResult{53, L"The network path was not found (" + call.password + L").",
                        FailureKind::Unreachable};
  });
  station_.Start();
  station_.platform.RunFor(Minutes(2) + Seconds(1));  // three checks, all down
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.RunFor(Minutes(2));  // two checks, up
  EXPECT_THAT(Entries(),
              ElementsAre(L"information 1 | " VT_WIDE_TEXT(VT_VERSION_TEXT),
                          L"warning 2 | \\\\srv\\docu | K | 53 | The network path was not found "
                          L"(***).",
                          L"information 3 | \\\\srv\\docu | K"));
}

TEST_F(SystemEvents, AStatusFileThatCannotBeWrittenAndLaterCanGivesAnEntryEach) {
  Configure();
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.FailCommits(2);
  station_.Start();
  station_.platform.RunFor(Minutes(3));
  EXPECT_THAT(
      Entries(),
      ElementsAre(L"information 1 | " VT_WIDE_TEXT(VT_VERSION_TEXT),
                  L"warning 4 | C:\\Zembrik\\Documentation\\Documentation_Tavisto.ini | "
                  L"There is not enough space on the disk.",
                  L"information 5 | C:\\Zembrik\\Documentation\\Documentation_Tavisto.ini"));
}

TEST_F(SystemEvents, AnErrorThatEndsTheProgramIsWrittenBeforeItsBoxShows) {
  Configure();
  station_.platform.SetDrive(L"K:\\", PresentDrive());
  station_.platform.FailLogLinesContaining(L"Checking ready");  // outside the guarded steps
  station_.Start();
  station_.platform.RunFor(Seconds(1));
  ASSERT_TRUE(station_.platform.Ended());
  ASSERT_EQ(station_.platform.EventLogEntries().size(), 2u);
  const SimPlatform::EventEntry& last = station_.platform.EventLogEntries().back();
  EXPECT_EQ(last.type, EventType::Error);
  EXPECT_EQ(last.id, static_cast<std::uint32_t>(ProgramEnding));
  EXPECT_THAT(last.strings, ElementsAre(station_.platform.ReportedErrors().at(0)));
  const std::vector<std::wstring> trace = station_.platform.Trace();
  const auto entry = std::find(trace.begin(), trace.end(), L"WriteEventLogEntry 6");
  const auto box = std::find_if(trace.begin(), trace.end(), [](const std::wstring& line) {
    return line.rfind(L"ReportUncaughtError", 0) == 0;
  });
  EXPECT_LT(entry, box);
}

TEST_F(SystemEvents, OffOrAnyOtherValueWritesNothing) {
  for (const char* setting : {"", "EventLog=yes\r\n", "EventLog=1\r\n"}) {
    Station station;
    station.Customer(std::string("[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n"
                                 "[Tavisto]\r\n") +
                     setting);
    station.Start();
    station.platform.RunFor(Minutes(3));
    EXPECT_TRUE(station.platform.EventLogEntries().empty()) << setting;
    EXPECT_TRUE(station.platform.TraceStartingWith(L"WriteEventLogEntry").empty()) << setting;
  }
}

TEST_F(SystemEvents, AnEntryThatCannotBeWrittenIsSaidOnceAndChangesNothingElse) {
  Configure();
  station_.platform.FailEventLog(
      {1502, L"ReportEventW failed: 1502 The event log file is full.", FailureKind::Other});
  station_.Start();
  station_.platform.RunFor(Minutes(3));
  const std::vector<std::wstring> messages = station_.Messages();
  EXPECT_EQ(
      std::count(messages.begin(), messages.end(),
                 L"Fault by event log: ReportEventW failed: 1502 The event log file is full."),
      1);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), L"Checking ready 1 faults"), 3);
  EXPECT_THAT(messages.back(), HasSubstr(L"Checking ready"));
}

}  // namespace
}  // namespace vt::sim
