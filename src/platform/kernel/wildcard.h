// SPDX-License-Identifier: MIT
// File name patterns as DOS and Windows match them.
#pragma once

#include <string>
#include <string_view>

namespace wydruki::platform {

// Whether `name` fits `pattern`: `*` matches any run of characters, `?` any one character (or
// none at the end of the name or before a dot), letters match without regard to case. "*.*"
// matches every name, with or without a dot; a pattern ending in "." matches only names
// without one ("*." finds files that have no extension).
bool MatchesDosPattern(std::string_view pattern, std::string_view name);

// The 8.3 name Windows would give `name` when the name itself does not fit 8.3 ("LONGNA~1.TXT"
// for "longname.text", with `ordinal` as the number after the tilde); empty when it fits.
std::string ShortNameFor(std::string_view name, int ordinal);

// The part of a short name that `ordinal` does not change ("LONGNA" + ".TXT"), for counting
// names that would collide; empty when the name fits 8.3.
std::string ShortNameStem(std::string_view name);

}  // namespace wydruki::platform
