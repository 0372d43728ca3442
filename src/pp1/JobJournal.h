// SPDX-License-Identifier: MIT
// The job journal: one line per job on standard error, which a service manager's journal keeps
// with its time stamps. It says what an office asks after the fact ("did the invoice print, and
// where?"): the print-out, the printer, the pages and how the job ended. Nothing is written per
// page or while the agent waits, so the journal of a quiet week is a handful of lines.
#pragma once

#include <string>

namespace wydruki::pp1 {

enum class JobResult {
  Printed,    // the document was finished and handed to the printer
  Cancelled,  // the user cancelled it
  Failed,     // it could not be printed; its signal stays and it is tried again
};

// The journal line of one job, without its line end, control characters in its texts written
// as \xNN. `reason` is used for failed jobs only.
std::string JobJournalLine(const std::string& print_out, const std::string& printer, int pages,
                           JobResult result, const std::string& reason = "");

// Writes the line and its line end to standard error at once.
void WriteJobJournal(const std::string& line);

}  // namespace wydruki::pp1
