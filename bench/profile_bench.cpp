// The native host's profile service on the sequences of calls the program makes, as
// wine_profile_bench runs them on the Windows service: the 68 start-up reads (each
// round a start-up of its own, so files are read afresh), a cycle's 45 writes that
// change every value, and 45 that find every value stored already; each cycle's writes
// end with the commit that makes them one atomic replace.
//
//   profile_bench ROUNDS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "bench/profile_sequences.h"
#include "bench/station_folder.h"
#include "platform/posix/host/posix_platform.h"

namespace {

using vt::bench::StationFile;

std::wstring PathOf(StationFile file) {
  switch (file) {
    case StationFile::ProgramIni:
      return L"C:\\Zembrik\\Parameter\\Program.ini";
    case StationFile::CustomerCfg:
      return L"C:\\Zembrik\\Documentation\\Documentation_Customer.cfg";
    case StationFile::StatusIni:
      break;
  }
  return L"C:\\Zembrik\\Documentation\\Documentation_Tavisto.ini";
}

double Milliseconds(const std::function<void()>& run, int rounds) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) run();
  const std::chrono::duration<double, std::milli> elapsed =
      std::chrono::steady_clock::now() - start;
  return elapsed.count() / rounds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const int rounds = std::atoi(argv[1]);
  const vt::bench::StationFolder& station = vt::bench::Station();

  const double reads = Milliseconds(
      [&] {
        vt::posix::PosixPlatform platform(station.prefix, false);
        vt::bench::StartUpReads(
            [&](const std::wstring& section, const std::wstring& key, StationFile file) {
              return platform.ProfileString(section, key, PathOf(file), 254);
            });
      },
      rounds);

  vt::posix::PosixPlatform platform(station.prefix, false);
  auto write = [&](const std::wstring& section, const std::wstring& key, const std::wstring& value,
                   StationFile file) { platform.ProfileWrite(section, key, value, PathOf(file)); };
  station.ResetStatus();
  bool value = false;
  const double changed = Milliseconds(
      [&] {
        vt::bench::CycleWrites(write, value = !value);
        if (!platform.CommitProfileWrites().Succeeded()) std::abort();
      },
      rounds);
  station.ResetStatus();
  const double unchanged = Milliseconds(
      [&] {
        vt::bench::CycleWrites(write, false);
        if (!platform.CommitProfileWrites().Succeeded()) std::abort();
      },
      rounds);

  std::printf("reads %.3f\nchanged %.3f\nunchanged %.3f\n", reads, changed, unchanged);
  return 0;
}
