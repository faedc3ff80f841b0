// Reading the check interval: the leading number of a text, rounded halves to even.
#include <gtest/gtest.h>

#include "config/number_reading.h"
#include "platform/error.h"

namespace vt {
namespace {

std::int16_t Minutes(const std::wstring& text) {
  return RoundToInt16(ReadLeadingNumber(text), L"UpdateInterval");
}

TEST(LeadingNumber, TakesTheNumberAtTheStartAndStopsAtTheFirstOtherCharacter) {
  EXPECT_EQ(ReadLeadingNumber(L"15"), 15);
  EXPECT_EQ(ReadLeadingNumber(L"15 minutes"), 15);
  EXPECT_EQ(ReadLeadingNumber(L"-3"), -3);
  EXPECT_EQ(ReadLeadingNumber(L"+7x"), 7);
  EXPECT_EQ(ReadLeadingNumber(L"2.75.5"), 2.75);
  EXPECT_EQ(ReadLeadingNumber(L".5"), 0.5);
  EXPECT_EQ(ReadLeadingNumber(L"1.5E1"), 15);
  EXPECT_EQ(ReadLeadingNumber(L"2e-1"), 0.2);
  EXPECT_EQ(ReadLeadingNumber(L"3e"), 3);
}

TEST(LeadingNumber, SkipsBlanksTabsAndLineFeedsWhereverTheyStand) {
  EXPECT_EQ(ReadLeadingNumber(L"  \t\n1 2\t3"), 123);
  EXPECT_EQ(ReadLeadingNumber(L"- 4"), -4);
  EXPECT_EQ(ReadLeadingNumber(L"\r5"), 0);  // a carriage return is not skipped
}

TEST(LeadingNumber, ReadsHexadecimalAndOctalPrefixes) {
  EXPECT_EQ(ReadLeadingNumber(L"&H1F"), 31);
  EXPECT_EQ(ReadLeadingNumber(L"&hff"), 255);
  EXPECT_EQ(ReadLeadingNumber(L"&O17"), 15);
  EXPECT_EQ(ReadLeadingNumber(L"&H7FFF"), 32767);
  EXPECT_EQ(ReadLeadingNumber(L"&HFFFF"), 65535);  // a whole number, not 16 bits' -1
  EXPECT_EQ(ReadLeadingNumber(L"&H10000"), 65536);
  EXPECT_EQ(ReadLeadingNumber(L"&Hxyz"), 0);
  EXPECT_EQ(Minutes(L"&H7FFF"), 32767);
}

TEST(LeadingNumber, TextsWithoutANumberGiveZero) {
  EXPECT_EQ(ReadLeadingNumber(L""), 0);
  EXPECT_EQ(ReadLeadingNumber(L"ten"), 0);
  EXPECT_EQ(ReadLeadingNumber(L"-"), 0);
  EXPECT_EQ(ReadLeadingNumber(L"."), 0);
}

TEST(RoundToInt16, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(Minutes(L"0.5"), 0);
  EXPECT_EQ(Minutes(L"1.5"), 2);
  EXPECT_EQ(Minutes(L"2.5"), 2);
  EXPECT_EQ(Minutes(L"3.5"), 4);
  EXPECT_EQ(Minutes(L"-2.5"), -2);
  EXPECT_EQ(Minutes(L"2.51"), 3);
  EXPECT_EQ(Minutes(L"32767.4"), 32767);
  EXPECT_EQ(Minutes(L"-32768"), -32768);
}

TEST(RoundToInt16, WhatDoesNotFitIsAnOverflowNamingTheValue) {
  for (const wchar_t* text : {L"40000", L"32767.5", L"-32769", L"1e400", L"&HFFFFFFFFF", L"&HFFFF",
                              L"&H8000", L"&O100000"}) {
    try {
      Minutes(text);
      ADD_FAILURE() << "no overflow for " << ReadLeadingNumber(text);
    } catch (const ProgramError& error) {
      EXPECT_EQ(error.Message().rfind(L"Overflow: UpdateInterval", 0), 0u);
    }
  }
}

}  // namespace
}  // namespace vt
