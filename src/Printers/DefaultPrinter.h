// SPDX-License-Identifier: MIT
// Which printer a job would use now. Every part of the program that asks (the printer object
// choosing its default, the start-up line, the configuration window, the report of a job that
// cannot print) asks here, so they never disagree.
//
// The default printer is the device of the profile's [windows] device= line, as Windows keeps
// it; where no line is written the system answers for it (on Linux: the CUPS default
// destination, or nothing while a configured scheduler does not answer).
#pragma once

#include <string>

#include "platform/winapi.h"

namespace wydruki::printers {

enum class PrinterKind {
  kNone,       // no default printer is known now
  kQueue,      // a queue of the print system, sent drawn pages
  kRawQueue,   // a queue that takes the printer's own language only (a dot-matrix printer)
  kPdfFile,    // the built-in printer writing PDF files into a directory
  kTraceFile,  // the built-in printer keeping a plain-text record
};

struct DefaultPrinterInfo {
  std::string name;  // the device line's first field; empty when there is none
  PrinterKind kind = PrinterKind::kNone;
  bool listed = false;  // the print system lists it now
  std::string driver;   // as the printer list gives them, when listed
  std::string port;
  std::string comment;
  std::string server;  // the print server it is on ("druk:631"); empty for this machine's own
};

// Printer names are told apart without regard to letter case, as the spooler's own are.
bool SamePrinterName(const std::string& a, const std::string& b);

// The device line's first field, however long the line: the default printer's name.
std::string DefaultDeviceName();

// The default printer as the printer list shows it now.
DefaultPrinterInfo ResolveDefaultPrinter();

// Where a job on that printer goes, in words: "CUPS queue biuro", "PDF files in /home/anna".
std::string WhereItPrints(const DefaultPrinterInfo& printer);

}  // namespace wydruki::printers
