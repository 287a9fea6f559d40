#include "app/screen_scale.h"

#include <gtest/gtest.h>

namespace quillmere::app {
namespace {

TEST(scale_to_dpi, every_figure_stays_itself_at_96_and_rounds_half_away_from_zero_elsewhere) {
  for (int pixels : {0, 1, 8, 12, 150, 544, 573, 648, 677})
    EXPECT_EQ(scale_to_dpi(pixels, 96), pixels);
  // 125 %: 150 is 187.5, 573 is 716.25, 12 is 15.
  EXPECT_EQ(scale_to_dpi(150, 120), 188);
  EXPECT_EQ(scale_to_dpi(573, 120), 716);
  EXPECT_EQ(scale_to_dpi(12, 120), 15);
  EXPECT_EQ(scale_to_dpi(-150, 120), -188);
  EXPECT_EQ(scale_to_dpi(677, 144), 1016);  // 1015.5
  EXPECT_EQ(scale_to_dpi(75, 144), 113);    // 112.5
  EXPECT_EQ(scale_to_dpi(677, 192), 1354);
  // 72 DPI shrinks, and a figure near the top of the range does not overflow.
  EXPECT_EQ(scale_to_dpi(677, 72), 508);  // 507.75
  EXPECT_EQ(scale_to_dpi(20000000, 480), 100000000);
}

TEST(usable_dpi, a_failed_or_absurd_report_reads_as_96) {
  EXPECT_EQ(usable_dpi(144), 144);
  EXPECT_EQ(usable_dpi(480), 480);
  EXPECT_EQ(usable_dpi(0), 96);
  EXPECT_EQ(usable_dpi(-1), 96);
  EXPECT_EQ(usable_dpi(100000), 96);
}

TEST(grow_to_hold, grows_by_the_shortfall_only_and_never_shrinks) {
  const Size outer{677, 573};
  const Size needed{648, 544};
  // Wine's frame at 96 DPI: 25 px of height, nothing is short.
  EXPECT_EQ(grow_to_hold(outer, {671, 548}, needed), outer);
  // A Windows 10 frame at 100 %: 16 wide and 39 high, so 10 px of height are missing.
  EXPECT_EQ(grow_to_hold(outer, {661, 534}, needed), (Size{677, 583}));
  // Short in both directions at once.
  EXPECT_EQ(grow_to_hold(outer, {640, 530}, needed), (Size{685, 587}));
  // A client larger than needed keeps the outer size as it is.
  EXPECT_EQ(grow_to_hold(outer, {900, 900}, needed), outer);
}

}  // namespace
}  // namespace quillmere::app
