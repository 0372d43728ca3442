#include "pp1/JobJournal.h"

#include <cstdio>

namespace wydruki::pp1 {
namespace {

std::string Pages(int pages) { return std::to_string(pages) + (pages == 1 ? " page" : " pages"); }

}  // namespace

std::string JobJournalLine(const std::string& print_out, const std::string& printer, int pages,
                           JobResult result, const std::string& reason) {
  std::string line = "wydrukid95: job \"" + print_out + "\" on \"" + printer + "\": ";
  switch (result) {
    case JobResult::Printed:
      return line + "printed, " + Pages(pages);
    case JobResult::Cancelled:
      return line + "cancelled after " + Pages(pages);
    case JobResult::Failed:
      return line + "failed after " + Pages(pages) + " (" + reason + "), kept for retry";
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
