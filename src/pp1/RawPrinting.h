// SPDX-License-Identifier: MIT
// Printing a print-out on a printer that takes only raw documents: the printer's own language
// (ESC/P, EscpTranslator.h) sent through the spooler as one raw document.
//
// Whether a printer is such a printer is the print system's answer, as Windows gives it: the
// printer list's attribute PRINTER_ATTRIBUTE_RAW_ONLY. The translation is set in the profile:
//   [escp]
//   codepage=852        852 (default), mazovia (or 667), 1250, latin2 (or 8859-2), ascii
//   page_length=72      the sheet in lines of 1/6 inch: 72 for 12-inch fanfold, 70 for A4
//   select_table=yes    no: the PC852 table is not selected with ESC ( t
#pragma once

#include <string>

#include "Printers/Printer.h"
#include "pp1/EscpTranslator.h"

namespace wydruki::pp1 {

// The spooler refused a raw document or its bytes; SystemError() is the spooler's reason.
class ERawPrinter : public printers::EPrinter {
 public:
  explicit ERawPrinter(DWORD error);
  DWORD SystemError() const { return error_; }

 private:
  DWORD error_;
};

// The printer takes only raw documents (false also when the print system does not list it).
bool TakesRawDocuments(const std::string& printer);

// The [escp] settings of the profile. Throws Exception, naming the key and what it takes, for a
// value that is not understood: the job waits until the profile is put right.
EscpSettings ProfileEscpSettings();

// One raw document on a printer, owned: begun when made, aborted when dropped unfinished.
class RawSpoolJob {
 public:
  // Opens the printer and begins a document named `document`; throws ERawPrinter.
  RawSpoolJob(const std::string& printer, const std::string& document);
  ~RawSpoolJob();
  RawSpoolJob(const RawSpoolJob&) = delete;
  RawSpoolJob& operator=(const RawSpoolJob&) = delete;

  // Sends the bytes on; throws ERawPrinter when they cannot be delivered.
  void Write(const std::string& bytes);
  // The document is complete: the spooler takes it whole, or ERawPrinter says why not.
  void Finish();
  // Nothing of the document prints; the spooler's job is cancelled.
  void Abort();

 private:
  HANDLE printer_ = nullptr;
  bool open_ = false;
};

}  // namespace wydruki::pp1
