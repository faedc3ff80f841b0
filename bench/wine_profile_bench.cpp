// The profile service of Windows (under Wine) and our own reader and writer, side by
// side in one run on the same station files and the same sequence of calls: the 68
// start-up reads, and a cycle's 45 writes into a status file of realistic size.
//
//   wine_profile_bench.exe FOLDER ROUNDS     FOLDER is a Windows path, such as C:\bench
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "bench/station_files.h"
#include "portable/profile_text.h"

namespace {

std::string folder;

std::string Path(const char* name) {
  return folder + "\\" + name;
}

void Write(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream content;
  content << file.rdbuf();
  return content.str();
}

// Our reader: the whole file read and scanned anew for every call, as the service does.
std::string OurRead(const std::string& section, const std::string& key, const std::string& path) {
  return vt::FindProfileValue(ReadAll(path), section, key).value_or(std::string()).substr(0, 254);
}

// Our writer: the new content goes to a temporary file that replaces the old one.
bool OurWrite(const std::string& section, const std::string& key, const std::string& value,
              const std::string& path) {
  const std::string content = ReadAll(path);
  const auto updated = vt::SetProfileValue(content, section, key, value);
  if (!updated) return false;
  if (*updated == content) return true;  // as the native host: nothing to change, nothing written
  const std::string temporary = path + ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary);
    out << *updated;
    out.flush();
    if (!out) return false;
  }
  return ::MoveFileExA(temporary.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::string WindowsRead(const std::string& section, const std::string& key,
                        const std::string& path) {
  char buffer[255];
  const DWORD count =
      ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer, 255, path.c_str());
  return std::string(buffer, count);
}

bool WindowsWrite(const std::string& section, const std::string& key, const std::string& value,
                  const std::string& path) {
  return ::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), path.c_str()) !=
         0;
}

using Reader =
    std::function<std::string(const std::string&, const std::string&, const std::string&)>;
using Writer = std::function<bool(const std::string&, const std::string&, const std::string&,
                                  const std::string&)>;

// The start-up sequence: 2 project reads, 45 references, 20 share entries, 1 interval.
std::size_t StartUpReads(const Reader& read) {
  std::size_t total = read("Project", "NumberOfMachines", Path("Program.ini")).size();
  total += read("Project", "VWStudio", Path("Program.ini")).size();
  const std::string cfg = Path("Documentation_Customer.cfg");
  for (int m = 1; m <= 5; ++m) {
    for (int r = 1; r <= 9; ++r) {
      total += read("Machine" + std::to_string(m), "Reference" + std::to_string(r), cfg).size();
    }
  }
  for (int i = 1; i <= 5; ++i) {
    for (const char* key : {"User", "Password", "NetAddress", "NetDrive"}) {
      total += read("NetAddress", key + std::to_string(i), cfg).size();
    }
  }
  return total + read("NetAddress", "UpdateInterval", cfg).size();
}

void CycleWrites(const Writer& write, bool value) {
  for (int m = 1; m <= 5; ++m) {
    for (int r = 1; r <= 9; ++r) {
      write("Machine" + std::to_string(m), "NetOK" + std::to_string(r), value ? "true" : "false",
            Path("Documentation_Tavisto.ini"));
    }
  }
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
  if (argc < 3) return 2;
  folder = argv[1];
  const int rounds = std::atoi(argv[2]);
  ::CreateDirectoryA(folder.c_str(), nullptr);
  Write(Path("Program.ini"), vt::bench::ProgramIni());
  Write(Path("Documentation_Customer.cfg"), vt::bench::CustomerCfg());

  if (StartUpReads(OurRead) != StartUpReads(WindowsRead)) {
    std::printf("the two readers disagree\n");
    return 1;
  }
  const double ourReads = Milliseconds([] { StartUpReads(OurRead); }, rounds);
  const double windowsReads = Milliseconds([] { StartUpReads(WindowsRead); }, rounds);
  bool value = false;
  Write(Path("Documentation_Tavisto.ini"), vt::bench::StatusIni());
  const double ourWrites =
      Milliseconds([&value] { CycleWrites(OurWrite, value = !value); }, rounds);
  Write(Path("Documentation_Tavisto.ini"), vt::bench::StatusIni());
  const double windowsWrites =
      Milliseconds([&value] { CycleWrites(WindowsWrite, value = !value); }, rounds);

  // The usual cycle: every share as it was, so every value written is the one stored.
  Write(Path("Documentation_Tavisto.ini"), vt::bench::StatusIni());
  const double ourSame = Milliseconds([] { CycleWrites(OurWrite, false); }, rounds);
  Write(Path("Documentation_Tavisto.ini"), vt::bench::StatusIni());
  const double windowsSame = Milliseconds([] { CycleWrites(WindowsWrite, false); }, rounds);

  std::printf("start-up reads (68): ours %.3f ms, Windows profile service %.3f ms, ratio %.2f\n",
              ourReads, windowsReads, windowsReads / ourReads);
  std::printf("cycle writes (45):   ours %.3f ms, Windows profile service %.3f ms, ratio %.2f\n",
              ourWrites, windowsWrites, windowsWrites / ourWrites);
  std::printf(
      "cycle writes, values unchanged (45): ours %.3f ms, Windows profile service %.3f ms, ratio "
      "%.2f\n",
      ourSame, windowsSame, windowsSame / ourSame);
  return 0;
}
