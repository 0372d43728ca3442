// SPDX-License-Identifier: MIT
#include "pp1/PageArithmetic.h"

#include <gtest/gtest.h>

#include <cmath>

namespace wydruki::pp1 {
namespace {

TEST(PageMetrics, AnA4PageAtSixHundredDotsGivesTheCharacterPrintersGrid) {
  const PageMetrics m = ComputePageMetrics(4800, 6600, 77);
  EXPECT_EQ(m.LeftMargin, 192);
  EXPECT_EQ(m.RightMargin, 192);
  EXPECT_EQ(m.TopMargin, 404);
  EXPECT_EQ(m.BottomMargin, 404);
  EXPECT_EQ(m.TextAreaWidth, 4416);
  EXPECT_EQ(m.TextAreaHeight, 5792);
  EXPECT_NEAR(static_cast<double>(m.CellNormal.Value()), 55.2, 1e-9);
  EXPECT_NEAR(static_cast<double>(m.CellCondensed.Value()), 36.1967, 1e-4);
  EXPECT_EQ(m.CellElite.Value(), 46.0L);
  EXPECT_EQ(m.LineHeightNormal, 99);
  EXPECT_EQ(m.LineHeightJob, 75);
  const int columns[] = {80, 40, 122, 61, 96, 48};
  const int cells[] = {55, 110, 36, 72, 46, 92};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(CellWidthFor(m.TextAreaWidth, columns[i]), cells[i]);
}

TEST(PageMetrics, VerticalMarginsComeFromTheWidthAndAHalfRoundsByItsExtendedValue) {
  // 2500 × 0.0842 is 210.5 in decimal; in extended precision it lies just above the half.
  EXPECT_EQ(ComputePageMetrics(2500, 3500, 77).TopMargin, 211);
  const PageMetrics narrow = ComputePageMetrics(2044, 3000, 77);
  EXPECT_EQ(narrow.LeftMargin, 82);
  EXPECT_EQ(narrow.TextAreaWidth, 1880);
  EXPECT_EQ(narrow.CellNormal.Value(), 23.5L);
}

TEST(PageMetrics, JobLineCountsSetTheJobSpacingAndCountsBelowOneFallBackToNormal) {
  EXPECT_GT(ComputePageMetrics(4800, 6600, 41).LineHeightJob,
            ComputePageMetrics(4800, 6600, 41).LineHeightNormal);
  for (int lines : {0, -1, -100}) {
    const PageMetrics m = ComputePageMetrics(4800, 6600, lines);
    EXPECT_EQ(m.LineHeightJob, m.LineHeightNormal) << lines;
  }
  EXPECT_EQ(CellWidthFor(4416, 0), 0);
}

TEST(CellFontHeight, TruncationSeesTheBinaryValueOfTheDecimalFactors) {
  EXPECT_EQ(CellFontHeight(100, 55, true), 110);
  EXPECT_EQ(CellFontHeight(100, 55, false), 93);
  EXPECT_EQ(CellFontHeight(120, 55, true), 131);  // 132 in decimal, just below it in binary
  EXPECT_EQ(CellFontHeight(120, 55, false), 112);
  EXPECT_EQ(CellFontHeight(120, 92, true), 220);
  EXPECT_EQ(CellFontHeight(120, 92, false), 187);
}

TEST(Rounding, TiesGoToTheEvenNeighbourAndWideSizesUseIt) {
  EXPECT_EQ(RoundEven(105.5L), 106);
  EXPECT_EQ(RoundEven(152.5L), 152);
  EXPECT_EQ(RoundEven(-2.5L), -2);
  EXPECT_EQ(Truncate(-2.7L), -2);
  EXPECT_EQ(WideSize(110), 77);
  EXPECT_EQ(WideSize(15), 10);  // 10.5 → 10
  EXPECT_EQ(RoundEven(1e30L), std::numeric_limits<std::int32_t>::max());
}

TEST(Real48, StoresKeepFortySignificantBitsRoundingHalvesAwayFromZero) {
  // 1 + 2^-40 is a tie between 1 and 1 + 2^-39: away from zero gives the larger.
  const long double tie = 1.0L + std::ldexp(1.0L, -40);
  EXPECT_EQ(Real48::Store(tie), 1.0L + std::ldexp(1.0L, -39));
  EXPECT_EQ(Real48::Store(-tie), -(1.0L + std::ldexp(1.0L, -39)));
  const long double below = 1.0L + std::ldexp(1.0L, -41);
  EXPECT_EQ(Real48::Store(below), 1.0L);
  // Values with 40 bits or fewer are kept exactly; the advances of a page add up on the grid.
  EXPECT_EQ(Real48::Store(55.2L), Real48::Store(Real48::Store(55.2L)));
  Real48 x(82.0L);
  const PageMetrics m = ComputePageMetrics(2044, 3000, 77);
  const int expected[] = {106, 129, 152, 176};
  for (int position : expected) {
    x = x + m.CellNormal;
    EXPECT_EQ(RoundEven(x), position);
  }
  EXPECT_EQ(Real48::Store(0.0L), 0.0L);
  EXPECT_EQ(Real48::Store(std::ldexp(1.0L, -200)), 0.0L);
  EXPECT_TRUE(std::isfinite(Real48::Store(std::ldexp(1.0L, 300))));
}

}  // namespace
}  // namespace wydruki::pp1
