// SPDX-License-Identifier: MIT
#include "pp1/JobJournal.h"

#include <cstdio>

namespace wydruki::pp1 {
namespace {

std::string Pages(int pages) { return std::to_string(pages) + (pages == 1 ? " page" : " pages"); }

// A name as one line of the journal: control characters (a line feed would start a false
// journal line, an escape sequence would act on a terminal) are written as \xNN.
std::string Escaped(const std::string& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) {
      escaped += c;
      continue;
    }
    escaped += "\\x";
    escaped += kHex[byte >> 4];
    escaped += kHex[byte & 15];
  }
  return escaped;
}

}  // namespace

std::string JobJournalLine(const std::string& print_out, const std::string& printer, int pages,
                           JobResult result, const std::string& reason) {
  std::string line =
      "wydrukid95: job \"" + Escaped(print_out) + "\" on \"" + Escaped(printer) + "\": ";
  switch (result) {
    case JobResult::Printed:
      return line + "printed, " + Pages(pages);
    case JobResult::Cancelled:
      return line + "cancelled after " + Pages(pages);
    case JobResult::Failed:
      return line + "failed after " + Pages(pages) + " (" + Escaped(reason) + "), kept for retry";
  }
  return line;
}

void WriteJobJournal(const std::string& line) {
  // One write of the whole line, so lines of two agents sharing a journal never interleave.
  const std::string text = line + "\n";
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace wydruki::pp1
