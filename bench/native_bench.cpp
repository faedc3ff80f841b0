// Benchmarks of the native host: the profile service on the start-up reads and a cycle's
// writes, and a whole start-up with its first check cycle on five present shares.
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "app/main_window.h"
#include "bench/station_files.h"
#include "config/configuration.h"
#include "platform/posix/posix_platform.h"
#include "shares/check_cycle.h"

namespace {

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
    Write("drive_c/Zembrik/Parameter/Program.ini", vt::bench::ProgramIni());
    Write("drive_c/Zembrik/Documentation/Documentation_Customer.cfg", vt::bench::CustomerCfg());
    ResetStatus();
  }
  ~StationFolder() { Run("rm -rf '" + prefix + "'"); }
  void ResetStatus() const {
    Write("drive_c/Zembrik/Documentation/Documentation_Tavisto.ini", vt::bench::StatusIni());
  }
  void Write(const std::string& path, const std::string& content) const {
    std::ofstream(prefix + "/" + path, std::ios::binary) << content;
  }
  static void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) std::abort();
  }
  std::string prefix;
};

const StationFolder& Station() {
  static const StationFolder station;
  return station;
}

void StartUpReads(benchmark::State& state) {
  vt::posix::PosixPlatform platform(Station().prefix, false);
  vt::EnvVarTable envVar;
  vt::InitDirectoryVariables(platform, envVar);
  for (auto _ : state) {
    vt::AppState app;
    vt::LoadProjectSettings(platform, envVar, app);
    vt::LoadCustomerConfiguration(platform, envVar, app);
    benchmark::DoNotOptimize(app.UpdateInterval);
  }
  state.SetLabel("68 reads");
}
BENCHMARK(StartUpReads)->Unit(benchmark::kMicrosecond);

void CycleWrites(benchmark::State& state) {
  vt::posix::PosixPlatform platform(Station().prefix, false);
  const std::wstring status = L"C:\\Zembrik\\Documentation\\Documentation_Tavisto.ini";
  bool value = false;
  for (auto _ : state) {
    value = !value;
    for (int m = 1; m <= 5; ++m) {
      for (int r = 1; r <= 9; ++r) {
        platform.ProfileWrite(L"Machine" + std::to_wstring(m), L"NetOK" + std::to_wstring(r),
                              value ? L"true" : L"false", status);
      }
    }
  }
  state.SetLabel("45 writes");
}
BENCHMARK(CycleWrites)->Unit(benchmark::kMicrosecond);

void StartUpAndFirstCycle(benchmark::State& state) {
  for (auto _ : state) {
    vt::posix::PosixPlatform platform(Station().prefix, false);
    vt::MainWindow window(platform);
    platform.CreateMainWindow(vt::MainWindowProperties(), window);
    vt::StartUp(window);
    vt::CheckShares(platform, window.state);
    benchmark::DoNotOptimize(window.state.Shares[0].NetOK);
  }
  state.SetLabel("5 present shares, 45 references");
}
BENCHMARK(StartUpAndFirstCycle)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
