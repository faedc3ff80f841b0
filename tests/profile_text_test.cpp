// Profile syntax as the station's other tools write it, and the profile functions the
// logic reads and writes with.
#include <gtest/gtest.h>

#include "config/profile_access.h"
#include "portable/codepage.h"
#include "portable/profile_text.h"
#include "sim/sim_platform.h"

namespace vt {
namespace {

TEST(ProfileSyntax, MatchesSectionsAndKeysInAnyLetterCase) {
  const std::string file = "[project]\r\nnumberofmachines = 3 \r\n";
  EXPECT_EQ(FindProfileValue(file, "Project", "NumberOfMachines"), "3");
  EXPECT_EQ(FindProfileValue(file, "PROJECT", "NUMBEROFMACHINES"), "3");
}

TEST(ProfileSyntax, TheFirstMatchingSectionAndKeyWin) {
  const std::string file = "[A]\nk=1\nk=2\n[a]\nk=3\nj=4\n";
  EXPECT_EQ(FindProfileValue(file, "A", "k"), "1");
  EXPECT_EQ(FindProfileValue(file, "A", "j"), std::nullopt);
}

TEST(ProfileSyntax, AValueIsTheTextAfterTheFirstEqualsWithoutBlanksOrQuotes) {
  const std::string file =
      "[S]\nurl = a=b \nempty=\nq1=\"quoted\"\nq2='single'\nodd=\"open\nmix=\"x'\n";
  EXPECT_EQ(FindProfileValue(file, "S", "url"), "a=b");
  EXPECT_EQ(FindProfileValue(file, "S", "empty"), "");
  EXPECT_EQ(FindProfileValue(file, "S", "q1"), "quoted");
  EXPECT_EQ(FindProfileValue(file, "S", "q2"), "single");
  EXPECT_EQ(FindProfileValue(file, "S", "odd"), "\"open");
  EXPECT_EQ(FindProfileValue(file, "S", "mix"), "\"x'");
}

TEST(ProfileSyntax, CommentsAndKeysOutsideTheirSectionAreNeverFound) {
  const std::string file = "k=outside\n[S]\n;k=comment\n  ; j=also\n[T]\nk=other\n";
  EXPECT_EQ(FindProfileValue(file, "S", "k"), std::nullopt);
  EXPECT_EQ(FindProfileValue(file, "S", ";k"), std::nullopt);
  EXPECT_EQ(FindProfileValue(file, "S", "j"), std::nullopt);
  EXPECT_EQ(FindProfileValue(file, "Missing", "k"), std::nullopt);
}

TEST(ProfileSyntax, IntegersAreTheLeadingDigitsWithAnOptionalSign) {
  EXPECT_EQ(LeadingInteger("65537"), 65537);
  EXPECT_EQ(LeadingInteger("12abc"), 12);
  EXPECT_EQ(LeadingInteger("-5"), -5);
  EXPECT_EQ(LeadingInteger("abc"), 0);
  EXPECT_EQ(LeadingInteger(""), 0);
  EXPECT_EQ(LeadingInteger("4294967297"), 1);  // wraps at 32 bits as the platform does
}

TEST(ProfileEditing, ReplacesTheFirstMatchingKeyAndLeavesEveryOtherByte) {
  const std::string file =
      "; station file\r\n[Machine1]\r\nNetOK1 = "
      "false\r\nNetOK2=x\r\n\r\n[Other]\r\nNetOK1=keep\r\n";
  EXPECT_EQ(
      SetProfileValue(file, "MACHINE1", "netok1", "true"),
      "; station file\r\n[Machine1]\r\nNetOK1 =true\r\nNetOK2=x\r\n\r\n[Other]\r\nNetOK1=keep\r\n");
}

TEST(ProfileEditing, AddsAKeyAtTheEndOfItsSectionBeforeTheBlankLines) {
  const std::string file = "[Machine1]\nNetOK1=true\n\n[Machine2]\nNetOK1=false\n";
  EXPECT_EQ(SetProfileValue(file, "Machine1", "NetOK3", "false"),
            "[Machine1]\nNetOK1=true\nNetOK3=false\n\n[Machine2]\nNetOK1=false\n");
}

TEST(ProfileEditing, AddsAMissingSectionAtTheEndInTheFilesLineEnding) {
  EXPECT_EQ(SetProfileValue("[A]\r\nk=1", "B", "j", "2"), "[A]\r\nk=1\r\n[B]\r\nj=2\r\n");
  EXPECT_EQ(SetProfileValue("[A]\nk=1\n", "B", "j", "2"), "[A]\nk=1\n[B]\nj=2\n");
  EXPECT_EQ(SetProfileValue("", "B", "j", "2"), "[B]\r\nj=2\r\n");
}

TEST(ProfileEditing, ALastLineEndingInALoneCarriageReturnGetsItsLineBreak) {
  const std::string written = SetProfileValue("[A]\r\nk=1\r", "B", "j", "2").value();
  EXPECT_EQ(written, "[A]\r\nk=1\r\n[B]\r\nj=2\r\n");
  EXPECT_EQ(FindProfileValue(written, "B", "j"), "2");
  EXPECT_EQ(SetProfileValue("[A]\r\nk=1\r", "A", "j", "2"), "[A]\r\nk=1\r\nj=2\r\n");
}

TEST(ProfileEditing, RefusesWhatCannotBeWrittenAsOneLine) {
  EXPECT_EQ(SetProfileValue("", "S", "k", "a\nb"), std::nullopt);
  EXPECT_EQ(SetProfileValue("", "S]", "k", "v"), std::nullopt);
  EXPECT_EQ(SetProfileValue("", "S", "k=1", "v"), std::nullopt);
  EXPECT_EQ(SetProfileValue("", "S", " ", "v"), std::nullopt);
}

TEST(ProfileEditing, AWrittenValueReadsBack) {
  std::string file = "[S]\r\nk=old\r\n";
  for (const char* value : {"true", "", "a = b", "x;y"}) {
    file = SetProfileValue(file, "S", "k", value).value();
    EXPECT_EQ(FindProfileValue(file, "S", "k"), value);
  }
}

TEST(CodePage, EveryByteSurvivesTheRoundTrip) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  const std::wstring text = DecodeCp1252(bytes);
  EXPECT_EQ(text[0x80 - 1], L'\x20AC');  // the euro sign
  EXPECT_EQ(EncodeCp1252(text), bytes);
  EXPECT_EQ(EncodeCp1252(L"\x4E2D"), "?");
}

class ProfileAccess : public ::testing::Test {
 protected:
  void SetUp() override { platform_.AddFolder(L"C:\\Station"); }
  const std::wstring file_ = L"C:\\Station\\test.ini";
  sim::SimPlatform platform_;
};

TEST_F(ProfileAccess, AMissingFileGivesTheDefaults) {
  EXPECT_EQ(ProfileRead(platform_, L"S", L"k", file_), L"");
  EXPECT_EQ(ProfileReadInt(platform_, L"S", L"k", file_), -1);
  EXPECT_FALSE(ProfileReadBool(platform_, L"S", L"k", file_));
}

TEST_F(ProfileAccess, ALongValueIsCutTo254Characters) {
  platform_.PutFile(file_, "[S]\r\nk=" + std::string(300, 'v') + "\r\n");
  EXPECT_EQ(ProfileRead(platform_, L"S", L"k", file_), std::wstring(254, L'v'));
}

TEST_F(ProfileAccess, IntegersKeepTheirLow16Bits) {
  platform_.PutFile(file_, "[S]\r\na=65537\r\nb=40000\r\nc=12abc\r\nd=-7\r\n");
  EXPECT_EQ(ProfileReadInt(platform_, L"S", L"a", file_), 1);
  EXPECT_EQ(ProfileReadInt(platform_, L"S", L"b", file_), -25536);
  EXPECT_EQ(ProfileReadInt(platform_, L"S", L"c", file_), 12);
  EXPECT_EQ(ProfileReadInt(platform_, L"S", L"d", file_), -7);
}

TEST_F(ProfileAccess, OnlyTheWordTrueInAnyCaseIsTrue) {
  platform_.PutFile(file_, "[S]\r\na=TrUe\r\nb=1\r\nc=-1\r\nd=yes\r\ne=on\r\nf=\r\ng= true \r\n");
  EXPECT_TRUE(ProfileReadBool(platform_, L"S", L"a", file_));
  EXPECT_TRUE(ProfileReadBool(platform_, L"S", L"g", file_));
  for (const wchar_t* key : {L"b", L"c", L"d", L"e", L"f", L"missing"}) {
    EXPECT_FALSE(ProfileReadBool(platform_, L"S", key, file_)) << key;
  }
}

TEST_F(ProfileAccess, WritesTakeTheValueFirstAndTrimOnlySpaces) {
  EXPECT_TRUE(ProfileWrite(platform_, L"  true  ", L"Machine1", L"NetOK1", L"C:\\Station\\new.ini")
                  .Succeeded());
  EXPECT_EQ(platform_.File(L"C:\\Station\\new.ini"), "[Machine1]\r\nNetOK1=true\r\n");
  EXPECT_TRUE(ProfileWrite(platform_, L"\tx\t", L"Machine1", L"NetOK1", L"C:\\Station\\new.ini")
                  .Succeeded());
  EXPECT_EQ(platform_.File(L"C:\\Station\\new.ini"), "[Machine1]\r\nNetOK1=\tx\t\r\n");
  EXPECT_FALSE(
      ProfileWrite(platform_, L"true", L"S", L"k", L"C:\\Missing\\folder.ini").Succeeded());
}

}  // namespace
}  // namespace vt
