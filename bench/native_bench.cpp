// Benchmarks of the native host: the profile service on the start-up reads and a cycle's
// writes, and a whole start-up with its first check cycle on five present shares.
#include <benchmark/benchmark.h>

#include "app/main_window.h"
#include "bench/station_folder.h"
#include "config/configuration.h"
#include "platform/posix/host/posix_platform.h"
#include "shares/check_cycle.h"

namespace {

void StartUpReads(benchmark::State& state) {
  vt::posix::PosixPlatform platform(vt::bench::Station().prefix, false);
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
  vt::posix::PosixPlatform platform(vt::bench::Station().prefix, false);
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
    platform.CommitProfileWrites();
  }
  state.SetLabel("45 writes, one commit");
}
BENCHMARK(CycleWrites)->Unit(benchmark::kMicrosecond);

void StartUpAndFirstCycle(benchmark::State& state) {
  for (auto _ : state) {
    vt::posix::PosixPlatform platform(vt::bench::Station().prefix, false);
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
