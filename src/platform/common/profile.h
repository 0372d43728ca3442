// SPDX-License-Identifier: MIT
// The profile: a win.ini-style file that stands for the Windows profile and for the few
// Linux-only settings of this layer (drive letters, launchers, printers, display driver).
//
// Location: $WYDRUKI_INI, else $XDG_CONFIG_HOME/wydrukid95/win.ini, else
// ~/.config/wydrukid95/win.ini. Sections and keys match without regard to letter case.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace wydruki::platform {

// The path of the profile file in force now (the environment is read on each call).
std::string ProfilePath();

// The value of `key` in `section`, with the blanks around it removed; nullopt when the file,
// the section or the key is missing. The first occurrence wins, as on Windows.
std::optional<std::string> ProfileValue(std::string_view section, std::string_view key);

// Every key=value pair of `section`, in file order (empty when absent).
std::vector<std::pair<std::string, std::string>> ProfileSection(std::string_view section);

// The names of all sections, in file order (a name repeated in the file is listed once).
std::vector<std::string> ProfileSectionNames();

// Sets `key` in `section` to `value` (a null value removes the key; a null key removes the whole
// section), keeping every other line of the file as it was. The file is replaced in one step
// (a new file renamed over it), so a reader never sees half of it. False when the file cannot
// be written; the errno value is left for the caller.
bool WriteProfileValue(std::string_view section, const std::string* key, const std::string* value);

// The user's home directory ($HOME, else the password database).
std::string HomeDirectory();

}  // namespace wydruki::platform
