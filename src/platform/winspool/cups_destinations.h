// SPDX-License-Identifier: MIT
// The CUPS side of the printers: the scheduler in force (CUPS_SERVER, client.conf), its
// destinations, and what a destination says about its page. Every call to the scheduler is
// bounded by a time-out, so an absent or silent scheduler makes the list shorter, not slower.
#pragma once

#include <cups/cups.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/api/gdi.h"

namespace wydruki::platform {

// One CUPS destination as the printer list shows it.
struct CupsPrinterInfo {
  std::string name;
  std::string device_uri;      // empty when the scheduler does not tell
  std::string make_and_model;  // printer-make-and-model
  std::string info;            // printer-info
  std::string location;        // printer-location
  int state = 3;               // printer-state: 3 idle, 4 processing, 5 stopped
  bool accepting = true;       // printer-is-accepting-jobs
  int queued_jobs = 0;         // queued-job-count
  // document-format-supported
  std::vector<std::string> formats;
};

struct CupsPrinterList {
  bool reachable = false;                 // the scheduler answered
  std::vector<CupsPrinterInfo> printers;  // the scheduler's queues, each once
  std::string default_name;               // empty when CUPS has no default destination
  std::string server;                     // the print server they are on (CupsPrintServer)
};

// The scheduler in force as a user names it, "druk.biuro:631", when it is another machine's
// (CUPS_SERVER, client.conf ServerName); empty for this machine's own scheduler, reached
// through its local socket or as "localhost".
std::string CupsPrintServer();

// An open connection to the scheduler in force, made with a short connect time-out. After a
// failed connection the scheduler is left alone for a few seconds: opening fails at once.
class CupsConnection {
 public:
  // nullptr when the scheduler cannot be reached.
  static std::unique_ptr<CupsConnection> Open();
  ~CupsConnection();
  CupsConnection(const CupsConnection&) = delete;
  CupsConnection& operator=(const CupsConnection&) = delete;
  http_t* http() const { return http_; }

 private:
  explicit CupsConnection(http_t* http) : http_(http) {}
  http_t* http_;
};

// Why the scheduler, or the printer last asked for, could not be reached ("no answer from
// 127.0.0.1:631"); nullopt when it answered.
std::optional<std::string> CupsUnreachableReason();
void SetUnreachableReason(const std::string& reason);

// Whether this machine prints through CUPS at all: CUPS_SERVER, a client.conf naming a server,
// or the local scheduler's socket. A configured scheduler that does not answer is an outage,
// not the absence of printers.
bool PrintSystemConfigured();

// Every queue of the scheduler in force (none when it cannot be reached), without the printers
// advertised on the network, and the user's default destination.
CupsPrinterList ListCupsPrinters();

// A printer of that name that DNS-SD advertises on the network and that has no queue yet;
// looking costs a short browse of the network.
std::optional<CupsPrinterInfo> FindAdvertisedPrinter(const std::string& name);

// The Windows error code for a scheduler's refusal of a job or document.
DWORD ErrorFromIpp(ipp_status_t status);

// One destination, found by name without regard to letter case (CUPS names are
// case-insensitive), with its connection and (lazily) its capabilities. A printer advertised
// on the network is set up as a queue first, within a bounded time.
class CupsDestination {
 public:
  // nullptr when the scheduler cannot be reached or has no such destination; `error` then
  // receives RPC_S_SERVER_UNAVAILABLE or ERROR_INVALID_PRINTER_NAME.
  static std::unique_ptr<CupsDestination> Find(const std::string& name, DWORD* error = nullptr);
  ~CupsDestination();
  CupsDestination(const CupsDestination&) = delete;
  CupsDestination& operator=(const CupsDestination&) = delete;

  const std::string& name() const { return name_; }
  http_t* http() const { return connection_->http(); }
  cups_dest_t* dest() const { return dest_; }
  // The destination's capabilities (media database, defaults); nullptr when unavailable.
  cups_dinfo_t* info();
  // Whether a job handed over now would be printed: the queue accepts jobs and is not stopped.
  // A queue that refuses jobs would lose the document, a stopped one sit on it unseen.
  bool TakesJobs() const;

 private:
  CupsDestination() = default;
  std::unique_ptr<CupsConnection> connection_;
  cups_dest_t* dests_ = nullptr;
  int dest_count_ = 0;
  cups_dest_t* dest_ = nullptr;
  cups_dinfo_t* info_ = nullptr;
  bool info_asked_ = false;
  std::string name_;
};

// A page as CUPS describes it, in hundredths of millimetres.
struct CupsPage {
  int width = 21000;
  int length = 29700;
  int left = 423;  // 1/6 inch
  int right = 423;
  int top = 423;
  int bottom = 423;
};

// What the destination prints by default or, with a device mode, what that mode asks for:
// the page (dmPaperSize, else dmPaperWidth/dmPaperLength) and the resolution in dots per inch
// (dmPrintQuality/dmYResolution when positive). The orientation is always the destination's
// default; the caller applies the device mode's.
struct CupsPageSetup {
  CupsPage page;
  int dpi_x = 600;
  int dpi_y = 600;
  short orientation = DMORIENT_PORTRAIT;
};
CupsPageSetup DestinationPageSetup(CupsDestination& destination, const DEVMODEA* mode);

// The Windows paper number of a page of that size (within a millimetre), 0 when none fits.
short PaperNumberForSize(int width_hundredths_mm, int length_hundredths_mm);
// The PWG media name and size of a Windows paper number; nullopt for unknown numbers.
struct KnownPaper {
  short number;
  const char* pwg_name;
  int width;  // hundredths of millimetres
  int length;
};
std::optional<KnownPaper> PaperByNumber(short number);

}  // namespace wydruki::platform
