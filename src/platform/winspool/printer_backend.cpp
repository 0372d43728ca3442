// Which printer a device name stands for, and where its documents go.
#include "common/printer_backend.h"

#include "platform/api/kernel.h"
#include "winspool/builtin_printers.h"
#include "winspool/pdf_file_output.h"

namespace wydruki::platform {

std::optional<PrinterTarget> ResolvePrinter(const char* device, const DEVMODEA* mode) {
  if (device == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return std::nullopt;
  }
  if (auto builtin = ResolveBuiltinPrinter(device, mode)) return builtin;
  // CUPS destinations are resolved here once the CUPS side is in place.
  SetLastError(ERROR_INVALID_PRINTER_NAME);
  return std::nullopt;
}

std::unique_ptr<DocumentOutput> OpenDocumentOutput(const PrinterTarget& target,
                                                   const std::string& document_name) {
  if (target.kind == PrinterKind::kPdfFile) return OpenPdfFileOutput(target.port, document_name);
  SetLastError(ERROR_NOT_SUPPORTED);
  return nullptr;
}

std::string DefaultDeviceLine() {
  return std::string(kPdfFilePrinter) + ",builtin," + DocumentsDirectory();
}

}  // namespace wydruki::platform
