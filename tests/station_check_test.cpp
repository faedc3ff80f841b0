// Checking a station's files: what each kind of mistake gives, the exit statuses, and
// what only the station itself can tell.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "check/check_command.h"
#include "check/checked_station.h"
#include "check/station_check.h"
#include "config/configuration.h"
#include "portable/utf8.h"
#include "sim/station.h"

namespace vt::sim {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string CleanProject = "[Project]\r\nNumberOfMachines=1\r\nVWStudio=false\r\n";
// Everything a station sets, set well: no finding.
const std::string CleanCustomer =
    "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\n"
    "[NetAddress]\r\nUser1=station\r\nProtectedPassword1=sim:pw\r\nNetAddress1=\\\\srv\\docu\r\n"
    "NetDrive1=K\r\nUpdateInterval=10\r\n"
    "[Tavisto]\r\nLogFile=$VisuDir$\\Documentation\\Tavisto.log\r\nLogFileSizeKB=64\r\n"
    "RetryAfterFaultSeconds=10\r\nCheckOnNetworkChange=TRUE\r\nShareTimeoutSeconds=20\r\n"
    "WatchSharesSeconds=30\r\nEventLog=false\r\n";

// The files of a station folder "st" as a front end reads them.
FileReader FilesOf(const std::string& project, const std::string& customer) {
  return [project, customer](const std::wstring& path) {
    FileContent content;
    const bool isProject = path == L"st\\Parameter\\Program.ini";
    content.shownAs = isProject ? L"P" : L"C";
    const std::string& bytes = isProject ? project : customer;
    content.exists = !bytes.empty();
    content.bytes = bytes;
    return content;
  };
}

std::vector<std::string> Findings(const std::string& project, const std::string& customer) {
  SimPlatform host;
  std::vector<std::string> lines;
  for (const Finding& finding :
       CheckStation(host, FilesOf(project, customer), {L"st", {}}).findings)
    lines.push_back(EncodeUtf8(FindingLine(finding, L"vodu-tavisto")));
  return lines;
}

struct Case {
  const char* story;
  std::string project;
  std::string customer;
  std::vector<std::string> findings;  // each the start of a finding's line, in order
};

// Long texts are written as adjacent literals.
// NOLINTBEGIN(bugprone-suspicious-missing-comma)
const std::vector<Case> Cases = {
    {"a clean station", CleanProject, CleanCustomer, {}},
    {"six machines stop the program",
     "[Project]\r\nNumberOfMachines=6\r\n",
     CleanCustomer,
     {"P:2: error: the program stops at start-up: Subscript out of range: NumberOfMachines is 6"}},
    {"two values that stop it, each on its own line",
     "[Project]\r\nNumberOfMachines=6\r\n",
     "[NetAddress]\r\nUpdateInterval=40000\r\n",
     {"P:2: error: the program stops at start-up: Subscript out of range: NumberOfMachines is 6",
      "C:2: error: the program stops at start-up: Overflow: UpdateInterval \"40000\""}},
    {"an interval beyond 16 bits stops it",
     CleanProject,
     "[NetAddress]\r\nUpdateInterval=40000\r\n",
     {"C:2: error: the program stops at start-up: Overflow: UpdateInterval \"40000\""}},
    {"missing files",
     "",
     "",
     {"P: error: cannot be read (no such file): the program runs with no machines",
      "C: error: cannot be read (no such file): the program runs with no references"}},
    {"numbers the program reads otherwise",
     "[Project]\r\nNumberOfMachines=2 machines\r\n",
     "[NetAddress]\r\nUpdateInterval=1.5\r\n[Tavisto]\r\nLogFileSizeKB=-5\r\n"
     "RetryAfterFaultSeconds=900\r\nShareTimeoutSeconds=abc\r\n",
     {"P:2: warning: [Project] NumberOfMachines=2 machines is not a number from 0 to 5: the "
      "program reads it as 2, machines 1 to 2",
      "C:2: warning: [NetAddress] UpdateInterval=1.5 is not a whole number of minutes from 1 to "
      "32767: the program checks every 2 minutes",
      "C:4: warning: [Tavisto] LogFileSizeKB=-5 is not a positive whole number: the program "
      "uses 1024 KB",
      "C:5: warning: [Tavisto] RetryAfterFaultSeconds=900 is longer than the interval (2 "
      "minutes): the program waits 120 s",
      "C:6: warning: [Tavisto] ShareTimeoutSeconds=abc is not a positive whole number: the "
      "program waits 30 s"}},
    {"a watch between checks that is no number",
     CleanProject,
     "[NetAddress]\r\nUpdateInterval=2\r\n[Tavisto]\r\nWatchSharesSeconds=-30\r\n",
     {"C:4: warning: [Tavisto] WatchSharesSeconds=-30 is not a whole number of seconds: the "
      "program uses no watch between checks"}},
    {"a watch between checks that is off",
     CleanProject,
     "[NetAddress]\r\nUpdateInterval=2\r\n[Tavisto]\r\nWatchSharesSeconds=0\r\n",
     {"C:4: note: [Tavisto] WatchSharesSeconds=0 watches no share between checks: a lost share is "
      "published at the next check"}},
    {"a watch between checks not shorter than the interval",
     CleanProject,
     "[NetAddress]\r\nUpdateInterval=2\r\n[Tavisto]\r\nWatchSharesSeconds=120\r\n",
     {"C:4: warning: [Tavisto] WatchSharesSeconds=120 is not shorter than the interval (2 "
      "minutes): a check comes first each time, the program never watches"}},
    {"a watch between checks more often than a listing on Windows can tell more",
     CleanProject,
     "[NetAddress]\r\nUpdateInterval=2\r\n[Tavisto]\r\nWatchSharesSeconds=5\r\n",
     {"C:4: warning: [Tavisto] WatchSharesSeconds=5 is shorter than a listing of a drive can tell "
      "more (Windows' SMB client keeps a folder's listing up to 10 s): the program uses a look "
      "every 15 s"}},
    {"numbers of 12 and 40 digits, the first ones zeros, are the numbers the program reads",
     CleanProject,
     "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\n[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\n"
     "NetDrive1=K\r\nUpdateInterval=000000000001\r\n[Tavisto]\r\n"
     "RetryAfterFaultSeconds=0000000000000000000000000000000000000010\r\n",
     {}},
    {"a misspelt section of Program.ini is named with the one meant",
     "[Projekt]\r\nNumberOfMachines=1\r\n",
     "[NetAddress]\r\nUpdateInterval=10\r\n",
     {"P: note: [Project] NumberOfMachines is missing: no machine's references are read",
      "P:1: warning: [Projekt] is not read: did you mean [Project]?"}},
    {"misspelt sections of the customer file: named with the one meant, their keys read by no "
     "one; a section near none as before",
     CleanProject,
     "[Machine1]\r\nReference1=\\\\srv\\docu\\m1\r\n[NetAdress]\r\nNetAddress1=\\\\srv\\docu\r\n"
     "NetDrive1=K\r\n[Tavsito]\r\nRetryAfterFaultSeconds=abc\r\n[Colours]\r\nBack=grey\r\n",
     {"C:2: warning: [Machine1] Reference1=\\\\srv\\docu\\m1 lies on no configured share",
      "C:3: warning: [NetAdress] is not read: did you mean [NetAddress]?",
      "C:6: warning: [Tavsito] is not read: did you mean [Tavisto]?"}},
    {"true/false keys that are neither",
     "[Project]\r\nNumberOfMachines=0\r\nVWStudio=1\r\n",
     "[Tavisto]\r\nCheckOnNetworkChange=yes\r\nEventLog=on\r\n",
     {"P:3: warning: [Project] VWStudio=1 is neither true nor false: the program takes it as false",
      "C:2: warning: [Tavisto] CheckOnNetworkChange=yes is neither",
      "C:3: warning: [Tavisto] EventLog=on is neither"}},
    {"keys nobody reads, numbers out of range, keys and sections twice",
     CleanProject,
     "[Tavisto]\r\nShareTimeoutSecond=10\r\nColour=blue\r\n[NetAddress]\r\nUser6=x\r\n"
     "User1=a\r\nuser1=b\r\n[Machine1]\r\nReference10=\\\\srv\\docu\\x\r\n[Machine2]\r\n"
     "Reference1=\\\\srv\\docu\\y\r\n[Tavisto]\r\nEventLog=true\r\n",
     {"C:2: warning: [Tavisto] ShareTimeoutSecond is not read by the program; did you mean "
      "ShareTimeoutSeconds?",
      "C:3: warning: [Tavisto] Colour is not read by the program",
      "C:5: warning: [NetAddress] User6 is read by no one: the program reads User1 to User5",
      "C:7: warning: [NetAddress] user1 is given again (first at line 6): Windows reads the first",
      "C:9: warning: [Machine1] Reference10 is read by no one: the program reads Reference1 to "
      "Reference9",
      "C:10: warning: [Machine2] is read by no one: the program reads the references of "
      "machines 1 to NumberOfMachines (1)",
      "C:12: warning: [Tavisto] is given again (first at line 1): Windows reads only the first"}},
    {"shares and drives as Windows maps them",
     "[Project]\r\nNumberOfMachines=0\r\n",
     "[NetAddress]\r\nNetAddress1=srv\\docu\r\nNetDrive1=K\r\nNetAddress2=\\\\srv\\docu\\\r\n"
     "NetDrive2=L:\r\nNetDrive3=M\r\nNetAddress4=\\\\srv\\arch\r\n",
     {"C:2: warning: [NetAddress] NetAddress1=srv\\docu does not begin with \\\\ and a server",
      "C:4: warning: [NetAddress] NetAddress2=\\\\srv\\docu\\ ends with a backslash",
      "C:5: warning: [NetAddress] NetDrive2=L: is not one drive letter without a colon",
      "C:6: warning: [NetAddress] NetDrive3=M has no NetAddress3: the slot is not in use",
      "C:7: warning: [NetAddress] NetAddress4=\\\\srv\\arch has no NetDrive4"}},
    {"two slots on one drive, on one share, on one server as two users",
     "[Project]\r\nNumberOfMachines=0\r\n",
     "[NetAddress]\r\nUser1=station\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n"
     "User2=station\r\nNetAddress2=\\\\SRV\\DOCU\r\nNetDrive2=k\r\n"
     "User3=backup\r\nNetAddress3=\\\\Srv\\archive\r\nNetDrive3=M\r\n",
     {"C:6: warning: [NetAddress] NetAddress2=\\\\SRV\\DOCU names a share that another slot names "
      "too (slots 1 and 2)",
      "C:7: warning: [NetAddress] NetDrive2=k names a drive that another slot names too",
      "C:9: warning: [NetAddress] NetAddress3=\\\\Srv\\archive is on the server of slot 1 with "
      "another user (\"backup\", not \"station\"): Windows refuses the later connect with 1219"}},
    {"references that get no status",
     CleanProject,
     "[Machine1]\r\nReference1=\\\\srv\\dcou\\m1\r\nReference2=C:\\Local\\m1\r\n"
     "[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n",
     {"C:2: warning: [Machine1] Reference1=\\\\srv\\dcou\\m1 lies on no configured share: NetOK1 "
      "of [Machine1] never gets a status",
      "C:3: note: [Machine1] Reference2=C:\\Local\\m1 is not a network path"}},
    {"a placeholder left unexpanded",
     CleanProject,
     "[Tavisto]\r\nMetricsFile=$VisuDri$\\m.prom\r\n",
     {"C:2: warning: [Tavisto] MetricsFile=$VisuDri$\\m.prom keeps $VisuDri$, which names no "
      "directory variable: the file is \"$VisuDri$\\m.prom\""}},
    {"a UTF-8 file and a UTF-8 byte-order mark",
     "\xEF\xBB\xBF[Project]\r\nNumberOfMachines=1\r\n",
     "[NetAddress]\r\nPassword1=gr\xC3\xBCn\r\nNetAddress2=\\\\srv\\\xC3\x9C"
     "bergabe\r\n",
     {"P: note: [Project] NumberOfMachines is missing",
      "P:1: warning: the file starts with a UTF-8 byte-order mark, which Windows' profile service "
      "reads as ANSI text: the first line reads \"\xC3\xAF\xC2\xBB\xC2\xBF[Project]\", so its "
      "section and the keys in it are read by no one",
      "C:2: warning: the file is UTF-8 with characters outside ASCII, and Windows' profile "
      "service reads it in the ANSI code page (here Windows-1252): Password1 (its value is not "
      "shown)",
      "C:3: warning: [NetAddress] NetAddress2=\\\\srv\\\xC3\x83\xC5\x93"
      "bergabe has no "
      "NetDrive2"}},
};
// NOLINTEND(bugprone-suspicious-missing-comma)

TEST(StationCheck, EachMistakeGivesItsFindingsAndACleanStationNone) {
  for (const Case& c : Cases) {
    const std::vector<std::string> found = Findings(c.project, c.customer);
    ASSERT_EQ(found.size(), c.findings.size())
        << c.story << ": " << ::testing::PrintToString(found);
    for (std::size_t i = 0; i < found.size(); ++i)
      EXPECT_EQ(found[i].substr(0, std::string(c.findings[i]).size()), c.findings[i]) << c.story;
    for (const std::string& line : found) {
      EXPECT_THAT(line, ::testing::Not(HasSubstr("gr\xC3"))) << c.story << ": a password shown";
      EXPECT_THAT(line, ::testing::Not(HasSubstr("sim:pw"))) << c.story;
    }
  }
}

TEST(StationCheck, OnTheStationTellsWhatOnlyTheStationKnows) {
  Station station;
  station.Project(CleanProject);
  station.Customer(
      "[NetAddress]\r\nProtectedPassword1=moved:blob\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1="
      "C\r\n"
      "[Tavisto]\r\nLogFile=D:\\Logs\\t.log\r\n");
  station.platform.AddLocalDisk(L"C");
  station.platform.HideDrivesFromElevated(true);
  station.platform.SetEnvironment(L"ServicePackDir", L"$Visudri$\\sp");
  const FileReader reader = [&station](const std::wstring& path) {
    const std::optional<std::string> bytes = station.platform.File(path);
    return FileContent{bytes.has_value(), {}, bytes.value_or(std::string()), path};
  };
  std::vector<std::string> found;
  for (const Finding& finding : CheckStation(station.platform, reader, {}).findings)
    found.push_back(EncodeUtf8(FindingLine(finding, L"vodu-tavisto")));
  EXPECT_THAT(
      found,
      ElementsAre(
          HasSubstr(":2: warning: [NetAddress] ProtectedPassword1 cannot be unprotected on this "
                    "station (Key not valid for use in specified state.)"),
          HasSubstr("Documentation_Customer.cfg:4: warning: [NetAddress] NetDrive1=C is a disk of "
                    "this station: the connect fails with 85"),
          HasSubstr(":6: warning: [Tavisto] LogFile=D:\\Logs\\t.log is in a folder that cannot be "
                    "written, D:\\Logs"),
          // What belongs to no file has the command's name in the file's place.
          HasSubstr("vodu-tavisto: warning: ServicePackDir=$Visudri$\\sp keeps $Visudri$, which "
                    "names no directory variable"),
          HasSubstr("vodu-tavisto: note: User Account Control is on and "
                    "EnableLinkedConnections")));
  // Away from the station none of this is asked: no unprotect, no probe.
  SimPlatform elsewhere;
  CheckStation(elsewhere, FilesOf(CleanProject, "[NetAddress]\r\nProtectedPassword1=moved:x\r\n"),
               {L"st", {}});
  EXPECT_TRUE(elsewhere.TraceStartingWith(L"UnprotectPassword").empty());
  EXPECT_TRUE(elsewhere.TraceStartingWith(L"ProbeFolderWritable").empty());
}

TEST(StationCheck, ShowsWhatTheLoadingCodeLoadsAndNoPassword) {
  Station station;
  station.Project(CleanProject);
  station.Customer(CleanCustomer + "[NetAddress]\r\n" +
                   "Password2=secret\r\nNetAddress2=\\\\srv\\arch\r\nNetDrive2=L\r\n");
  station.Start();  // the program itself loads the same files
  const AppState& loaded = station.window.state;
  const FileReader reader = [&station](const std::wstring& path) {
    const std::optional<std::string> bytes = station.platform.File(path);
    return FileContent{bytes.has_value(), {}, bytes.value_or(std::string()), path};
  };
  const std::vector<std::wstring> shown = CheckStation(station.platform, reader, {}).effective;
  const auto has = [&shown](const std::wstring& line) {
    return std::find(shown.begin(), shown.end(), line) != shown.end();
  };
  EXPECT_TRUE(has(L"VisuDir=C:\\Zembrik (default)"));
  EXPECT_TRUE(has(L"[Machine1] Reference1=" + loaded.Reference[0][0] + L" (slot 1)"));
  EXPECT_TRUE(has(L"slot 1: drive " + loaded.Shares[0].NetDrive + L", share " +
                  loaded.Shares[0].NetAddress + L", user station, password (protected)"));
  EXPECT_TRUE(
      has(L"[NetAddress] UpdateInterval=" + std::to_wstring(loaded.UpdateInterval) + L" minutes"));
  EXPECT_TRUE(has(L"[Tavisto] LogFile=" + loaded.LogFile.Path));
  EXPECT_TRUE(has(L"[Tavisto] ShareTimeoutSeconds=20"));
  EXPECT_TRUE(has(L"[Tavisto] MetricsFile= (default)"));
  for (const std::wstring& line : shown) EXPECT_EQ(line.find(L"secret"), std::wstring::npos);
}

TEST(StationCheck, AKeyWrittenShortOrLongGetsTheReadKeyItMeantAndAnUnknownOneNone) {
  const std::vector<std::string> found =
      Findings(CleanProject,
               "[Tavisto]\r\nRetryAfterFaultSecs=30\r\nRetryAfterFault=30\r\n"
               "RetryAfterFaultSec=30\r\nColour=red\r\n[NetAddress]\r\n"
               "RetryAfterFaultSecs=30\r\n");
  const std::string meant = " is not read by the program; did you mean RetryAfterFaultSeconds?";
  EXPECT_THAT(found, ElementsAre("C:2: warning: [Tavisto] RetryAfterFaultSecs" + meant,
                                 "C:3: warning: [Tavisto] RetryAfterFault" + meant,
                                 "C:4: warning: [Tavisto] RetryAfterFaultSec" + meant,
                                 "C:5: warning: [Tavisto] Colour is not read by the program",
                                 // Never a key of another section.
                                 "C:7: warning: [NetAddress] RetryAfterFaultSecs is not read by "
                                 "the program"));
}

// The check knows what the program reads by what its loading code asks for: a key the
// loader learns is known to the check at once.
TEST(StationCheck, WhatTheLoadingCodeAsksForIsReadAndNothingElse) {
  SimPlatform host;
  const std::string customer = "[Tavisto]\r\nBrandNewKey=1\r\n";
  const auto unread = [&](bool asked) {
    CheckPlatform platform(host, FilesOf(CleanProject, customer), std::wstring(L"st"));
    CheckedStation station(platform, false);
    const std::wstring file = L"st\\Documentation\\Documentation_Customer.cfg";
    station.customerCfg = &platform.File(file);
    platform.ProfileString(TavistoSection, L"LogFile", file, 254);
    if (asked) platform.ProfileInt(TavistoSection, L"brandnewkey", 0, file);  // a new loader step
    FindKeyProblems(station);
    return station.findings.size();
  };
  EXPECT_EQ(unread(false), 1u);
  EXPECT_EQ(unread(true), 0u);
}

TEST(StationCheck, NoKeyTheLoadingCodeReadsOnAFullStationIsEverReportedUnread) {
  // Every key the reads of a full station ask for, each written once.
  SimPlatform host;
  CheckPlatform reads(host, FilesOf("[Project]\r\nNumberOfMachines=5\r\n", "[NetAddress]\r\n"),
                      std::wstring(L"st"));
  EnvVarTable envVar;
  AppState state;
  InitDirectoryVariables(reads, envVar);
  LoadProjectSettings(reads, envVar, state);
  LoadCustomerConfiguration(reads, envVar, state);
  std::string project;
  std::string customer;
  const auto write = [&reads](const std::wstring& path, const std::wstring& section) {
    const CheckPlatform::KeysAsked* keys = reads.KeysRead(reads.File(path), section);
    std::string text = "[" + EncodeUtf8(section) + "]\r\n";
    for (const std::wstring& key : keys != nullptr ? keys->names : std::vector<std::wstring>())
      text += EncodeUtf8(key) + "=5\r\n";  // five machines: every [MachineN] read
    return text;
  };
  project = write(state.ProgramIniPath, ProjectSection);
  for (int m = 1; m <= MaxMachines; ++m)
    customer += write(state.CustomerCfgPath, MachineSectionWord + std::to_wstring(m));
  customer += write(state.CustomerCfgPath, NetAddressSection);
  customer += write(state.CustomerCfgPath, TavistoSection);
  ASSERT_GT(std::count(customer.begin(), customer.end(), '='), 60);
  for (const std::string& line : Findings(project, customer)) {
    EXPECT_THAT(line, ::testing::Not(HasSubstr("not read"))) << line;
    EXPECT_THAT(line, ::testing::Not(HasSubstr("read by no one"))) << line;
  }
}

// The command on a station folder whose customer file is `customer`; what it says goes
// to `said`.
int RunCommand(SimPlatform& host, std::vector<std::wstring>& said, const std::string& customer,
               const std::vector<std::wstring>& arguments) {
  said.clear();
  const FileReader files = FilesOf(CleanProject, customer);
  CheckFrontEnd frontEnd{host,
                         files,
                         files,
                         [](const std::wstring& path, bool& isFolder) {
                           isFolder = true;
                           return path != L"gone";
                         },
                         [&said](const std::wstring& line) { said.push_back(line); },
                         L"check",
                         L"check",
                         {}};
  return RunCheckCommand(frontEnd, arguments);
}

TEST(CheckCommand, ACustomerFileThatIsNoStationsGivesAWarningEachWay) {
  std::string random(std::size_t{200} * 1024, '\0');
  std::mt19937 bytes(41);
  for (char& byte : random) byte = static_cast<char>(bytes() & 0xFF);
  const struct {
    const char* story;
    std::string customer;
    std::vector<std::string> findings;
  } cases[] = {
      {"empty", "", {"C: warning: holds no section the program reads"}},
      {"zero-filled",
       std::string(5000, '\0'),
       {"C: warning: holds no section the program reads",
        "C:1: warning: the file holds a NUL byte (a power cut or a bad copy leaves them), first on "
        "this line: Windows' profile service reads a line only up to it, so this line reads \"\""}},
      {"random bytes", random, {"C: warning: holds no section the program reads", "C:"}},
      {"a NUL inside a key line",
       std::string("[NetAddress]\r\nPassword1=s3cr\0et\r\nUpdateInterval=5\0x\r\n", 44),
       {"C:2: warning: the file holds a NUL byte (a power cut or a bad copy leaves them), first on "
        "this line: Windows' profile service reads a line only up to it, so this line reads "
        "\"Password1=(a password, not shown)\" and the rest of it is read by no one"}},
  };
  SimPlatform host;
  for (const auto& each : cases) {
    const FileReader files = [&each](const std::wstring& path) {
      const bool project = path == L"st\\Parameter\\Program.ini";
      return FileContent{true, {}, project ? CleanProject : each.customer, project ? L"P" : L"C"};
    };
    std::vector<std::wstring> said;
    CheckFrontEnd frontEnd{host,
                           files,
                           files,
                           [](const std::wstring&, bool& isFolder) { return isFolder = true; },
                           [&said](const std::wstring& line) { said.push_back(line); },
                           L"check",
                           L"check",
                           {}};
    EXPECT_EQ(RunCheckCommand(frontEnd, {L"st"}), 1) << each.story;
    ASSERT_EQ(said.size(), each.findings.size() + 1) << each.story;
    for (std::size_t i = 0; i < each.findings.size(); ++i)
      EXPECT_THAT(EncodeUtf8(said[i]), ::testing::StartsWith(each.findings[i])) << each.story;
    for (const std::wstring& line : said) {
      EXPECT_EQ(line.find(L"s3cr"), std::wstring::npos);
      EXPECT_FALSE(std::any_of(line.begin(), line.end(), [](wchar_t c) { return c < 0x20; }))
          << each.story << ": a control character in a finding";
    }
  }
}

TEST(CheckCommand, ExitStatusesAndTheLastLine) {
  SimPlatform host;
  std::vector<std::wstring> said;
  const auto run = [&host, &said](const std::string& customer,
                                  const std::vector<std::wstring>& arguments) {
    return RunCommand(host, said, customer, arguments);
  };
  std::string plainPassword = CleanCustomer;
  plainPassword.replace(plainPassword.find("ProtectedPassword1=sim:pw"), 25, "Password1=x");
  EXPECT_EQ(run(CleanCustomer, {L"st"}), 0);
  EXPECT_EQ(said.back(), L"0 errors, 0 warnings, 0 notes");
  EXPECT_EQ(run(plainPassword, {L"st"}), 0);  // notes only
  EXPECT_EQ(run("[Tavisto]\r\nEventLog=on\r\n", {L"st", L"st"}), 1);
  EXPECT_EQ(said.back(), L"0 errors, 2 warnings, 0 notes");
  EXPECT_EQ(run(CleanCustomer, {L"st", L"gone"}), 2);
  EXPECT_EQ(said[said.size() - 2], L"gone: error: no such file or folder");
  EXPECT_EQ(run(CleanCustomer, {L"--frobnicate"}), 2);
  EXPECT_THAT(said.front(), HasSubstr(L"unknown option --frobnicate"));
  EXPECT_EQ(run(CleanCustomer, {L"--help"}), 0);
  EXPECT_THAT(said.front(), HasSubstr(L"Usage: check [--show] [PATH...]"));
}

}  // namespace
}  // namespace vt::sim
