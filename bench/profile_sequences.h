// The sequences of profile calls that the program makes, as both benchmarks of the
// profile service run them: the start-up reads and a cycle's writes.
#pragma once

#include <string>

namespace vt::bench {

enum class StationFile { ProgramIni, CustomerCfg, StatusIni };

// The start-up: 2 project reads, 45 references, 20 share entries, 1 interval. `read`
// takes (section, key, file) and answers the value; the sum of the lengths comes back.
template <typename Read>
std::size_t StartUpReads(Read read) {
  std::size_t total = read(L"Project", L"NumberOfMachines", StationFile::ProgramIni).size();
  total += read(L"Project", L"VWStudio", StationFile::ProgramIni).size();
  for (int m = 1; m <= 5; ++m) {
    for (int r = 1; r <= 9; ++r) {
      total += read(L"Machine" + std::to_wstring(m), L"Reference" + std::to_wstring(r),
                    StationFile::CustomerCfg)
                   .size();
    }
  }
  for (int i = 1; i <= 5; ++i) {
    for (const wchar_t* key : {L"User", L"Password", L"NetAddress", L"NetDrive"}) {
      total += read(L"NetAddress", key + std::to_wstring(i), StationFile::CustomerCfg).size();
    }
  }
  return total + read(L"NetAddress", L"UpdateInterval", StationFile::CustomerCfg).size();
}

// A cycle's 45 writes into the status file. `write` takes (section, key, value, file).
template <typename Write>
void CycleWrites(Write write, bool value) {
  for (int m = 1; m <= 5; ++m) {
    for (int r = 1; r <= 9; ++r) {
      write(L"Machine" + std::to_wstring(m), L"NetOK" + std::to_wstring(r),
            value ? L"true" : L"false", StationFile::StatusIni);
    }
  }
}

}  // namespace vt::bench
