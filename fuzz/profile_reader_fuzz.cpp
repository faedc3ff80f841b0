// Any bytes as a profile file, any section and key: the read never crashes, never reads
// past a buffer, and never returns more than 254 characters.
#include <cstdlib>

#include "config/profile_access.h"
#include "fuzz_input.h"
#include "portable/codepage.h"
#include "portable/profile_text.h"
#include "sim/sim_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = vt::fuzz::Parts(data, size, 3);
  const std::string& section = parts[0];
  const std::string& key = parts[1];
  const std::string& content = parts[2];
  (void)vt::FindProfileValue(content, section, key);

  vt::sim::SimPlatform platform;
  const std::wstring file = L"C:\\Station\\fuzz.ini";
  platform.PutFile(file, content);
  const std::wstring wideSection = vt::DecodeCp1252(section);
  const std::wstring wideKey = vt::DecodeCp1252(key);
  if (vt::ProfileRead(platform, wideSection, wideKey, file).size() > 254) std::abort();
  (void)vt::ProfileReadInt(platform, wideSection, wideKey, file);
  (void)vt::ProfileReadBool(platform, wideSection, wideKey, file);
  return 0;
}
