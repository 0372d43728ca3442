// SPDX-License-Identifier: MIT
// Diagnostic channels: one-line messages on stderr for one area of this layer at a time, so a
// user's report can carry what happened. WYDRUKI_DEBUG names the areas, separated by commas
// ("files,printers", or "all"); unset, nothing is written. The variable is read once, at the
// first check, and a check of a channel that is off costs one load and a test.
#pragma once

#include <string>

namespace wydruki::platform {

enum class DebugArea : unsigned { kFiles = 1u << 0, kPrinters = 1u << 1, kDisplay = 1u << 2 };

// The set of areas a WYDRUKI_DEBUG value names, as a mask of DebugArea bits. Unknown names and
// empty items are ignored; letter case does not matter.
unsigned ParseDebugAreas(const char* value);

bool DebugEnabled(DebugArea area);

// Writes "wydrukid95[<area>]: <text>" and a line end to stderr when the area is on. Callers
// that would build an expensive text check DebugEnabled first.
void DebugLine(DebugArea area, const std::string& text);

}  // namespace wydruki::platform
