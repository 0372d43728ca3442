// SPDX-License-Identifier: MIT
// EnumPrintersA: the printer list packed into the caller's buffer as Windows packs it, the
// fixed-size records first and the texts they point to at the end.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/api/kernel.h"
#include "platform/api/winspool.h"
#include "winspool/device_mode.h"
#include "winspool/printer_catalog.h"

namespace wydruki::platform {
namespace {

// A printer on a print server is named as Windows names a printer connection's server:
// "\\server" (here "\\druk.biuro:631"); a printer of this machine has none.
std::string ServerName(const PrinterEntry& printer) {
  return printer.server.empty() ? std::string() : "\\\\" + printer.server;
}

// Lays records out at the start of the buffer, device modes after them, and texts from the
// end backwards. With no room (measuring), only the sizes are added up.
class Packer {
 public:
  Packer(BYTE* buffer, std::size_t size) : buffer_(buffer), size_(size), text_end_(size) {}

  std::size_t needed() const { return fixed_ + texts_; }
  bool fits() const { return buffer_ != nullptr && needed() <= size_; }

  void Reserve(std::size_t fixed) { fixed_ += fixed; }
  void ReserveText(const std::string& text) { texts_ += text.size() + 1; }

  // Writing (only when fits()): a text, returning where it went.
  LPSTR PutText(const std::string& text) {
    text_end_ -= text.size() + 1;
    std::memcpy(buffer_ + text_end_, text.c_str(), text.size() + 1);
    return reinterpret_cast<LPSTR>(buffer_ + text_end_);
  }
  BYTE* PutFixed(const void* data, std::size_t size) {
    BYTE* place = buffer_ + next_fixed_;
    std::memcpy(place, data, size);
    next_fixed_ += size;
    return place;
  }

 private:
  BYTE* buffer_;
  std::size_t size_;
  std::size_t fixed_ = 0;
  std::size_t texts_ = 0;
  std::size_t next_fixed_ = 0;
  std::size_t text_end_;
};

// Sizes (pass 1) or writes (pass 2) the records of one level.
void Pack(Packer& packer, DWORD level, const std::vector<PrinterEntry>& printers,
          const std::vector<std::optional<DEVMODEA>>& modes, bool write) {
  const std::size_t record = level == 2   ? sizeof(PRINTER_INFO_2A)
                             : level == 4 ? sizeof(PRINTER_INFO_4A)
                                          : sizeof(PRINTER_INFO_5A);
  if (!write) {
    packer.Reserve(record * printers.size());
    for (std::size_t i = 0; i < printers.size(); ++i) {
      const auto& printer = printers[i];
      packer.ReserveText(printer.name);
      if ((level == 2 || level == 4) && !printer.server.empty())
        packer.ReserveText(ServerName(printer));
      if (level == 2 || level == 5) packer.ReserveText(printer.port);
      if (level == 2) {
        packer.ReserveText(printer.driver);
        packer.ReserveText(printer.comment);
        packer.ReserveText(printer.location);
        if (!printer.datatype.empty()) packer.ReserveText(printer.datatype);
        if (modes[i]) packer.Reserve(sizeof(DEVMODEA));
      }
    }
    return;
  }
  // Records first, so that the device modes (placed after them) stay 4-byte aligned.
  std::vector<BYTE*> places;
  for (std::size_t i = 0; i < printers.size(); ++i) {
    static const BYTE kZero[sizeof(PRINTER_INFO_2A)] = {};
    places.push_back(packer.PutFixed(kZero, record));
  }
  for (std::size_t i = 0; i < printers.size(); ++i) {
    const auto& printer = printers[i];
    if (level == 2) {
      PRINTER_INFO_2A info{};
      if (!printer.server.empty()) info.pServerName = packer.PutText(ServerName(printer));
      info.pPrinterName = packer.PutText(printer.name);
      info.pPortName = packer.PutText(printer.port);
      info.pDriverName = packer.PutText(printer.driver);
      info.pComment = packer.PutText(printer.comment);
      info.pLocation = packer.PutText(printer.location);
      if (!printer.datatype.empty()) info.pDatatype = packer.PutText(printer.datatype);
      if (modes[i])
        info.pDevMode = reinterpret_cast<LPDEVMODEA>(packer.PutFixed(&*modes[i], sizeof(DEVMODEA)));
      info.Attributes = printer.attributes;
      info.Status = printer.status;
      info.cJobs = printer.jobs;
      std::memcpy(places[i], &info, sizeof info);
    } else if (level == 4) {
      PRINTER_INFO_4A info{};
      info.pPrinterName = packer.PutText(printer.name);
      info.pServerName = printer.server.empty() ? nullptr : packer.PutText(ServerName(printer));
      info.Attributes = printer.attributes;
      std::memcpy(places[i], &info, sizeof info);
    } else {
      PRINTER_INFO_5A info{};
      info.pPrinterName = packer.PutText(printer.name);
      info.pPortName = packer.PutText(printer.port);
      info.Attributes = printer.attributes;
      info.DeviceNotSelectedTimeout = 15000;
      info.TransmissionRetryTimeout = 45000;
      std::memcpy(places[i], &info, sizeof info);
    }
  }
}

// Which printers the flags ask for. CUPS destinations count as local printers and as
// connections alike; each is listed once whichever of the two is asked for.
std::vector<PrinterEntry> Selected(DWORD flags, LPSTR name, bool with_job_counts) {
  const bool by_name = (flags & PRINTER_ENUM_NAME) != 0 && (name == nullptr || *name == '\0');
  const bool all = (flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS)) != 0 || by_name;
  const bool only_default = (flags & PRINTER_ENUM_DEFAULT) != 0 && !all;
  if (!all && !only_default) return {};
  std::vector<PrinterEntry> printers = ListPrinters(with_job_counts);
  if (only_default) {
    std::erase_if(printers, [](const PrinterEntry& printer) {
      return (printer.attributes & PRINTER_ATTRIBUTE_DEFAULT) == 0;
    });
  }
  return printers;
}

}  // namespace
}  // namespace wydruki::platform

BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                          LPDWORD pcbNeeded, LPDWORD pcReturned) {
  using namespace wydruki::platform;
  if (pcbNeeded == nullptr || pcReturned == nullptr || (pPrinterEnum == nullptr && cbBuf != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pcbNeeded = 0;
  *pcReturned = 0;
  if (Level != 2 && Level != 4 && Level != 5) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const std::vector<PrinterEntry> printers = Selected(Flags, Name, Level == 2);
  std::vector<std::optional<DEVMODEA>> modes(printers.size());
  if (Level == 2)
    for (std::size_t i = 0; i < printers.size(); ++i) modes[i] = DriverDeviceMode(printers[i].name);

  Packer packer(pPrinterEnum, cbBuf);
  Pack(packer, Level, printers, modes, false);
  *pcbNeeded = static_cast<DWORD>(packer.needed());
  if (printers.empty()) return TRUE;
  if (!packer.fits()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  Pack(packer, Level, printers, modes, true);
  *pcReturned = static_cast<DWORD>(printers.size());
  return TRUE;
}
