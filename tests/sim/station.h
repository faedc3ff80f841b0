// A station on the simulated platform: the program with its files, ready to start.
// Scenario tests read like the story they check:
//   Station station;
//   station.Customer("[NetAddress]\r\nNetAddress1=\\\\srv\\docu\r\nNetDrive1=K\r\n");
//   station.Start();
//   station.platform.RunFor(Seconds(1));
//   EXPECT_THAT(station.Messages(), ...);
#pragma once

#include <string>
#include <vector>

#include "app/main_window.h"
#include "sim/sim_platform.h"

namespace vt::sim {

inline const wchar_t* const ProgramIni = L"C:\\Zembrik\\Parameter\\Program.ini";
inline const wchar_t* const CustomerCfg = L"C:\\Zembrik\\Documentation\\Documentation_Customer.cfg";
inline const wchar_t* const StatusIni = L"C:\\Zembrik\\Documentation\\Documentation_Tavisto.ini";

struct Station {
  SimPlatform platform;
  MainWindow window{platform};

  Station() { platform.AddFolder(L"C:\\Zembrik\\Documentation"); }

  void Project(const std::string& ini) { platform.PutFile(ProgramIni, ini); }
  void Customer(const std::string& cfg) { platform.PutFile(CustomerCfg, cfg); }
  std::string Status() const { return platform.File(StatusIni).value_or(std::string()); }

  // Creates the window and runs start-up, as the process start does.
  void Start() {
    platform.RunCatchingEnd([this] { Launch(window); });
  }

  // The logged messages without their time stamps, oldest first.
  std::vector<std::wstring> Messages() const {
    std::vector<std::wstring> messages;
    const std::vector<std::wstring>& items = platform.Items();
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
      if (!item->empty()) messages.push_back(item->substr(TimeStampLength));
    }
    return messages;
  }

  static constexpr std::size_t TimeStampLength = 9;  // "08:00:00 "
};

// A drive whose root lists an entry, one that lists nothing, one that fails.
inline DriveScript PresentDrive(Millis blocksFor = 0) {
  return {DriveRoot::HasEntry, blocksFor};
}
inline DriveScript EmptyDrive() {
  return {DriveRoot::Empty, 0};
}
inline DriveScript FailingDrive() {
  return {DriveRoot::Unreadable, 0};
}

}  // namespace vt::sim
