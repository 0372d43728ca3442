// SPDX-License-Identifier: MIT
#include "pp1/JobSignal.h"

#include <limits>

#include "pp2/TextLines.h"

namespace wydruki::pp1 {
namespace {

bool SameTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

std::optional<FILETIME> LastWriteTime(const std::string& path) {
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::nullopt;
  FindClose(search);
  return found.ftLastWriteTime;
}

// The next line of `bytes` from `at`, when it is at most kMaxSignalLine bytes long.
std::optional<std::string> NextLine(std::string_view bytes, std::size_t& at) {
  const std::size_t end = bytes.find_first_of("\r\x1A", at);
  const std::size_t stop = end == std::string_view::npos ? bytes.size() : end;
  if (stop - at > kMaxSignalLine) return std::nullopt;
  std::string line(bytes.substr(at, stop - at));
  at = stop;
  if (at < bytes.size() && bytes[at] == '\r') {
    ++at;
    if (at < bytes.size() && bytes[at] == '\n') ++at;
  }
  return line;
}

}  // namespace

std::optional<std::int32_t> ParseJobInteger(std::string_view text) {
  std::size_t blanks = 0;
  while (blanks < text.size() && text[blanks] == ' ') ++blanks;
  return pp2::ParseInteger(text.substr(blanks));
}

JobSignal ParseJobSignal(std::string_view bytes) {
  JobSignal signal;
  bytes = bytes.substr(0, bytes.find('\x1A'));  // Ctrl-Z is the end of the data
  std::size_t at = 0;
  const auto first = NextLine(bytes, at);
  if (!first) {
    // A path the companion writes is short: a longer line 1 names nothing.
    signal.first_line_too_long = true;
    return signal;
  }
  signal.file_name = *first;
  if (at >= bytes.size()) return signal;
  const auto second = NextLine(bytes, at);
  if (!second) return signal;
  if (const auto n = ParseJobInteger(*second)) {
    // One more than the largest integer has no 32-bit value: such a line is not used.
    if (*n < std::numeric_limits<std::int32_t>::max()) signal.lines_per_page = *n + 1;
  }
  return signal;
}

SignalRead ReadSignal(const std::string& path) {
  SignalRead read;
  const auto before = LastWriteTime(path);
  if (!before) return read;
  // Shared with readers only: while the companion still writes, the open fails.
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    read.held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
    return read;
  }
  // A device or a pipe is an endless or blocking stream of bytes: no signal.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return read;
  }
  char buffer[4096];
  DWORD got = 0;
  bool failed = false;
  while (read.bytes.size() < kSignalReadBytes) {
    if (!ReadFile(file, buffer, sizeof buffer, &got, nullptr)) {
      failed = true;
      break;
    }
    if (got == 0) break;
    read.bytes.append(buffer, got);
  }
  CloseHandle(file);
  if (read.bytes.size() > kSignalReadBytes) read.bytes.resize(kSignalReadBytes);
  const auto after = LastWriteTime(path);
  if (failed || !after) return read;
  // Written while it was read: what was read may be half old, half new.
  if (!SameTime(*before, *after)) {
    read.held = true;
    return read;
  }
  read.taken = true;
  read.written = *after;
  read.job = ParseJobSignal(read.bytes);
  return read;
}

JobSignal ReadJobFile(const std::string& path) { return ReadSignal(path).job; }

}  // namespace wydruki::pp1
