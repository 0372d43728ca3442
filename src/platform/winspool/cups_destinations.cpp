// SPDX-License-Identifier: MIT
#include "winspool/cups_destinations.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string_view>

#include "common/ascii_case.h"
#include "common/debug_channel.h"
#include "platform/api/kernel.h"
#include "platform/api/winspool.h"
#include "winspool/network_printer_setup.h"

namespace wydruki::platform {
namespace {

constexpr int kConnectTimeoutMs = 2000;
constexpr double kRequestTimeoutSeconds = 10.0;
// A scheduler that takes the connection must answer a first small request within this long
// (a hung scheduler, or a host whose network answers while its service does not, would
// otherwise hold every request for the full time-out).
constexpr double kFirstAnswerTimeoutSeconds = 1.0;
// After the scheduler failed to answer, it is not asked again for this long: one attempt to
// print makes several calls, and each would otherwise wait for the connect time-out. The
// window is shorter than the agent's pause between two attempts, so every attempt asks anew.
constexpr auto kUnreachableWindow = std::chrono::milliseconds(3000);

struct Reachability {
  std::mutex mutex;
  std::string quiet_server;  // the scheduler left alone until quiet_until
  std::chrono::steady_clock::time_point quiet_until{};
  std::string reason;  // why the last connection failed; empty after one succeeded
};
Reachability& SchedulerReachability() {
  static Reachability* state = new Reachability;  // lives as long as the process
  return *state;
}

std::string OptionOf(const cups_dest_t& dest, const char* name) {
  const char* value = cupsGetOption(name, dest.num_options, dest.options);
  return value != nullptr ? value : "";
}

int NumberOr(const std::string& text, int fallback) {
  if (text.empty()) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return (*end == '\0' && value >= 0 && value < 1000000) ? static_cast<int>(value) : fallback;
}

// Every queue of the scheduler, in one request. (cupsGetDests2 would add the printers that
// DNS-SD advertises on the network, after browsing for them on every call.)
std::vector<CupsPrinterInfo> FetchQueues(http_t* http) {
  std::vector<CupsPrinterInfo> queues;
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  static const char* const kWanted[] = {"printer-name",
                                        "device-uri",
                                        "printer-make-and-model",
                                        "printer-info",
                                        "printer-location",
                                        "printer-state",
                                        "printer-is-accepting-jobs",
                                        "queued-job-count",
                                        "document-format-supported"};
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(std::size(kWanted)), nullptr, kWanted);
  ipp_t* response = cupsDoRequest(http, request, "/");  // frees the request
  if (response == nullptr) return queues;
  CupsPrinterInfo current;
  const auto flush = [&] {
    if (!current.name.empty()) queues.push_back(std::move(current));
    current = {};
  };
  const auto text = [](ipp_attribute_t* attr) {
    const char* value = ippGetString(attr, 0, nullptr);
    return std::string(value != nullptr ? value : "");
  };
  for (ipp_attribute_t* attr = ippFirstAttribute(response); attr != nullptr;
       attr = ippNextAttribute(response)) {
    const char* name = ippGetName(attr);
    if (ippGetGroupTag(attr) != IPP_TAG_PRINTER || name == nullptr) {
      flush();
      continue;
    }
    const std::string_view key = name;
    if (key == "printer-name")
      current.name = text(attr);
    else if (key == "device-uri")
      current.device_uri = text(attr);
    else if (key == "printer-make-and-model")
      current.make_and_model = text(attr);
    else if (key == "printer-info")
      current.info = text(attr);
    else if (key == "printer-location")
      current.location = text(attr);
    else if (key == "printer-state")
      current.state = ippGetInteger(attr, 0);
    else if (key == "printer-is-accepting-jobs")
      current.accepting = ippGetBoolean(attr, 0) != 0;
    else if (key == "queued-job-count")
      current.queued_jobs = ippGetInteger(attr, 0);
    else if (key == "document-format-supported")
      for (int i = 0; i < ippGetCount(attr); ++i)
        if (const char* format = ippGetString(attr, i, nullptr)) current.formats.push_back(format);
  }
  flush();
  ippDelete(response);
  return queues;
}

// How long a job waits for a queue to be made for a printer advertised on the network.
constexpr auto kAdvertisedSetUpLimit = std::chrono::seconds(10);

constexpr KnownPaper kPapers[] = {
    {DMPAPER_LETTER, "na_letter_8.5x11in", 21590, 27940},
    {DMPAPER_LEGAL, "na_legal_8.5x14in", 21590, 35560},
    {DMPAPER_TABLOID, "na_ledger_11x17in", 27940, 43180},
    {DMPAPER_EXECUTIVE, "na_executive_7.25x10.5in", 18415, 26670},
    {DMPAPER_A3, "iso_a3_297x420mm", 29700, 42000},
    {DMPAPER_A4, "iso_a4_210x297mm", 21000, 29700},
    {DMPAPER_A5, "iso_a5_148x210mm", 14800, 21000},
    {DMPAPER_B5, "jis_b5_182x257mm", 18200, 25700},
    {DMPAPER_A6, "iso_a6_105x148mm", 10500, 14800},
};

CupsPage PageOf(const cups_size_t& size) {
  CupsPage page;
  page.width = size.width;
  page.length = size.length;
  page.left = size.left;
  page.right = size.right;
  page.top = size.top;
  page.bottom = size.bottom;
  return page;
}

// A page of a given size with the default margins, for destinations without a media database.
CupsPage PlainPage(int width, int length) {
  CupsPage page;
  page.width = width;
  page.length = length;
  return page;
}

bool Plausible(const CupsPage& page) {
  return page.width > 0 && page.length > 0 && page.left >= 0 && page.right >= 0 && page.top >= 0 &&
         page.bottom >= 0 && page.left + page.right < page.width &&
         page.top + page.bottom < page.length;
}

// A request that waited its time-out is given up, not waited for again.
int GiveUpWaiting(http_t*, void*) { return 0; }

}  // namespace

std::unique_ptr<CupsConnection> CupsConnection::Open() {
  Reachability& reachability = SchedulerReachability();
  // Forget the server chosen earlier, so that CUPS_SERVER as it is now decides.
  cupsSetServer(nullptr);
  const std::string server = cupsServer();
  const std::string where =
      server.front() == '/' ? server : server + ":" + std::to_string(ippPort());
  {
    std::lock_guard lock(reachability.mutex);
    if (where == reachability.quiet_server &&
        std::chrono::steady_clock::now() < reachability.quiet_until)
      return nullptr;
  }
  http_t* http = httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              kConnectTimeoutMs, nullptr);
  if (http != nullptr) {
    httpSetTimeout(http, kFirstAnswerTimeoutSeconds, GiveUpWaiting, nullptr);
    ipp_t* answer = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    if (answer == nullptr) {
      httpClose(http);
      http = nullptr;
    }
    ippDelete(answer);
  }
  std::lock_guard lock(reachability.mutex);
  if (http == nullptr) {
    // The library keeps no trustworthy cause (a refused connection is reported as a host that
    // is down, a silent one as success); where the scheduler was looked for is what a user can
    // act on.
    reachability.reason = "no answer from " + where;
    reachability.quiet_server = where;
    reachability.quiet_until = std::chrono::steady_clock::now() + kUnreachableWindow;
    DebugLine(DebugArea::kPrinters, "the CUPS scheduler cannot be reached: " + reachability.reason);
    return nullptr;
  }
  reachability.reason.clear();
  reachability.quiet_server.clear();
  httpSetTimeout(http, kRequestTimeoutSeconds, nullptr, nullptr);
  return std::unique_ptr<CupsConnection>(new CupsConnection(http));
}

void SetUnreachableReason(const std::string& reason) {
  Reachability& reachability = SchedulerReachability();
  std::lock_guard lock(reachability.mutex);
  reachability.reason = reason;
  DebugLine(DebugArea::kPrinters, reason);
}

std::optional<std::string> CupsUnreachableReason() {
  Reachability& reachability = SchedulerReachability();
  std::lock_guard lock(reachability.mutex);
  if (reachability.reason.empty()) return std::nullopt;
  return reachability.reason;
}

CupsConnection::~CupsConnection() { httpClose(http_); }

bool PrintSystemConfigured() {
  cupsSetServer(nullptr);
  const char* named = std::getenv("CUPS_SERVER");
  // Without CUPS_SERVER, a client.conf or the scheduler's local socket, the library falls back
  // to "localhost": nothing on this machine was set up to print through CUPS.
  return (named != nullptr && *named != '\0') || std::string_view(cupsServer()) != "localhost";
}

std::string CupsPrintServer() {
  const std::string server = cupsServer();
  if (server.empty() || server.front() == '/' || EqualsIgnoreCase(server, "localhost")) return {};
  return server + ":" + std::to_string(ippPort());
}

CupsPrinterList ListCupsPrinters() {
  CupsPrinterList list;
  const auto connection = CupsConnection::Open();
  if (!connection) return list;
  list.reachable = true;
  list.server = CupsPrintServer();
  list.printers = FetchQueues(connection->http());
  // The user's default (LPDEST, PRINTER, lpoptions), else the scheduler's.
  if (cups_dest_t* fallback = cupsGetNamedDest(connection->http(), nullptr, nullptr)) {
    if (fallback->name != nullptr) list.default_name = fallback->name;
    cupsFreeDests(1, fallback);
  }
  return list;
}

std::optional<CupsPrinterInfo> FindAdvertisedPrinter(const std::string& name) {
  if (name.empty()) return std::nullopt;
  const auto connection = CupsConnection::Open();
  if (!connection) return std::nullopt;
  cups_dest_t* dest = cupsGetNamedDest(connection->http(), name.c_str(), nullptr);
  if (dest == nullptr) return std::nullopt;
  std::optional<CupsPrinterInfo> printer;
  if (dest->name != nullptr && IsAdvertisedOnly(*dest)) {
    printer.emplace();
    printer->name = dest->name;
    printer->device_uri = OptionOf(*dest, "device-uri");
    printer->make_and_model = OptionOf(*dest, "printer-make-and-model");
    printer->info = OptionOf(*dest, "printer-info");
    printer->location = OptionOf(*dest, "printer-location");
  }
  cupsFreeDests(1, dest);
  return printer;
}

std::unique_ptr<CupsDestination> CupsDestination::Find(const std::string& name, DWORD* error) {
  if (error != nullptr) *error = ERROR_INVALID_PRINTER_NAME;
  if (name.empty()) return nullptr;
  auto connection = CupsConnection::Open();
  if (!connection) {
    if (error != nullptr) *error = RPC_S_SERVER_UNAVAILABLE;
    return nullptr;
  }
  // The scheduler matches names without regard to letter case and answers with the queue's
  // own; a name it has no queue for may be a printer advertised on the network.
  cups_dest_t* dest = cupsGetNamedDest(connection->http(), name.c_str(), nullptr);
  if (dest != nullptr && IsAdvertisedOnly(*dest)) {
    const bool ready = SetUpAdvertisedPrinter(*dest, kAdvertisedSetUpLimit);
    cupsFreeDests(1, dest);
    dest = nullptr;
    if (!ready) {
      SetUnreachableReason("the network printer " + name + " cannot be set up as a queue now");
      if (error != nullptr) *error = RPC_S_SERVER_UNAVAILABLE;
      return nullptr;
    }
    dest = cupsGetNamedDest(connection->http(), name.c_str(), nullptr);
  }
  if (dest == nullptr || dest->name == nullptr || IsAdvertisedOnly(*dest)) {
    if (dest != nullptr) cupsFreeDests(1, dest);
    return nullptr;
  }
  std::unique_ptr<CupsDestination> destination(new CupsDestination);
  destination->dests_ = dest;
  destination->dest_count_ = 1;
  destination->dest_ = dest;
  destination->connection_ = std::move(connection);
  destination->name_ = dest->name;
  return destination;
}

CupsDestination::~CupsDestination() {
  if (info_ != nullptr) cupsFreeDestInfo(info_);
  cupsFreeDests(dest_count_, dests_);
}

cups_dinfo_t* CupsDestination::info() {
  if (!info_asked_) {
    info_asked_ = true;
    info_ = cupsCopyDestInfo(http(), dest_);
  }
  return info_;
}

bool CupsDestination::TakesJobs() const {
  const char* accepting =
      cupsGetOption("printer-is-accepting-jobs", dest_->num_options, dest_->options);
  const char* state = cupsGetOption("printer-state", dest_->num_options, dest_->options);
  return !((accepting != nullptr && std::string(accepting) == "false") ||
           (state != nullptr && std::string(state) == "5"));
}

DWORD ErrorFromIpp(ipp_status_t status) {
  switch (status) {
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
    case IPP_STATUS_ERROR_PRINTER_IS_DEACTIVATED:
      return ERROR_INVALID_PRINTER_STATE;
    case IPP_STATUS_ERROR_NOT_FOUND:
    case IPP_STATUS_ERROR_GONE:
      return ERROR_NOT_FOUND;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
      return ERROR_ACCESS_DENIED;
    case IPP_STATUS_ERROR_REQUEST_ENTITY:
      return ERROR_DISK_FULL;
    default:
      return ERROR_WRITE_FAULT;
  }
}

std::optional<KnownPaper> PaperByNumber(short number) {
  for (const auto& paper : kPapers)
    if (paper.number == number) return paper;
  return std::nullopt;
}

short PaperNumberForSize(int width, int length) {
  for (const auto& paper : kPapers)
    if (std::abs(paper.width - width) <= 100 && std::abs(paper.length - length) <= 100)
      return paper.number;
  return 0;
}

CupsPageSetup DestinationPageSetup(CupsDestination& destination, const DEVMODEA* mode) {
  CupsPageSetup setup;
  cups_dinfo_t* info = destination.info();
  http_t* http = destination.http();
  cups_dest_t* dest = destination.dest();
  const DWORD fields = mode != nullptr ? mode->dmFields : 0;

  // The page: the paper the device mode names, else its own size, else the default media.
  bool have_page = false;
  cups_size_t size{};
  if (info != nullptr && (fields & DM_PAPERSIZE) != 0) {
    if (const auto paper = PaperByNumber(mode->dmPaperSize)) {
      if (cupsGetDestMediaByName(http, dest, info, paper->pwg_name, CUPS_MEDIA_FLAGS_DEFAULT,
                                 &size) &&
          Plausible(PageOf(size))) {
        setup.page = PageOf(size);
        have_page = true;
      } else {
        setup.page = PlainPage(paper->width, paper->length);
        have_page = true;
      }
    }
  }
  if (!have_page && (fields & DM_PAPERWIDTH) != 0 && (fields & DM_PAPERLENGTH) != 0 &&
      mode->dmPaperWidth > 0 && mode->dmPaperLength > 0) {
    const int width = mode->dmPaperWidth * 10;  // tenths of a millimetre
    const int length = mode->dmPaperLength * 10;
    if (info != nullptr &&
        cupsGetDestMediaBySize(http, dest, info, width, length, CUPS_MEDIA_FLAGS_DEFAULT, &size) &&
        Plausible(PageOf(size)))
      setup.page = PageOf(size);
    else
      setup.page = PlainPage(width, length);
    have_page = true;
  }
  // The default media: the user's option, else the queue's media-default. (The library's own
  // cupsGetDestMediaDefault answers US Letter for queues with a printer description.)
  if (!have_page && info != nullptr) {
    std::string media = OptionOf(*dest, "media");
    if (media.empty()) {
      if (ipp_attribute_t* attr = cupsFindDestDefault(http, dest, info, "media"))
        if (const char* name = ippGetString(attr, 0, nullptr)) media = name;
    }
    if (!media.empty() &&
        cupsGetDestMediaByName(http, dest, info, media.c_str(), CUPS_MEDIA_FLAGS_DEFAULT, &size) &&
        Plausible(PageOf(size)))
      setup.page = PageOf(size);
    else if (cupsGetDestMediaDefault(http, dest, info, CUPS_MEDIA_FLAGS_DEFAULT, &size) &&
             Plausible(PageOf(size)))
      setup.page = PageOf(size);
  }

  // The resolution: what the device mode asks for, else the destination's default.
  if (info != nullptr) {
    if (ipp_attribute_t* resolution = cupsFindDestDefault(http, dest, info, "printer-resolution")) {
      ipp_res_t units = IPP_RES_PER_INCH;
      int y = 0;
      int x = ippGetResolution(resolution, 0, &y, &units);
      if (units == IPP_RES_PER_CM) {
        x = x * 254 / 100;
        y = y * 254 / 100;
      }
      if (x > 0 && y > 0 && x <= 10000 && y <= 10000) {
        setup.dpi_x = x;
        setup.dpi_y = y;
      }
    }
  }
  if ((fields & DM_PRINTQUALITY) != 0 && mode->dmPrintQuality > 0 &&
      mode->dmPrintQuality <= 10000) {
    setup.dpi_x = mode->dmPrintQuality;
    setup.dpi_y = mode->dmPrintQuality;
    if ((fields & DM_YRESOLUTION) != 0 && mode->dmYResolution > 0 && mode->dmYResolution <= 10000)
      setup.dpi_y = mode->dmYResolution;
  }

  // The orientation the destination prints in by default: the user's option, else the
  // queue's default (IPP: 4 landscape, 5 reverse landscape).
  int requested = NumberOr(OptionOf(*dest, "orientation-requested"), 0);
  if (requested == 0 && info != nullptr) {
    if (ipp_attribute_t* attr = cupsFindDestDefault(http, dest, info, "orientation-requested"))
      requested = ippGetInteger(attr, 0);
  }
  if (requested == 4 || requested == 5) setup.orientation = DMORIENT_LANDSCAPE;
  return setup;
}

}  // namespace wydruki::platform
