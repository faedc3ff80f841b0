// Any bytes as a station's Program.ini and customer file (the first two bytes say how
// many of the rest are the Program.ini's), checked as a plant's pipeline checks files
// nobody has read: the check never crashes, never throws, and every finding is one line
// in its form, on a line the file has.
#include <algorithm>
#include <cstdlib>

#include "check/check_command.h"
#include "sim/sim_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::size_t split = std::min<std::size_t>(data[0] | (data[1] << 8), size - 2);
  const std::string project(reinterpret_cast<const char*>(data) + 2, split);
  const std::string customer(reinterpret_cast<const char*>(data) + 2 + split, size - 2 - split);
  const vt::FileReader files = [&](const std::wstring& path) {
    const bool isProject = path == L"st\\Parameter\\Program.ini";
    return vt::FileContent{true, {}, isProject ? project : customer, isProject ? L"P" : L"C"};
  };
  vt::sim::SimPlatform host;
  std::vector<std::wstring> said;
  vt::CheckFrontEnd frontEnd{host,
                             files,
                             files,
                             [](const std::wstring& path, bool& isFolder) {
                               isFolder = path == L"st";
                               return true;
                             },
                             [&said](const std::wstring& line) { said.push_back(line); },
                             L"check",
                             L"check",
                             {}};
  // The station folder with --show, and the customer file alone.
  const int status = vt::RunCheckCommand(frontEnd, {L"--show", L"st", L"C"});
  if (status < 0 || status > 2) std::abort();
  const std::size_t longest = std::max(project.size(), customer.size()) + 1;
  for (const std::wstring& line : said) {
    if (line.find_first_of(L"\r\n") != std::wstring::npos) std::abort();
    if (line.rfind(L"P:", 0) != 0 && line.rfind(L"C:", 0) != 0) continue;
    // "C:LINE: ..." names a line the file has.
    const std::size_t number = std::wcstoul(line.c_str() + 2, nullptr, 10);
    if (number > longest) std::abort();
  }
  return 0;
}
