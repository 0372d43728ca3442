// SPDX-License-Identifier: MIT
#include "pp1/PageArithmetic.h"

#include <cfenv>
#include <cmath>
#include <cstring>

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
  // llrint rounds in the processor's mode, to nearest with ties to even, in one instruction;
  // values beyond 32 bits saturate either way.
  if (std::isnan(value)) return 0;
  if (value >= 0x1p40L || value <= -0x1p40L) return Saturate(value);
  return Saturate(static_cast<Extended>(std::llrint(value)));
}

std::int32_t Truncate(Extended value) { return Saturate(std::trunc(value)); }

Extended Real48::Store(Extended value) {
  if (value == 0 || std::isnan(value)) return 0;
  // The extended format keeps its 64-bit significand with an explicit leading bit: keeping 40
  // of them, halves away from zero, is adding half of the dropped part and cutting it off.
  unsigned char bytes[sizeof(Extended)] = {};
  std::memcpy(bytes, &value, 10);
  std::uint64_t significand = 0;
  std::memcpy(&significand, bytes, 8);
  std::uint16_t sign_exponent = 0;
  std::memcpy(&sign_exponent, bytes + 8, 2);
  int exponent = (sign_exponent & 0x7FFF) - 16383;             // value = 1.f × 2^exponent
  if ((sign_exponent & 0x7FFF) == 0x7FFF) exponent = 1 << 20;  // infinity: saturate below
  constexpr int kDropped = 64 - 40;
  const std::uint64_t half = std::uint64_t{1} << (kDropped - 1);
  std::uint64_t rounded = significand + half;
  if (rounded < significand) {  // carried out of the top: 1.0 × 2^(exponent + 1)
    rounded = std::uint64_t{1} << 63;
    ++exponent;
  }
  rounded &= ~((std::uint64_t{1} << kDropped) - 1);
  // The 8-bit exponent of the 48-bit format: too small becomes zero, too large stays at the
  // largest value.
  if (exponent < -128) return 0;
  if (exponent > 126) {
    rounded = ~((std::uint64_t{1} << kDropped) - 1);
    exponent = 126;
  }
  const std::uint16_t stored_exponent =
      static_cast<std::uint16_t>((sign_exponent & 0x8000) | (exponent + 16383));
  std::memcpy(bytes, &rounded, 8);
  std::memcpy(bytes + 8, &stored_exponent, 2);
  Extended stored = 0;
  std::memcpy(&stored, bytes, 10);
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
