// Hostile directory-variable tables and texts: the expansion always ends and never
// crashes, and it never grows a text beyond its limit.
#include <algorithm>
#include <cstdlib>

#include "config/env_vars.h"
#include "fuzz_input.h"
#include "portable/codepage.h"
#include "sim/sim_platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> parts = vt::fuzz::Parts(data, size, 2 * vt::EnvVarRowCount + 1);
  vt::EnvVarTable table;
  for (int row = 0; row < vt::EnvVarRowCount; ++row) {
    table[row].Name = vt::DecodeCp1252(parts[2 * row]);
    table[row].Value = vt::DecodeCp1252(parts[2 * row + 1]);
  }
  const std::wstring text = vt::DecodeCp1252(parts.back());
  vt::sim::SimPlatform platform;
  const std::wstring expanded = vt::ExpandPlaceholders(platform, table, text);
  if (expanded.size() > std::max<std::size_t>(text.size(), 32767)) std::abort();
  return 0;
}
