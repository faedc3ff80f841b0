// Thirty days on a station where shares come and go: every cycle keeps the log, the
// status file and the fault count right, and memory stays flat.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "portable/profile_text.h"
#include "shares/check_cycle.h"
#include "sim/station.h"

#if defined(__SANITIZE_ADDRESS__)
// From the AddressSanitizer runtime (its header does not come with every compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#define VT_HEAP_BYTES() __sanitizer_get_current_allocated_bytes()
#endif

namespace vt::sim {
namespace {

const char* const Customer =
    "[Machine1]\r\nReference1=\\\\srv1\\a\\m1\r\nReference2=\\\\srv2\\b\\m1\r\nReference3=C:"
    "\\local\r\n"
    "[Machine2]\r\nReference1=\\\\srv3\\c\\m2\r\nReference5=\\\\srv4\\d\\m2\r\nReference9="
    "\\\\srv9\\z\r\n"
    "[Machine3]\r\nReference2=\\\\SRV5\\E\\m3\r\nReference3=\\\\srv1\\a\r\n"
    "[NetAddress]\r\nNetAddress1=\\\\srv1\\a\r\nNetDrive1=K\r\nNetAddress2="
    "\\\\srv2\\b\r\nNetDrive2=L\r\n"
    "NetAddress3=\\\\srv3\\c\r\nNetDrive3=M\r\nNetAddress4=\\\\srv4\\d\r\nNetDrive4=N\r\n"
    "NetAddress5=\\\\srv5\\e\r\nNetDrive5=O\r\nPassword3=pw\r\nUpdateInterval=1\r\n";

// The status entries that may exist: the references that lie on a configured share.
std::set<std::pair<std::string, std::string>> AllowedEntries(Platform& platform,
                                                             const AppState& state) {
  std::set<std::pair<std::string, std::string>> allowed;
  for (int m = 1; m <= state.NumberOfMachines; ++m) {
    for (int r = 1; r <= ReferencesPerMachine; ++r) {
      for (const ShareSlot& slot : state.Shares) {
        if (!slot.NetAddress.empty() &&
            LiesOnShare(platform, state.Reference[m - 1][r - 1], slot.NetAddress)) {
          allowed.insert({"Machine" + std::to_string(m), "NetOK" + std::to_string(r)});
        }
      }
    }
  }
  return allowed;
}

// Every line a section header or an allowed "true"/"false" entry; fails the test otherwise.
void ExpectWellFormed(const std::string& status,
                      const std::set<std::pair<std::string, std::string>>& allowed) {
  std::string section;
  std::size_t start = 0;
  while (start < status.size()) {
    const std::size_t end = status.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "a line without its CRLF";
    const std::string line = status.substr(start, end - start);
    start = end + 2;
    if (!line.empty() && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t equals = line.find('=');
    ASSERT_NE(equals, std::string::npos) << line;
    EXPECT_EQ(allowed.count({section, line.substr(0, equals)}), 1u) << section << " " << line;
    const std::string value = line.substr(equals + 1);
    EXPECT_TRUE(value == "true" || value == "false") << line;
  }
}

// The newest cycle's "Checking ready N faults" line agrees with its fault lines.
void ExpectFaultCountMatches(const std::vector<std::wstring>& items) {
  std::size_t ready = 0;
  while (ready < items.size() && items[ready].find(L" Checking ready ") == std::wstring::npos)
    ++ready;
  ASSERT_LT(ready, items.size());
  int faults = 0;
  for (std::size_t k = ready + 1; k < items.size(); ++k) {
    if (items[k].find(L" Checking ready ") != std::wstring::npos) break;
    if (items[k].find(L" Fault by generate: ") != std::wstring::npos) ++faults;
  }
  EXPECT_EQ(items[ready].substr(Station::TimeStampLength),
            L"Checking ready " + std::to_wstring(faults) + L" faults");
}

TEST(Soak, ThirtyDaysOfSharesComingAndGoing) {
  Station station;
  station.platform.KeepRecords(false);
  station.Project("[Project]\r\nNumberOfMachines=3\r\n");
  station.Customer(Customer);
  station.platform.OpenWindow(L"Vwwebbrowser");
  std::mt19937 random(20261207);
  station.platform.SetConnect(
      [&random](const ConnectCall&) { return random() % 3 == 0 ? 53u : 0u; });
  station.Start();
  ASSERT_TRUE(station.platform.TimerEnabled(TimerId::WatchTimer));
  const auto allowed = AllowedEntries(station.platform, station.window.state);

  const Millis days = 30;
  const Millis steps = days * 24 * 60;
  // Lines of the status file: once every share has been seen, the count stays.
  const auto lineCount = [&station] {
    const std::string status = station.Status();
    return std::count(status.begin(), status.end(), '\n');
  };
  std::ptrdiff_t statusLines = 0;
  std::size_t heapAfterDay1 = 0;
  for (Millis step = 0; step < steps; ++step) {
    for (const wchar_t* drive : {L"K:\\", L"L:\\", L"M:\\", L"N:\\", L"O:\\"}) {
      switch (random() % 8) {
        case 0:
          station.platform.SetDrive(drive, EmptyDrive());
          break;
        case 1:
          station.platform.SetDrive(drive, FailingDrive());
          break;
        case 2:
          station.platform.SetDrive(drive,
                                    PresentDrive(Seconds(static_cast<Millis>(random() % 90))));
          break;
        default:
          station.platform.SetDrive(drive, PresentDrive());
          break;
      }
    }
    station.platform.RunFor(Minutes(1));
    ASSERT_FALSE(station.platform.Ended()) << "ended on minute " << step;
    ASSERT_EQ(station.platform.Items().size(), 50u);
    ExpectWellFormed(station.Status(), allowed);
    ExpectFaultCountMatches(station.platform.Items());
    if (::testing::Test::HasFailure()) return;
    if (step == 24 * 60) {
      statusLines = lineCount();
#ifdef VT_HEAP_BYTES
      heapAfterDay1 = VT_HEAP_BYTES();
#endif
    }
  }
  EXPECT_EQ(lineCount(), statusLines);
  EXPECT_EQ(statusLines, static_cast<std::ptrdiff_t>(allowed.size() + 3));  // and 3 sections
  EXPECT_TRUE(station.platform.ReportedErrors().empty());
#ifdef VT_HEAP_BYTES
  // A little slack for the allocator's own bookkeeping; a leak per cycle would be far more.
  EXPECT_LT(VT_HEAP_BYTES(), heapAfterDay1 + 64 * 1024);
#else
  (void)heapAfterDay1;
#endif
}

}  // namespace
}  // namespace vt::sim
