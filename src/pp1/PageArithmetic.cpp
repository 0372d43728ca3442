#include "pp1/PageArithmetic.h"

#include <cfenv>
#include <cmath>

namespace wydruki::pp1 {
namespace {

constexpr Extended kMarginFactor = 0.04L;
constexpr Extended kTopFactor = 0.0842L;
constexpr Extended kEightieth = 0.0125L;
constexpr Extended kNinetySixth = 1.0L / 96.0L;
constexpr Extended kPercent = 0.01L;
constexpr Extended kReducedHeight = 0.85L;
constexpr Extended kWideFactor = 0.7L;

std::int32_t Saturate(Extended value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<Extended>(std::numeric_limits<std::int32_t>::max()))
    return std::numeric_limits<std::int32_t>::max();
  if (value <= static_cast<Extended>(std::numeric_limits<std::int32_t>::min()))
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::int32_t RoundEven(Extended value) {
  // The default rounding mode of the processor is to nearest, ties to even.
  return Saturate(std::nearbyint(value));
}

std::int32_t Truncate(Extended value) { return Saturate(std::trunc(value)); }

Extended Real48::Store(Extended value) {
  if (value == 0 || std::isnan(value)) return 0;
  int exponent = 0;
  const Extended fraction = std::frexp(value, &exponent);  // |fraction| in [0.5, 1)
  // 40 significant bits, halves away from zero.
  const Extended significand = std::round(std::ldexp(fraction, 40));
  Extended stored = std::ldexp(significand, exponent - 40);
  std::frexp(stored, &exponent);
  // The 8-bit exponent: too small becomes zero, too large stays at the largest value.
  if (exponent < -127) return 0;
  if (exponent > 127) {
    const Extended largest = std::ldexp(std::ldexp(1.0L, 40) - 1, 127 - 40);
    return value < 0 ? -largest : largest;
  }
  return stored;
}

PageMetrics ComputePageMetrics(std::int32_t printable_width, std::int32_t printable_height,
                               std::int32_t job_lines_per_page) {
  PageMetrics m;
  m.LeftMargin = RoundEven(static_cast<Extended>(printable_width) * kMarginFactor);
  m.RightMargin = m.LeftMargin;
  // Both vertical margins come from the page's width, as the character printer had them.
  m.TopMargin = RoundEven(static_cast<Extended>(printable_width) * kTopFactor);
  m.BottomMargin = m.TopMargin;
  m.TextAreaWidth = printable_width - m.LeftMargin - m.RightMargin;
  m.TextAreaHeight = printable_height - m.TopMargin - m.BottomMargin;
  const Extended width = m.TextAreaWidth;
  m.CellNormal = width * kEightieth;
  m.CellCondensed = width / static_cast<Extended>(kCondensedColumns);
  m.CellElite = width * kNinetySixth;
  const Extended height = m.TextAreaHeight;
  m.LineHeightNormal = Truncate(height / static_cast<Extended>(kNormalLinesPerPage));
  m.LineHeightJob = job_lines_per_page >= 1
                        ? Truncate(height / static_cast<Extended>(job_lines_per_page))
                        : m.LineHeightNormal;
  return m;
}

std::int32_t CellWidthFor(std::int32_t text_area_width, std::int32_t columns) {
  if (columns == 0) return 0;
  return Truncate(static_cast<Extended>(text_area_width) / static_cast<Extended>(columns));
}

std::int32_t CellFontHeight(std::int32_t height_percent, std::int32_t cell_width, bool full) {
  Extended h = static_cast<Extended>(height_percent) * kPercent;
  h = h * (2 * static_cast<Extended>(cell_width));
  if (!full) h = h * kReducedHeight;
  return Truncate(h);
}

std::int32_t WideSize(std::int32_t size) {
  return RoundEven(static_cast<Extended>(size) * kWideFactor);
}

}  // namespace wydruki::pp1
