// SPDX-License-Identifier: MIT
// The arithmetic of the character grid: 80-bit extended precision with ties-to-even rounding,
// and the 48-bit real in which character advances and the running horizontal position are
// stored. The grid positions a job's characters land on depend on both, to the last digit.
#pragma once

#include <cstdint>
#include <limits>

namespace wydruki::pp1 {

static_assert(std::numeric_limits<long double>::digits == 64,
              "page arithmetic needs the 80-bit extended format");

using Extended = long double;

// Nearest integer, ties to even.
std::int32_t RoundEven(Extended value);
// Toward zero.
std::int32_t Truncate(Extended value);

// A 48-bit real: sign, 39-bit fraction with a hidden leading 1, 8-bit exponent. Storing a value
// rounds its significand to 40 bits, to nearest with ties away from zero; reading is exact.
class Real48 {
 public:
  constexpr Real48() = default;
  explicit Real48(Extended value) : value_(Store(value)) {}
  Real48& operator=(Extended value) {
    value_ = Store(value);
    return *this;
  }
  Extended Value() const { return value_; }
  operator Extended() const { return value_; }  // NOLINT: reads are exact

  // The value a store keeps of `value`.
  static Extended Store(Extended value);

 private:
  Extended value_ = 0;
};

// The figures of a page's character grid, in printer device units.
struct PageMetrics {
  std::int32_t LeftMargin = 0;
  std::int32_t RightMargin = 0;
  std::int32_t TopMargin = 0;
  std::int32_t BottomMargin = 0;
  std::int32_t TextAreaWidth = 0;
  std::int32_t TextAreaHeight = 0;
  Real48 CellNormal;
  Real48 CellCondensed;
  Real48 CellElite;
  std::int32_t LineHeightNormal = 0;
  std::int32_t LineHeightJob = 0;
};

inline constexpr std::int32_t kNormalLinesPerPage = 58;
inline constexpr std::int32_t kCondensedColumns = 122;

// Margins, text area, cell advances and line heights for a printable area. A job line count
// below 1 has no line height of its own: the job spacing is then the normal spacing.
PageMetrics ComputePageMetrics(std::int32_t printable_width, std::int32_t printable_height,
                               std::int32_t job_lines_per_page);

// The text area's width divided by the columns, truncated (0 for no columns).
std::int32_t CellWidthFor(std::int32_t text_area_width, std::int32_t columns);

// The cell height a chosen font is built with: (percent × 0.01) × 2w, times 0.85 when reduced,
// truncated.
std::int32_t CellFontHeight(std::int32_t height_percent, std::int32_t cell_width, bool full);

// A double-width size figure: the single-width figure × 0.7, ties to even.
std::int32_t WideSize(std::int32_t size);

}  // namespace wydruki::pp1
