#include "pp1/JobSignal.h"

#include <limits>

#include "pp2/TextLines.h"

namespace wydruki::pp1 {

std::optional<std::int32_t> ParseJobInteger(std::string_view text) {
  std::size_t blanks = 0;
  while (blanks < text.size() && text[blanks] == ' ') ++blanks;
  return pp2::ParseInteger(text.substr(blanks));
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
