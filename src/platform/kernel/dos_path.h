// SPDX-License-Identifier: MIT
// DOS paths as the companion writes them ("C:\D95\WYDRUK.TXT") turned into Linux paths.
//
// A drive letter stands for the directory named in the profile section [drives] ("C=/srv/d95");
// Z: is "/" unless the profile says otherwise, so every Linux file has a DOS name. Both "\" and
// "/" separate components, and every component is looked up without regard to letter case
// (an exact match wins), because DOS programs write upper-case 8.3 names for files that Linux
// programs created in lower case. A path without a drive letter is a Linux path, absolute or
// relative to the current directory, under the same separator and case rules.
//
// As on Windows, blanks and dots that end the last component are dropped ("F.TXT ." names
// "F.TXT"). A component that matches nothing may be the 8.3 alias a DOS emulator showed for a
// long name ("MOJEDO~1" for "Moje Dokumenty"); it is resolved when only one name can be meant
// (kernel/short_names.h).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace wydruki::platform {

// The Linux path `dos_path` names, or nullopt when a drive letter is not mapped or a directory
// on the way does not exist. With `last_may_be_new`, a last component that matches nothing is
// kept as given (a file about to be created keeps the case it was given); without it, such a
// path is nullopt too.
std::optional<std::string> ToNativePath(std::string_view dos_path, bool last_may_be_new);

// The directory a drive letter stands for, or nullopt when it is not mapped.
std::optional<std::string> DriveDirectory(char drive_letter);

// The DOS name of an absolute Linux path, with backslashes: under a mapped drive directory it
// uses that letter (the deepest mapping wins), else Z:. When no drive reaches the file, the
// path is given without a drive ("\usr\bin\x"), which still names it as a Linux path.
std::string ToDosPath(std::string_view native_absolute_path);

// A name without the blanks and dots that end it, which Windows drops: "F.TXT " and "F.TXT."
// name "F.TXT". "." and ".." keep their meaning.
std::string_view WithoutTrailingBlanksAndDots(std::string_view name);

// True for the two characters that separate DOS path components.
inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace wydruki::platform
