// SPDX-License-Identifier: MIT
// Which printer a device name stands for, and where its documents go.
#include "common/printer_backend.h"

#include "platform/api/kernel.h"
#include "winspool/builtin_printers.h"
#include "winspool/cups_destinations.h"
#include "winspool/cups_document_output.h"
#include "winspool/pdf_file_output.h"

namespace wydruki::platform {
namespace {

int DeviceUnits(int hundredths_mm, int dpi) {
  return static_cast<int>((static_cast<long long>(hundredths_mm) * dpi + 1270) / 2540);
}

DeviceCaps CapsOf(const CupsPageSetup& setup) {
  DeviceCaps caps;
  caps.log_pixels_x = setup.dpi_x;
  caps.log_pixels_y = setup.dpi_y;
  caps.physical_width = DeviceUnits(setup.page.width, setup.dpi_x);
  caps.physical_height = DeviceUnits(setup.page.length, setup.dpi_y);
  caps.physical_offset_x = DeviceUnits(setup.page.left, setup.dpi_x);
  caps.physical_offset_y = DeviceUnits(setup.page.top, setup.dpi_y);
  caps.horz_res =
      caps.physical_width - caps.physical_offset_x - DeviceUnits(setup.page.right, setup.dpi_x);
  caps.vert_res =
      caps.physical_height - caps.physical_offset_y - DeviceUnits(setup.page.bottom, setup.dpi_y);
  return caps;
}

}  // namespace

std::optional<PrinterTarget> ResolvePrinter(const char* device, const DEVMODEA* mode) {
  if (device == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  if (auto builtin = ResolveBuiltinPrinter(device, mode)) return builtin;
  DWORD error = ERROR_INVALID_PRINTER_NAME;
  const auto destination = CupsDestination::Find(device, &error);
  if (!destination) {
    SetLastError(error);  // unknown to the scheduler, or no scheduler answers
    return std::nullopt;
  }
  PrinterTarget target;
  target.kind = PrinterKind::kCups;
  target.name = destination->name();
  target.port = destination->name();
  target.caps = Oriented(CapsOf(DestinationPageSetup(*destination, mode)), mode);
  return target;
}

std::unique_ptr<DocumentOutput> OpenDocumentOutput(const PrinterTarget& target,
                                                   const std::string& document_name) {
  switch (target.kind) {
    case PrinterKind::kPdfFile:
      return OpenPdfFileOutput(target.port, document_name);
    case PrinterKind::kCups:
      return OpenCupsDocumentOutput(target.port, document_name);
    case PrinterKind::kTraceFile:
      break;
  }
  SetLastError(ERROR_NOT_SUPPORTED);
  return nullptr;
}

std::string DefaultDeviceLine() {
  const std::string pdf_file = std::string(kPdfFilePrinter) + ",builtin," + DocumentsDirectory();
  if (!PrintSystemConfigured()) return pdf_file;
  const CupsPrinterList cups = ListCupsPrinters();
  // A scheduler that does not answer has a default all the same, which it will name when it
  // is back: the documents wait for it rather than go elsewhere.
  if (!cups.reachable) return "";
  if (!cups.default_name.empty()) return cups.default_name + ",cups," + cups.default_name;
  return pdf_file;
}

}  // namespace wydruki::platform
