// The log list fills the window and "Exit" stays in the bottom-right corner.
#include <gtest/gtest.h>

#include "app/layout.h"
#include "sim/station.h"

namespace vt {
namespace {

const TwipsSize Button{990, 330};

TEST(Layout, StretchesTheListAndPutsTheButtonBottomRight) {
  const ControlLayout layout = ArrangeControls({7680, 3060}, Button);
  EXPECT_EQ(layout.button.left, 7680 - 990 - 180);
  EXPECT_EQ(layout.button.top, 3060 - 330 - 450);
  EXPECT_EQ(layout.button.width, 990);
  EXPECT_EQ(layout.button.height, 330);
  EXPECT_EQ(layout.list.left, 60);
  EXPECT_EQ(layout.list.top, 150);
  EXPECT_EQ(layout.list.width, 7680 - 240);
  EXPECT_EQ(layout.list.height, 3060 - 150 - 330 - 450);
}

TEST(Layout, TheListBottomMeetsTheButtonTop) {
  for (double height : {1000.0, 3060.0, 9999.5, 12345.25}) {
    const ControlLayout layout = ArrangeControls({5000, height}, Button);
    EXPECT_EQ(layout.list.top + layout.list.height, layout.button.top) << height;
  }
}

TEST(Layout, ANarrowWindowGivesZeroWidthAndLeftNeverNegative) {
  const ControlLayout layout = ArrangeControls({200, 3000}, Button);
  EXPECT_EQ(layout.list.width, 0);
  EXPECT_EQ(layout.button.left, 0);
}

TEST(Layout, AShortWindowGivesZeroHeightWhileTheButtonTopMayGoNegative) {
  const ControlLayout layout = ArrangeControls({5000, 500}, Button);
  EXPECT_EQ(layout.list.height, 0);
  EXPECT_EQ(layout.button.top, 500 - 330 - 450);
}

TEST(Layout, RoundsHalvesToTheEvenNeighbour) {
  EXPECT_EQ(ArrangeControls({240.5, 3000}, Button).list.width, 0);
  EXPECT_EQ(ArrangeControls({241.5, 3000}, Button).list.width, 2);
  EXPECT_EQ(ArrangeControls({242.5, 3000}, Button).list.width, 2);
  EXPECT_EQ(ArrangeControls({243.4, 3000}, Button).list.width, 3);
  EXPECT_EQ(ArrangeControls({243.6, 3000}, Button).list.width, 4);
}

TEST(Layout, AVeryLargeWindowIsClampedInsteadOfOverflowing) {
  const ControlLayout layout = ArrangeControls({100000, 100000}, Button);
  EXPECT_EQ(layout.list.width, 32767);
  EXPECT_EQ(layout.list.height, 32767);
  EXPECT_EQ(layout.button.left, 32767);
  EXPECT_EQ(layout.button.top, 100000 - 330 - 450);  // the top is not a 16-bit length
}

TEST(Layout, TheResizeHandlerMovesTheControlsOfTheRealWindow) {
  sim::Station station;
  station.Start();
  station.platform.Resize({9000, 4000});
  const TwipsRect button = station.platform.ControlRect(ControlId::ExitButton);
  const TwipsRect list = station.platform.ControlRect(ControlId::LogList);
  EXPECT_EQ(button.left, 9000 - 990 - 180);
  EXPECT_EQ(button.top, 4000 - 330 - 450);
  EXPECT_EQ(list.width, 9000 - 240);
  EXPECT_EQ(list.height, 4000 - 150 - 330 - 450);
}

}  // namespace
}  // namespace vt
