// SPDX-License-Identifier: MIT
// The job signal "win95.drk": line 1 names the text file to print, an optional line 2 holds the
// job's lines per page less one.
//
// A signal is read once per tick, whole, while no writer holds it, and the job and the
// signal's identity both come from that one read: a companion that finishes writing in between
// cannot make the job printed differ from the signal later deleted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/winapi.h"

namespace wydruki::pp1 {

// Line 2 as a whole 32-bit signed integer: leading blanks, an optional sign, decimal digits or
// "$" and hexadecimal digits running to the end of the line. nullopt for anything else.
std::optional<std::int32_t> ParseJobInteger(std::string_view text);

struct JobSignal {
  std::string file_name;                       // empty when the signal names nothing
  std::optional<std::int32_t> lines_per_page;  // line 2 plus one, when valid
  bool first_line_too_long = false;            // line 1 passed kMaxSignalLine
};

// The longest line of a signal that is read; a longer line 1 names no file, a longer line 2
// is no number.
inline constexpr std::size_t kMaxSignalLine = 4096;
// How much of a signal is read: its identity, and more than two lines can use.
inline constexpr std::size_t kSignalReadBytes = 64 * 1024;

// The job that the bytes of a signal describe, by the text-line rules (CR or CR LF ends a line,
// a bare LF stays in it, Ctrl-Z ends the data).
JobSignal ParseJobSignal(std::string_view bytes);

// One read of a signal.
struct SignalRead {
  bool taken = false;  // read whole while nobody wrote it; else try again at the next tick
  bool held = false;   // not taken because a writer holds it open, or wrote it meanwhile
  std::string bytes;   // its first kSignalReadBytes bytes
  FILETIME written{};  // its last write time
  JobSignal job;       // what those bytes describe
};
SignalRead ReadSignal(const std::string& path);

// Reads the signal at `path`. Nothing is reported: an unreadable signal names no file.
JobSignal ReadJobFile(const std::string& path);

}  // namespace wydruki::pp1
