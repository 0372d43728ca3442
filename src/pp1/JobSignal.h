// The job signal "win95.drk": line 1 names the text file to print, an optional line 2 holds the
// job's lines per page less one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wydruki::pp1 {

// Line 2 as a whole 32-bit signed integer: leading blanks, an optional sign, decimal digits or
// "$" and hexadecimal digits running to the end of the line. nullopt for anything else.
std::optional<std::int32_t> ParseJobInteger(std::string_view text);

struct JobSignal {
  std::string file_name;                       // empty when the signal could not be read
  std::optional<std::int32_t> lines_per_page;  // line 2 plus one, when valid
};

// The longest line of a signal that is read; a longer line 1 names no file, a longer line 2
// is no number.
inline constexpr std::size_t kMaxSignalLine = 4096;

// Reads the signal at `path`. Nothing is reported: an unreadable signal names no file.
JobSignal ReadJobFile(const std::string& path);

}  // namespace wydruki::pp1
