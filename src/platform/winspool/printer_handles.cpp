// SPDX-License-Identifier: MIT
// OpenPrinterA, ClosePrinter and DocumentPropertiesA: handles to printers, checked on every use,
// and the device modes their drivers report.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/api/kernel.h"
#include "platform/api/winspool.h"
#include "winspool/builtin_printers.h"
#include "winspool/cups_destinations.h"
#include "winspool/device_mode.h"
#include "winspool/printer_handles.h"

namespace wydruki::platform {
namespace {

constexpr LONG kIdOk = 1;  // IDOK

struct OpenedPrinter {
  std::string name;  // the printer's own spelling of its name
};

// Handles are keys into this table: a stale or made-up handle is found missing, never used.
class HandleTable {
 public:
  HANDLE Add(std::unique_ptr<OpenedPrinter> printer) {
    std::lock_guard lock(mutex_);
    HANDLE handle = printer.get();
    printers_.emplace(handle, std::move(printer));
    return handle;
  }
  bool Remove(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return printers_.erase(handle) != 0;
  }
  std::optional<std::string> NameOf(HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto found = printers_.find(handle);
    if (found == printers_.end()) return std::nullopt;
    return found->second->name;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HANDLE, std::unique_ptr<OpenedPrinter>> printers_;
};

HandleTable& Handles() {
  static HandleTable* table = new HandleTable;  // lives as long as the process
  return *table;
}

// The printer's own name for `name`, when there is such a printer; else `error` says why not.
std::optional<std::string> CanonicalName(const std::string& name, DWORD* error) {
  if (const auto builtin = ResolveBuiltinPrinter(name, nullptr)) return builtin->name;
  if (const auto destination = CupsDestination::Find(name, error)) return destination->name();
  return std::nullopt;
}

}  // namespace

std::optional<std::string> OpenedPrinterName(HANDLE handle) {
  if (handle == nullptr) return std::nullopt;
  return Handles().NameOf(handle);
}

}  // namespace wydruki::platform

BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  using namespace wydruki::platform;
  (void)pDefault;  // the access asked for is always granted; documents take their own mode
  if (phPrinter == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phPrinter = nullptr;
  // Without a name Windows opens the print server, which this system has no use for.
  if (pPrinterName == nullptr || *pPrinterName == '\0') {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return FALSE;
  }
  DWORD error = ERROR_INVALID_PRINTER_NAME;
  auto name = CanonicalName(pPrinterName, &error);
  if (!name) {
    SetLastError(error);  // as the spooler's RPC_S_SERVER_UNAVAILABLE when it is not running
    return FALSE;
  }
  auto printer = std::make_unique<OpenedPrinter>();
  printer->name = std::move(*name);
  *phPrinter = Handles().Add(std::move(printer));
  return TRUE;
}

BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  if (hPrinter != nullptr) wydruki::platform::DiscardRawDocument(hPrinter);
  if (hPrinter == nullptr || !wydruki::platform::Handles().Remove(hPrinter)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

LONG WINAPI DocumentPropertiesA(HWND hWnd, HANDLE hPrinter, LPSTR pDeviceName,
                                PDEVMODEA pDevModeOutput, PDEVMODEA pDevModeInput, DWORD fMode) {
  using namespace wydruki::platform;
  (void)hWnd;         // there is no property sheet to show
  (void)pDeviceName;  // the handle names the printer
  const auto name = hPrinter != nullptr ? Handles().NameOf(hPrinter) : std::nullopt;
  if (!name) {
    SetLastError(ERROR_INVALID_HANDLE);
    return -1;
  }
  if (fMode == 0) return static_cast<LONG>(sizeof(DEVMODEA));
  if ((fMode & DM_OUT_BUFFER) != 0 && pDevModeOutput == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto mode = DriverDeviceMode(*name);
  if (!mode) return -1;  // the printer went away; last error set
  if ((fMode & DM_IN_BUFFER) != 0 && pDevModeInput != nullptr)
    MergeDeviceMode(*mode, *pDevModeInput);
  // DM_IN_PROMPT would show the driver's dialog: there is none, so the mode stands as it is.
  if ((fMode & DM_OUT_BUFFER) != 0) *pDevModeOutput = *mode;
  return kIdOk;
}
