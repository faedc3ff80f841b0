// Directory variables from the environment and their defaults, and placeholders in paths.
#include <gtest/gtest.h>

#include <utility>

#include "config/env_vars.h"
#include "sim/sim_platform.h"

namespace vt {
namespace {

EnvVarTable Resolved(sim::SimPlatform& platform) {
  EnvVarTable table;
  InitDirectoryVariables(platform, table);
  return table;
}

const wchar_t* const Template = L"$VisuDir$\\Parameter\\Program.ini";

TEST(DirectoryVariables, DefaultsHoldWhenTheEnvironmentSaysNothing) {
  sim::SimPlatform platform;
  platform.SetEnvironment(L"VisuDir", L"");
  const EnvVarTable table = Resolved(platform);
  // Every row's name and default, in row order: other tools expand these names too.
  const std::pair<const wchar_t*, const wchar_t*> rows[] = {
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
  for (int row = 0; row < 10; ++row) {
    EXPECT_EQ(table[row].Name, rows[row].first) << row + 1;
    EXPECT_EQ(table[row].Value, rows[row].second) << row + 1;
  }
  EXPECT_EQ(ExpandPlaceholders(platform, table, Template), L"C:\\Zembrik\\Parameter\\Program.ini");
  for (int row = 10; row < EnvVarRowCount; ++row) {
    EXPECT_TRUE(table[row].Name.empty() && table[row].Value.empty()) << row + 1;
  }
}

TEST(DirectoryVariables, TheEnvironmentOverridesInAnyLetterCaseAndAsItStands) {
  sim::SimPlatform platform;
  platform.SetEnvironment(L"VISUDIR", L" D:\\Station ");
  platform.SetEnvironment(L"windir", L"C:\\Windows");
  const EnvVarTable table = Resolved(platform);
  EXPECT_EQ(table[3].Value, L" D:\\Station ");
  EXPECT_EQ(table[0].Value, L"C:\\Windows");
  // Rows are resolved in row order, each once.
  EXPECT_EQ(platform.TraceStartingWith(L"EnvironmentVariable").size(), 10u);
  EXPECT_EQ(platform.Trace().front(), L"EnvironmentVariable WinDir");
}

TEST(DirectoryVariables, AValueTooLongForTheBufferKeepsTheDefault) {
  sim::SimPlatform platform;
  platform.SetEnvironment(L"VisuDir", std::wstring(4095, L'x'));
  platform.SetEnvironment(L"WinDir", std::wstring(4096, L'y'));
  const EnvVarTable table = Resolved(platform);
  EXPECT_EQ(table[3].Value, std::wstring(4095, L'x'));
  EXPECT_EQ(table[0].Value, L"C:\\WinNt");
}

TEST(DirectoryVariables, RowsOutsideTheTableAreAnIndexError) {
  sim::SimPlatform platform;
  EnvVarTable table;
  EXPECT_THROW(ResolveDirectoryVariable(platform, table, 0), std::exception);
  EXPECT_THROW(ResolveDirectoryVariable(platform, table, 21), std::exception);
  ResolveDirectoryVariable(platform, table, 20);  // empty name: nothing to look up
  EXPECT_TRUE(platform.Trace().empty());
}

class Placeholders : public ::testing::Test {
 protected:
  void SetUp() override { table_ = Resolved(platform_); }
  std::wstring Expand(const std::wstring& text) {
    return ExpandPlaceholders(platform_, table_, text);
  }
  sim::SimPlatform platform_;
  EnvVarTable table_;
};

TEST_F(Placeholders, MatchNamesInAnyLetterCase) {
  EXPECT_EQ(Expand(L"$visudir$\\x"), L"C:\\Zembrik\\x");
  EXPECT_EQ(Expand(L"$WINDIR$$VisiWinDir$"), L"C:\\WinNtC:\\VisiWin");
}

TEST_F(Placeholders, TextsWithoutAPairComeBackUnchanged) {
  EXPECT_EQ(Expand(L"C:\\plain\\path"), L"C:\\plain\\path");
  EXPECT_EQ(Expand(L"C:\\one$dollar"), L"C:\\one$dollar");
  EXPECT_EQ(Expand(L""), L"");
}

TEST_F(Placeholders, AnEmptyNameMatchesASpareRowAndDisappears) {
  EXPECT_EQ(Expand(L"a$$b$$c"), L"abc");
}

TEST_F(Placeholders, AnUnknownNameStaysAndALaterPlaceholderStillExpands) {
  EXPECT_EQ(Expand(L"$Nope$\\$VisuDir$"), L"$Nope$\\C:\\Zembrik");
  // A lone "$" pairs with the next placeholder's first "$"; the rest is still read.
  EXPECT_EQ(Expand(L"cost $5 in $VisuDir$"), L"cost $5 in C:\\Zembrik");
}

TEST(PlaceholdersInValues, ExpandOnTheNextPass) {
  sim::SimPlatform platform;
  platform.SetEnvironment(L"VisuDir", L"$WinDir$\\Station");
  const EnvVarTable table = Resolved(platform);
  EXPECT_EQ(ExpandPlaceholders(platform, table, Template),
            L"C:\\WinNt\\Station\\Parameter\\Program.ini");
}

TEST(PlaceholdersInValues, AValueThatLeadsBackToItselfEnds) {
  sim::SimPlatform platform;
  platform.SetEnvironment(L"VisuDir", L"$VisuDir$\\x");
  platform.SetEnvironment(L"WinDir", L"$QuarnelToolsDir$$QuarnelToolsDir$");
  platform.SetEnvironment(L"QuarnelToolsDir", L"$WinDir$");
  const EnvVarTable table = Resolved(platform);
  const std::wstring self = ExpandPlaceholders(platform, table, Template);
  EXPECT_EQ(self.rfind(L"$VisuDir$", 0), 0u);  // what is left unexpanded leads the text
  EXPECT_NE(self.find(L"\\x\\x\\x"), std::wstring::npos);
  const std::wstring cycle = ExpandPlaceholders(platform, table, L"$WinDir$");
  EXPECT_LE(cycle.size(), 32767u);
}

TEST(PlaceholdersInValues, HostileTextsFullOfDollarsEnd) {
  sim::SimPlatform platform;
  platform.SetEnvironment(L"VisuDir", std::wstring(4000, L'$'));
  platform.SetEnvironment(L"WinDir", L"$$$WinDir$$$$VisuDir$$");
  const EnvVarTable table = Resolved(platform);
  for (const std::wstring& text :
       {std::wstring(5000, L'$'), std::wstring(L"$VisuDir$$WinDir$$VisuDir$"),
        std::wstring(L"$WinDir$") + std::wstring(300, L'$')}) {
    const std::wstring result = ExpandPlaceholders(platform, table, text);
    EXPECT_LE(result.size(), 32767u + 5000u);
  }
}

}  // namespace
}  // namespace vt
