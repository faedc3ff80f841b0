// The portable rules every host shares: case folding, trimming, rounding, timers.
#include <gtest/gtest.h>

#include "platform/timer_table.h"
#include "portable/case_fold.h"
#include "portable/text_rules.h"

namespace vt {
namespace {

TEST(CaseFolding, FoldsTheLettersOfWesternCentralEuropeanGreekAndCyrillicStations) {
  EXPECT_EQ(UpperCaseText(L"abc xyz 019"), L"ABC XYZ 019");
  // Latin-1, with the two that have no capital of their own there.
  EXPECT_EQ(UpperCaseText(L"\u00e0\u00e9\u00f6\u00fe\u00ff"), L"\u00c0\u00c9\u00d6\u00de\u0178");
  EXPECT_EQ(UpperCaseText(L"\u00df\u00f7"), L"\u00df\u00f7");  // sharp s, division sign
  // Latin Extended-A: pairs that start on an even code (\u010d) and on an odd one (\u0142, \u017e).
  EXPECT_EQ(UpperCaseText(L"\u010d\u0159\u0161\u0142\u017e\u0151\u0144"),
            L"\u010c\u0158\u0160\u0141\u017d\u0150\u0143");
  EXPECT_EQ(UpperCaseText(L"\u010c\u0141\u017d"), L"\u010c\u0141\u017d");  // capitals stay
  // Greek, the accented letters and the final sigma included.
  EXPECT_EQ(UpperCaseText(L"\u03b1\u03c1\u03c7\u03b5\u03af\u03bf \u03c2"),
            L"\u0391\u03a1\u03a7\u0395\u038a\u039f \u03a3");
  // Cyrillic, and its letters with marks.
  EXPECT_EQ(UpperCaseText(L"\u0430\u0440\u0445\u0438\u0432 \u0451\u0457"),
            L"\u0410\u0420\u0425\u0418\u0412 \u0401\u0407");
}

TEST(Trimming, TakesOnlySpacesOffBothEnds) {
  EXPECT_EQ(TrimSpaces(L"  a b  "), L"a b");
  EXPECT_EQ(TrimSpaces(L"   "), L"");
  EXPECT_EQ(TrimSpaces(L"\ta\t"), L"\ta\t");
}

TEST(Rounding, TakesHalvesToTheEvenNeighbour) {
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5000001), 3);
  EXPECT_EQ(RoundHalfEven(-1.5), -2);
  EXPECT_EQ(RoundHalfEven(-2.5), -2);
  EXPECT_EQ(RoundHalfEven(-0.4), 0);
}

TEST(Timers, FallDueAnIntervalAfterEnablingAndBringMissedTicksAsOne) {
  TimerTable timers;
  timers.Configure(
      {{TimerId::StartTimer, 50}, {TimerId::UpdateTimer, 60000}, {TimerId::WatchTimer, 2000}});
  EXPECT_FALSE(timers.Earliest().has_value());
  timers.Enable(TimerId::WatchTimer, true, 1000);
  timers.Enable(TimerId::UpdateTimer, true, 0);
  EXPECT_EQ(timers.Earliest(), TimerId::WatchTimer);
  EXPECT_EQ(timers.DueAt(TimerId::WatchTimer), 3000);
  // Enabling an enabled timer does not restart it.
  timers.Enable(TimerId::WatchTimer, true, 2500);
  EXPECT_EQ(timers.DueAt(TimerId::WatchTimer), 3000);
  // A tick handled late: the next is an interval from then, not from when it was due.
  timers.Ticked(TimerId::WatchTimer, 9100);
  EXPECT_EQ(timers.DueAt(TimerId::WatchTimer), 11100);
  timers.Enable(TimerId::WatchTimer, false, 9100);
  EXPECT_EQ(timers.Earliest(), TimerId::UpdateTimer);
}

}  // namespace
}  // namespace vt
