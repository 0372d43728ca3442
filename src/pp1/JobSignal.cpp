#include "pp1/JobSignal.h"

#include <limits>

#include "pp2/TextLines.h"

namespace wydruki::pp1 {

std::optional<std::int32_t> ParseJobInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  std::int64_t magnitude = 0;
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return std::nullopt;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

JobSignal ReadJobFile(const std::string& path) {
  JobSignal signal;
  try {
    pp2::TextLineReader reader(path);
    if (!reader.IsOpen()) return signal;
    // A path the companion writes is short. A longer line 1 names no file the agent would
    // print, and reading it whole could take the whole memory: the signal names nothing.
    const auto first = reader.ReadLineUpTo(kMaxSignalLine);
    if (!first) return signal;
    signal.file_name = *first;
    const auto second = reader.ReadLineUpTo(kMaxSignalLine);
    if (!second) return signal;
    if (const auto n = ParseJobInteger(*second)) {
      // One more than the largest integer has no 32-bit value: such a line is not used.
      if (*n < std::numeric_limits<std::int32_t>::max()) signal.lines_per_page = *n + 1;
    }
  } catch (const pp2::EInOutError&) {
    // A signal that cannot be read names nothing; it is read again at the next tick.
    return JobSignal{};
  }
  return signal;
}

}  // namespace wydruki::pp1
