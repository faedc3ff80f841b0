// The files of a busy station, as the benchmarks use them: five machines with nine
// references each on five shares, and a status file that already holds every entry.
#pragma once

#include <string>

namespace vt::bench {

inline std::string ProgramIni() {
  return "[Project]\r\nNumberOfMachines=5\r\nVWStudio=false\r\n";
}

inline std::string CustomerCfg() {
  std::string cfg = "; customer configuration\r\n";
  for (int m = 1; m <= 5; ++m) {
    cfg += "[Machine" + std::to_string(m) + "]\r\n";
    for (int r = 1; r <= 9; ++r) {
      cfg += "Reference" + std::to_string(r) + "=\\\\srv" + std::to_string(r % 5 + 1) +
             "\\docu\\Machine" + std::to_string(m) + "\\Part" + std::to_string(r) + "\r\n";
    }
    cfg += "\r\n";
  }
  cfg += "[NetAddress]\r\n";
  for (int i = 1; i <= 5; ++i) {
    const std::string n = std::to_string(i);
    cfg += "User" + n + "=station\r\nPassword" + n + "=secret\r\nNetAddress" + n + "=\\\\srv" + n +
           "\\docu\r\nNetDrive" + n + "=" + std::string(1, static_cast<char>('J' + i)) + "\r\n";
  }
  return cfg + "UpdateInterval=10\r\n";
}

inline std::string StatusIni() {
  std::string status = "; written by Vodu Tavisto, read by the station's tools\r\n";
  for (int m = 1; m <= 5; ++m) {
    status += "[Machine" + std::to_string(m) + "]\r\n";
    for (int r = 1; r <= 9; ++r) status += "NetOK" + std::to_string(r) + "=false\r\n";
    status += "Comment=Machine " + std::to_string(m) + " of the line\r\n\r\n";
  }
  return status;
}

}  // namespace vt::bench
