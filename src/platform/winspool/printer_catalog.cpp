// SPDX-License-Identifier: MIT
#include "winspool/printer_catalog.h"

#include <algorithm>
#include <string_view>

#include "common/ascii_case.h"
#include "common/profile.h"
#include "platform/api/winspool.h"
#include "winspool/builtin_printers.h"
#include "winspool/pdf_file_output.h"
#include "winspool/cups_destinations.h"
#include "winspool/raw_printers.h"

namespace wydruki::platform {
namespace {

std::string ProfileDefaultDevice() {
  const auto line = ProfileValue("windows", "device");
  if (!line) return {};
  std::string device = line->substr(0, line->find(','));
  while (!device.empty() && (device.back() == ' ' || device.back() == '\t')) device.pop_back();
  while (!device.empty() && (device.front() == ' ' || device.front() == '\t'))
    device.erase(device.begin());
  return device;
}

bool IsBuiltinName(const std::string& name) {
  return EqualsIgnoreCase(name, kPdfFilePrinter) || EqualsIgnoreCase(name, kTraceFilePrinter);
}

// The listed name that `wanted` stands for: the same name, else one differing only in case.
const PrinterEntry* FindListed(const std::vector<PrinterEntry>& printers,
                               const std::string& wanted) {
  if (wanted.empty()) return nullptr;
  for (const auto& printer : printers)
    if (printer.name == wanted) return &printer;
  for (const auto& printer : printers)
    if (EqualsIgnoreCase(printer.name, wanted)) return &printer;
  return nullptr;
}

}  // namespace

DWORD StatusFromIppState(int state, bool accepting) {
  DWORD status = 0;
  if (state == 4) status |= PRINTER_STATUS_PRINTING;
  if (state == 5) status |= PRINTER_STATUS_PAUSED;
  // A queue that refuses jobs cannot be printed to: Windows calls such a printer unavailable.
  if (!accepting) status |= PRINTER_STATUS_NOT_AVAILABLE;
  return status;
}

std::vector<PrinterEntry> ListPrinters(bool with_job_counts) {
  std::vector<PrinterEntry> printers;
  (void)with_job_counts;  // the scheduler's one answer carries them
  CupsPrinterList cups = ListCupsPrinters();
  // The printer the profile names may be one the network advertises: listed too, as a user's
  // printer dialog lists it, and set up as a queue when a document is made on it.
  const std::string named = ProfileDefaultDevice();
  if (cups.reachable && !named.empty() && !IsBuiltinName(named) &&
      std::none_of(cups.printers.begin(), cups.printers.end(), [&](const CupsPrinterInfo& queue) {
        return EqualsIgnoreCase(queue.name, named);
      }))
    if (auto advertised = FindAdvertisedPrinter(named)) cups.printers.push_back(*advertised);
  const std::string device_line = ProfileValue("windows", "device").value_or("");
  for (const auto& destination : cups.printers) {
    // The built-in printers keep their names: a CUPS queue called the same is not listed.
    if (IsBuiltinName(destination.name)) continue;
    PrinterEntry entry;
    entry.kind = PrinterKind::kCups;
    entry.name = destination.name;
    entry.port = destination.device_uri.empty() ? destination.name : destination.device_uri;
    entry.driver = destination.make_and_model.empty() ? "cups" : destination.make_and_model;
    entry.comment = destination.info;
    entry.location = destination.location;
    entry.server = cups.server;
    entry.status = StatusFromIppState(destination.state, destination.accepting);
    entry.jobs = static_cast<DWORD>(destination.queued_jobs);
    entry.attributes = PRINTER_ATTRIBUTE_QUEUED | PRINTER_ATTRIBUTE_LOCAL;
    if (PrintsRaw(destination, device_line)) {
      entry.attributes |= PRINTER_ATTRIBUTE_RAW_ONLY;
      entry.datatype = "RAW";
    }
    printers.push_back(std::move(entry));
  }
  for (const char* name : {kPdfFilePrinter, kTraceFilePrinter}) {
    const auto builtin = ResolveBuiltinPrinter(name, nullptr);
    PrinterEntry entry;
    entry.kind = builtin->kind;
    entry.name = builtin->name;
    entry.port = builtin->port;
    entry.driver = "builtin";
    entry.attributes = PRINTER_ATTRIBUTE_LOCAL;
    // An agent lists its printers as it starts: the moment to clear what a killed one left.
    if (entry.kind == PrinterKind::kPdfFile) RemoveAbandonedPdfFiles(entry.port);
    printers.push_back(std::move(entry));
  }
  const std::string default_name =
      DefaultPrinterName(printers, cups.default_name, cups.reachable || !PrintSystemConfigured());
  for (auto& printer : printers)
    if (printer.name == default_name) printer.attributes |= PRINTER_ATTRIBUTE_DEFAULT;
  return printers;
}

std::string DefaultPrinterName(const std::vector<PrinterEntry>& printers,
                               const std::string& cups_default, bool cups_known) {
  if (const auto* listed = FindListed(printers, ProfileDefaultDevice())) return listed->name;
  if (const auto* listed = FindListed(printers, cups_default)) return listed->name;
  return cups_known ? kPdfFilePrinter : "";
}

}  // namespace wydruki::platform
