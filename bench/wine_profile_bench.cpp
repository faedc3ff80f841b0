// The Windows profile service (under Wine) on the sequences of calls the program makes,
// on the station files of a busy station: the 68 start-up reads, a cycle's 45 writes
// that change every value, and 45 that find every value stored already.
// scripts/bench runs it beside the native host's profile_bench and sets the two side
// by side.
//
//   wine_profile_bench.exe FOLDER ROUNDS     FOLDER is a Windows path, such as C:\bench
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "bench/profile_sequences.h"
#include "bench/station_files.h"

namespace {

std::string folder;

std::string Narrow(const std::wstring& text) {
  return std::string(text.begin(), text.end());  // the sequences' names are ASCII
}

std::string Path(vt::bench::StationFile file) {
  switch (file) {
    case vt::bench::StationFile::ProgramIni:
      return folder + "\\Program.ini";
    case vt::bench::StationFile::CustomerCfg:
      return folder + "\\Documentation_Customer.cfg";
    case vt::bench::StationFile::StatusIni:
      break;
  }
  return folder + "\\Documentation_Tavisto.ini";
}

void Put(vt::bench::StationFile file, const std::string& content) {
  std::ofstream(Path(file), std::ios::binary) << content;
}

// As the program's Win32 platform calls the service: names narrowed on each call.
std::string Read(const std::wstring& section, const std::wstring& key,
                 vt::bench::StationFile file) {
  char buffer[255];
  const DWORD count = ::GetPrivateProfileStringA(Narrow(section).c_str(), Narrow(key).c_str(), "",
                                                 buffer, 255, Path(file).c_str());
  return std::string(buffer, count);
}

void Write(const std::wstring& section, const std::wstring& key, const std::wstring& value,
           vt::bench::StationFile file) {
  ::WritePrivateProfileStringA(Narrow(section).c_str(), Narrow(key).c_str(), Narrow(value).c_str(),
                               Path(file).c_str());
}

double Milliseconds(const std::function<void()>& run, int rounds) {
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  for (int i = 0; i < rounds; ++i) run();
  ::QueryPerformanceCounter(&end);
  return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart / rounds;
}

}  // namespace

int main(int argc, char** argv) {
  using vt::bench::StationFile;
  if (argc < 3) return 2;
  folder = argv[1];
  const int rounds = std::atoi(argv[2]);
  ::CreateDirectoryA(folder.c_str(), nullptr);
  Put(StationFile::ProgramIni, vt::bench::ProgramIni());
  Put(StationFile::CustomerCfg, vt::bench::CustomerCfg());

  const double reads = Milliseconds([] { vt::bench::StartUpReads(Read); }, rounds);
  Put(StationFile::StatusIni, vt::bench::StatusIni());
  bool value = false;
  const double changed =
      Milliseconds([&value] { vt::bench::CycleWrites(Write, value = !value); }, rounds);
  Put(StationFile::StatusIni, vt::bench::StatusIni());
  const double unchanged = Milliseconds([] { vt::bench::CycleWrites(Write, false); }, rounds);

  std::printf("reads %.3f\nchanged %.3f\nunchanged %.3f\n", reads, changed, unchanged);
  return 0;
}
