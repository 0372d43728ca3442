// SPDX-License-Identifier: MIT
// What a user at a terminal is told about the program's surroundings on Linux, where Windows
// has no counterpart to ask: the file system path a DOS path stands for, whether a directory
// is open to other users, the display driver in use, and the record of what a user saw.
// (On Windows none of this is needed: paths are the system's own, and nothing reads stderr.)
#pragma once

#include <optional>
#include <string>

namespace wydruki::platform {

// The file system path that `dos_path` names (its last component may not exist yet); nullopt
// when a directory on the way is missing.
std::optional<std::string> NativePathOf(const std::string& dos_path);

struct DirectoryFacts {
  bool exists = false;  // a directory, reachable
  // Users other than the agent's may create files in it: it belongs to another user, or its
  // group or all users may write it (the sticky bit only keeps them from removing each
  // other's files, not from creating signals).
  bool open_to_others = false;
};
DirectoryFacts InspectDirectory(const std::string& dos_path);

// The name of the user who owns the file at `dos_path` (or the user id, when it has no name)
// when that is not the agent's user; a symbolic link counts as another user's when either it
// or its target is. nullopt when it is the agent's own or cannot be looked at.
std::optional<std::string> OtherOwnerOf(const std::string& dos_path);

// The name of the display driver that shows the program: "null", or "gtk".
std::string DisplayDriverName();

// The profile file in force ($WYDRUKI_INI, else the user's configuration directory).
std::string ProfileFilePath();

// Why the print system could not be reached the last time it was asked ("no answer from
// 127.0.0.1:631"); nullopt when it answered.
std::optional<std::string> PrintSystemUnreachableReason();

// Where a DOS path that names no file was looked for, in words a user can act on: "looked for
// /srv/d95/NIEMA.TXT", or which drive letter or directory on the way is missing.
std::string WhereLookedFor(const std::string& dos_path);

// Adds a line to the record of what a user saw ("NOTICE <text>"), when a record is kept.
void RecordNotice(const std::string& text);

}  // namespace wydruki::platform
