// The busy station of station_files.h laid out as a Wine prefix in a temporary folder,
// for the benchmarks of the native host.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "bench/station_files.h"

namespace vt::bench {

// A station laid out as a Wine prefix in a temporary folder.
struct StationFolder {
  StationFolder() {
    char pattern[] = "/tmp/vodu-bench-XXXXXX";
    prefix = ::mkdtemp(pattern);
    Run("mkdir -p '" + prefix + "/drive_c/Zembrik/Parameter' '" + prefix +
        "/drive_c/Zembrik/Documentation' '" + prefix + "/dosdevices'");
    Run("ln -s ../drive_c '" + prefix + "/dosdevices/c:'");
    for (int i = 1; i <= 5; ++i) {
      const std::string share = prefix + "/dosdevices/unc/srv" + std::to_string(i) + "/docu";
      Run("mkdir -p '" + share + "/Machine1'");
      Run("ln -s '" + share + "' '" + prefix + "/dosdevices/" +
          std::string(1, static_cast<char>('j' + i)) + ":'");
    }
    Write("drive_c/Zembrik/Parameter/Program.ini", ProgramIni());
    Write("drive_c/Zembrik/Documentation/Documentation_Customer.cfg", CustomerCfg());
    ResetStatus();
  }
  ~StationFolder() { Run("rm -rf '" + prefix + "'"); }
  void ResetStatus() const {
    Write("drive_c/Zembrik/Documentation/Documentation_Tavisto.ini", StatusIni());
  }
  void Write(const std::string& path, const std::string& content) const {
    std::ofstream(prefix + "/" + path, std::ios::binary) << content;
  }
  static void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::abort();
  }
  std::string prefix;
};

inline const StationFolder& Station() {
  static const StationFolder station;
  return station;
}

}  // namespace vt::bench
