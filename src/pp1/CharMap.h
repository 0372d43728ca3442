// SPDX-License-Identifier: MIT
// The companion writes code page 852 (DOS Latin-2); the printer fonts take Windows-1250. Only
// the Polish letters and the box-drawing horizontal line are mapped; every other byte passes
// through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace wydruki::pp1 {

// Each byte mapped once: a byte that the mapping produces is never mapped again.
std::string ConvertLine(std::string_view line);

}  // namespace wydruki::pp1
