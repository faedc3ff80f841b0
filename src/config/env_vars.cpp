#include "config/env_vars.h"

#include "platform/error.h"

namespace vt {

namespace {

struct DirectoryDefault {
  const wchar_t* name;
  const wchar_t* value;
};

constexpr DirectoryDefault DirectoryDefaults[] = {
    {L"WinDir", L"C:\\WinNt"},
    {L"QuarnelToolsDir", L"C:\\QuarnelTools"},
    {L"QuarnelDCSDir", L"C:\\QuarnelDCS"},
    {L"VisuDir", L"C:\\Zembrik"},
    {L"ServicePackDir", L"C:\\ServicePacks"},
    {L"VisiWinDir", L"C:\\VisiWin"},
    {L"Computer_Ini", L"C:\\Computer.ini"},
    {L"Software_Txt", L"C:\\Software.txt"},
    {L"ServicePack_Log", L"C:\\QuarnelServicePack.log"},
    {L"AllUsersProfile", L"C:\\Documents and Settings\\All Users"},
};

// A value that leads back to itself would be expanded forever; the expansion stops
// after this many replacements, or once the text is this long, and the text then holds
// what was expanded so far with the remaining placeholders as they stand.
constexpr int MaxReplacements = 1000;
constexpr std::size_t MaxExpandedLength = 32767;

// The first row whose name matches `name` (case-blind), or -1.
int MatchingRow(Platform& platform, const EnvVarTable& envVar, const std::wstring& name) {
  const std::wstring upperName = platform.UpperCase(name);
  for (int row = 0; row < EnvVarRowCount; ++row) {
    if (platform.UpperCase(envVar[row].Name) == upperName) return row;
  }
  return -1;
}

}  // namespace

void InitDirectoryVariables(Platform& platform, EnvVarTable& envVar) {
  int row = 0;
  for (const DirectoryDefault& entry : DirectoryDefaults) {
    envVar[row].Name = entry.name;
    envVar[row].Value = entry.value;
    ++row;
  }
  for (std::int16_t r = 1; r <= static_cast<std::int16_t>(std::size(DirectoryDefaults)); ++r) {
    ResolveDirectoryVariable(platform, envVar, r);
  }
}

void ResolveDirectoryVariable(Platform& platform, EnvVarTable& envVar, std::int16_t row) {
  if (row < 1 || row > EnvVarRowCount) {
    throw SubscriptOutOfRange(L"directory variable row " + std::to_wstring(row) +
                              L" is not between 1 and 20");
  }
  EnvVarRow& entry = envVar[row - 1];
  if (entry.Name.empty()) return;
  // A value too long for the lookup's buffer is outside what the table supports: the
  // row keeps its default, as it does for a variable that is missing or empty.
  const EnvironmentLookup lookup =
      platform.EnvironmentVariable(entry.Name, MaxEnvironmentValueLength);
  if (lookup.outcome == EnvironmentOutcome::Value && !lookup.value.empty())
    entry.Value = lookup.value;
}

std::wstring ExpandPlaceholders(Platform& platform, const EnvVarTable& envVar,
                                const std::wstring& text) {
  std::wstring working(text);
  std::size_t scanFrom = 0;
  int replacements = 0;
  while (replacements < MaxReplacements) {
    const std::size_t first = working.find(L'$', scanFrom);
    if (first == std::wstring::npos) break;
    const std::size_t second = working.find(L'$', first + 1);
    if (second == std::wstring::npos) break;
    const int row = MatchingRow(platform, envVar, working.substr(first + 1, second - first - 1));
    if (row < 0) {
      // An unknown name stays as it is. Its closing "$" may open the next placeholder
      // (a lone "$" before a real placeholder), so the scan goes on from there.
      scanFrom = second;
      continue;
    }
    const std::wstring& value = envVar[row].Value;
    if (working.size() - (second - first + 1) + value.size() > MaxExpandedLength) break;
    working.replace(first, second - first + 1, value);
    ++replacements;
    // The scan goes on at the start of the value, so placeholders the value brings in
    // expand too. A "$" before it is not looked at again: with WinDir=Dir$X,
    // "$Visu$WinDir$" gives "$VisuDir$X", although a scan from the start would now see
    // "$VisuDir$".
    scanFrom = first;
  }
  return working;
}

}  // namespace vt
