// SPDX-License-Identifier: MIT
// The 8.3 aliases a DOS emulator gives long host names, matched back to those names.
//
// A DOS program running in an emulator cannot see "Moje Dokumenty": the emulator lists it as
// "MOJEDO~1", and that alias is what the program writes into a job signal. The emulator forms
// an alias from a name that is not a valid 8.3 name: leading dots go; the base is the text
// before the first dot and the extension the text after the last dot, both without blanks,
// upper-cased, cut to 3 characters for the extension and to what is left of 8 after "~N" for
// the base. N counts the names of one directory that share a base, in the order the emulator
// first listed them, an order we cannot know. So an alias is resolved only when exactly one
// long name of the directory shares its base: then its number can only be 1.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace wydruki::platform {

// True when `name` is a valid 8.3 name, which an emulator shows as it is (upper-cased).
bool IsShortName(std::string_view name);

// The alias "BASE~N.EXT" an emulator forms from the long name `name` with number `n`.
std::string ShortAlias(std::string_view name, int n);

// The one entry of `entries` that `alias` ("MOJEDO~1", "FAKTUR~1.TXT", any letter case) can
// stand for, or nullopt when `alias` is not of that form, matches none, or may be one of
// several.
std::optional<std::string> ResolveShortAlias(std::string_view alias,
                                             const std::vector<std::string>& entries);

}  // namespace wydruki::platform
