// SPDX-License-Identifier: MIT
// MulDiv: a * b / c through a 64-bit product, rounded to the nearest integer with halves away
// from zero; -1 when c is 0 or the quotient does not fit an int.
#include <climits>
#include <cstdint>

#include "platform/api/kernel.h"

int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
  if (nDenominator == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(nNumber) * nNumerator;
  // Magnitudes: |product| <= 2^62 and |denominator| <= 2^31 both fit unsigned 64-bit.
  const std::uint64_t magnitude = product < 0 ? static_cast<std::uint64_t>(-(product + 1)) + 1
                                              : static_cast<std::uint64_t>(product);
  const std::uint64_t divisor =
      nDenominator < 0 ? static_cast<std::uint64_t>(-(static_cast<std::int64_t>(nDenominator)))
                       : static_cast<std::uint64_t>(nDenominator);
  std::uint64_t quotient = magnitude / divisor;
  const std::uint64_t remainder = magnitude % divisor;
  if (remainder * 2 >= divisor) ++quotient;  // the half goes away from zero
  const bool negative = (product < 0) != (nDenominator < 0) && quotient != 0;
  if (negative) {
    if (quotient > static_cast<std::uint64_t>(INT_MAX) + 1) return -1;
    return static_cast<int>(-static_cast<std::int64_t>(quotient));
  }
  if (quotient > static_cast<std::uint64_t>(INT_MAX)) return -1;
  return static_cast<int>(quotient);
}
