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
};

// Every printer; the queued job counts cost one more request to CUPS and are only fetched
// when asked for. Exactly one entry carries PRINTER_ATTRIBUTE_DEFAULT.
std::vector<PrinterEntry> ListPrinters(bool with_job_counts);

// The name of the default printer: the device of the profile's [windows] device= line when it
// is listed, else the CUPS default destination `cups_default` when listed, else "pdf-file".
std::string DefaultPrinterName(const std::vector<PrinterEntry>& printers,
                               const std::string& cups_default);

// The Windows status bits for an IPP printer-state.
DWORD StatusFromIppState(int state, bool accepting);

}  // namespace wydruki::platform
