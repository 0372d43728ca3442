// SPDX-License-Identifier: MIT
// The printers the system offers, as EnumPrintersA lists them: the CUPS destinations first,
// then the built-in printers, with the default printer marked.
#pragma once

#include <string>
#include <vector>

#include "common/printer_backend.h"
#include "platform/api/types.h"

namespace wydruki::platform {

struct PrinterEntry {
  PrinterKind kind = PrinterKind::kCups;
  std::string name;
  std::string port;      // CUPS: the device URI, else the destination name
  std::string driver;    // CUPS: the make and model, else "cups"; built-in: "builtin"
  std::string comment;   // printer-info
  std::string location;  // printer-location
  std::string server;    // CUPS: the print server it is on, empty for this machine's scheduler
  DWORD status = 0;      // PRINTER_STATUS_*
  DWORD jobs = 0;
  DWORD attributes = 0;  // PRINTER_ATTRIBUTE_*
  std::string datatype;  // "RAW" for a printer that takes only raw documents, else empty
};

// Every printer. One entry carries PRINTER_ATTRIBUTE_DEFAULT, except while a configured CUPS
// scheduler does not answer: the default printer is then not known.
std::vector<PrinterEntry> ListPrinters(bool with_job_counts);

// The name of the default printer: the device of the profile's [windows] device= line when it
// is listed, else the CUPS default destination `cups_default` when listed, else "pdf-file"
// when CUPS is known to have no default (`cups_known`: it answered, or none is configured),
// else none ("").
std::string DefaultPrinterName(const std::vector<PrinterEntry>& printers,
                               const std::string& cups_default, bool cups_known);

// The Windows status bits for an IPP printer-state.
DWORD StatusFromIppState(int state, bool accepting);

}  // namespace wydruki::platform
