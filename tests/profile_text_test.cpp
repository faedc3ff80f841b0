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

// The cases of Wine's conformance tests of GetPrivateProfileInt and
// RtlUnicodeStringToInteger, which hold on Windows.
TEST(ProfileIntegers, ReadAsTheSystemsConversionWithBaseDetection) {
  const struct {
    const wchar_t* value;
    std::int32_t expected;
  } cases[] = {
      {L"1", 1},
      {L"+1", 1},
      {L"-1", -1},
      {L"4294967296", 0},  // wraps at 32 bits
      {L"4294967297", 1},
      {L"-4294967297", -1},
      {L"42A94967297", 42},  // up to the first character that is no digit
      {L"B4294967297", 0},
      {L"\x01\x02 \t\r\n214", 214},  // every character up to the blank is skipped
      {L"--214", 0},                 // one sign at most
      {L"056789", 56789},            // a leading zero is still decimal
      {L"0x12345", 0x12345},
      {L"0xabcdefgh", 0xabcdef},
      {L"-0xFEDCBA00", 19088896},
      {L"0x", 0},
      {L"0o1234567", 01234567},
      {L"0o56789", 0567},
      {L"0b1011101100", 748},
      {L"0b10123456789", 5},
      {L"0d12", 0},
      {L"0X1F", 0},  // the prefixes are lower-case only
      {L"x89", 0},
      {L"214 0", 214},
  };
  for (const auto& c : cases) EXPECT_EQ(ProfileInteger(c.value), c.expected) << c.value;
  // An empty value reads as the default, as a missing key does.
  EXPECT_EQ(ProfileInteger(L""), std::nullopt);
}

TEST(ProfileIntegers, AnEmptyOrBlankOrQuotedEmptyValueGivesTheDefault) {
  sim::SimPlatform platform;
  platform.PutFile(L"C:\\S\\n.ini", "[S]\r\na=\r\nb=   \r\nc=\"\"\r\nd=0x10\r\ne= 7 \r\n");
  for (const wchar_t* key : {L"a", L"b", L"c", L"missing"}) {
    EXPECT_EQ(platform.ProfileInt(L"S", key, -9, L"C:\\S\\n.ini"), -9) << key;
  }
  EXPECT_EQ(platform.ProfileInt(L"S", L"d", -9, L"C:\\S\\n.ini"), 16);
  EXPECT_EQ(platform.ProfileInt(L"S", L"e", -9, L"C:\\S\\n.ini"), 7);
}

TEST(ProfileLineEnds, ALoneCrEndsALineAsLfAndCrLfDo) {
  // "\r\r\n" is a line end followed by an empty line: the value has no CR in it.
  const std::string mixed = "[S]\r\r\nflag=true\r\r\nlf=1\ncr=2\rcrlf=3\r\n";
  EXPECT_EQ(FindProfileValue(mixed, "S", "flag"), "true");
  EXPECT_EQ(FindProfileValue(mixed, "S", "lf"), "1");
  EXPECT_EQ(FindProfileValue(mixed, "S", "cr"), "2");
  EXPECT_EQ(FindProfileValue(mixed, "S", "crlf"), "3");
  // Wine's test file "CR only".
  const std::string crOnly = "[section1]\rname1=val1\rname2=\"val2\"\rname3\rname4=a\r[section2]\r";
  EXPECT_EQ(FindProfileValue(crOnly, "section1", "name1"), "val1");
  EXPECT_EQ(FindProfileValue(crOnly, "section1", "name2"), "val2");
  EXPECT_EQ(FindProfileValue(crOnly, "section1", "name4"), "a");
}

TEST(ProfileLineEnds, AWriteIntoACrOnlyFileReplacesInPlaceAndKeepsItsLineBreak) {
  const std::string crOnly = "[S]\rk=old\rj=1\r";
  EXPECT_EQ(SetProfileValue(crOnly, "S", "k", "new"), "[S]\rk=new\rj=1\r");
  EXPECT_EQ(SetProfileValue(crOnly, "S", "n", "2"), "[S]\rk=old\rj=1\rn=2\r");
  EXPECT_EQ(SetProfileValue(crOnly, "T", "n", "2"), "[S]\rk=old\rj=1\r[T]\rn=2\r");
  // A replaced value on a last line without a line break gets the file's line break.
  EXPECT_EQ(SetProfileValue("[S]\r\nk=old", "S", "k", "new"), "[S]\r\nk=new\r\n");
  EXPECT_EQ(SetProfileValue("[S]\nk=old", "S", "k", "new"), "[S]\nk=new\n");
}

TEST(ProfileHeaders, ANameEndsAtTheFirstBracketOrAtTheEndOfTheLine) {
  const std::string file = "[Alpha] trailing text\r\na=1\r\n[Beta\r\nb=2\r\n[Ga]mma]\r\nc=3\r\n";
  EXPECT_EQ(FindProfileValue(file, "Alpha", "a"), "1");
  EXPECT_EQ(FindProfileValue(file, "Beta", "b"), "2");
  EXPECT_EQ(FindProfileValue(file, "Ga", "c"), "3");
  // Wine's test "[ section1 ]": the name is taken without its blanks.
  EXPECT_EQ(FindProfileValue("  [ section1 ]\r\nk=v\r\n", "section1", "k"), "v");
}

TEST(ProfileLines, ANulEndsWhatIsReadOfItsLineAndAWriteKeepsTheRest) {
  const char text[] = "[S]\r\na=va\0lue\r\nb\0=hidden\r\n[T\0]\r\nc=3\r\n";
  const std::string file(text, sizeof text - 1);
  std::string written = file;
  written[written.size() - 3] = '4';
  EXPECT_EQ(FindProfileValue(file, "S", "a"), "va");
  EXPECT_EQ(FindProfileValue(file, "S", "b"), std::nullopt);  // no "=" before the NUL
  EXPECT_EQ(FindProfileValue(file, "T", "c"), "3");
  EXPECT_EQ(SetProfileValue(file, "T", "c", "4"), written);
  EXPECT_EQ(SetProfileValue("", "S", "k", std::string("a\0b", 3)), std::nullopt);
}

TEST(ProfileNames, AskedAndWrittenNamesAreTakenWithoutTheirBlanks) {
  const std::string file = "[Alpha]\r\nkey1=x\r\n";
  EXPECT_EQ(FindProfileValue(file, " Alpha ", " key1 "), "x");
  EXPECT_EQ(SetProfileValue(file, "  Alpha  ", " key1\t", "y"), "[Alpha]\r\nkey1=y\r\n");
  EXPECT_EQ(SetProfileValue("", "  Alpha  ", " k ", "v"), "[Alpha]\r\nk=v\r\n");
}

TEST(ProfileBlanks, TabsVerticalTabsAndTheOtherBlanksAreStripped) {
  const std::string file = "\t[S]\v\r\n\t key \f=\t value\v \x1A\r\n";
  EXPECT_EQ(FindProfileValue(file, "S", "key"), "value");
  // Windows-1252's no-break space (A0) is a blank too.
  EXPECT_EQ(FindProfileValue("[S]\r\nk=\xA0v\xA0\r\n", "S", "k"), "v");
}

TEST(ProfileUtf16, AFileWithItsByteOrderMarkIsReadAsUnicodeAndWrittenBackSo) {
  // "[S]\r\nk=ÚČ\r\n" as Notepad's "Unicode": FF FE, then UTF-16LE.
  const std::wstring text = L"[S]\r\nk=\u00da\u010c\r\n";
  const std::string bytes = EncodeProfileFile(text, ProfileEncoding::Utf16Le);
  ASSERT_EQ(bytes.substr(0, 4), std::string("\xFF\xFE[\0", 4));
  const ProfileText decoded = DecodeProfileFile(bytes);
  EXPECT_EQ(decoded.encoding, ProfileEncoding::Utf16Le);
  ProfileDocument document(decoded.text, decoded.encoding);
  EXPECT_EQ(document.Find(L"S", L"k"), L"\u00da\u010c");
  // A write keeps it UTF-16LE, new lines with CRLF.
  ASSERT_TRUE(document.Set(L"T", L"j", L"\u03b1"));
  EXPECT_EQ(
      EncodeProfileFile(document.Text(), document.Encoding()),
      EncodeProfileFile(L"[S]\r\nk=\u00da\u010c\r\n[T]\r\nj=\u03b1\r\n", ProfileEncoding::Utf16Le));
}

TEST(ProfileUtf16, AUtf8ByteOrderMarkIsNotSpecial) {
  const ProfileText decoded = DecodeProfileFile("\xEF\xBB\xBF[S]\r\nk=v\r\n");
  EXPECT_EQ(decoded.encoding, ProfileEncoding::Ansi);
  // The mark is part of the first line, as Windows reads it: "[S]" is no header there.
  EXPECT_EQ(ProfileDocument(decoded.text).Find(L"S", L"k"), std::nullopt);
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

TEST(ProfileEditing, ALastLineEndingInALoneCarriageReturnIsEndedAlready) {
  const std::string written = SetProfileValue("[A]\r\nk=1\r", "B", "j", "2").value();
  EXPECT_EQ(written, "[A]\r\nk=1\r[B]\r\nj=2\r\n");
  EXPECT_EQ(FindProfileValue(written, "B", "j"), "2");
  EXPECT_EQ(SetProfileValue("[A]\r\nk=1\r", "A", "j", "2"), "[A]\r\nk=1\rj=2\r\n");
}

TEST(ProfileEditing, RefusesWhatCannotBeWrittenAsOneLine) {
  EXPECT_EQ(SetProfileValue("", "S", "k", "a\nb"), std::nullopt);
  EXPECT_EQ(SetProfileValue("", "S]", "k", "v"), std::nullopt);
  EXPECT_EQ(SetProfileValue("", "S", "k=1", "v"), std::nullopt);
  EXPECT_EQ(SetProfileValue("", "S", " ", "v"), std::nullopt);
  // A key that would read back as a comment or a section header.
  EXPECT_EQ(SetProfileValue("", "S", ";k", "v"), std::nullopt);
  EXPECT_EQ(SetProfileValue("", "S", "[k", "v"), std::nullopt);
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

TEST_F(ProfileAccess, WritesTrimOnlySpacesFromTheValue) {
  EXPECT_TRUE(ProfileWrite(platform_, L"Machine1", L"NetOK1", L"  true  ", L"C:\\Station\\new.ini")
                  .Succeeded());
  ASSERT_TRUE(platform_.CommitProfileWrites().Succeeded());
  EXPECT_EQ(platform_.File(L"C:\\Station\\new.ini"), "[Machine1]\r\nNetOK1=true\r\n");
  EXPECT_TRUE(ProfileWrite(platform_, L"Machine1", L"NetOK1", L"\tx\t", L"C:\\Station\\new.ini")
                  .Succeeded());
  ASSERT_TRUE(platform_.CommitProfileWrites().Succeeded());
  EXPECT_EQ(platform_.File(L"C:\\Station\\new.ini"), "[Machine1]\r\nNetOK1=\tx\t\r\n");
  EXPECT_FALSE(
      ProfileWrite(platform_, L"S", L"k", L"true", L"C:\\Missing\\folder.ini").Succeeded());
}

}  // namespace
}  // namespace vt
