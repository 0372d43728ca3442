// SPDX-License-Identifier: MIT
#include "Printers/DefaultPrinter.h"

#include <vector>

namespace wydruki::printers {
namespace {

std::string Text(const char* value) { return value != nullptr ? value : ""; }

}  // namespace

bool SamePrinterName(const std::string& a, const std::string& b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string DefaultDeviceName() {
  // The answer's length is only known by asking with room to spare: a buffer that was filled
  // to its last place may have cut the line.
  std::vector<char> line(256);
  for (;;) {
    const DWORD length =
        GetProfileStringA("windows", "device", "", line.data(), static_cast<DWORD>(line.size()));
    if (length + 1 < line.size()) break;
    line.resize(line.size() * 4);
  }
  std::string device = line.data();
  device = device.substr(0, device.find(','));
  while (!device.empty() && (device.back() == ' ' || device.back() == '\t')) device.pop_back();
  while (!device.empty() && (device.front() == ' ' || device.front() == '\t'))
    device.erase(device.begin());
  return device;
}

DefaultPrinterInfo ResolveDefaultPrinter() {
  DefaultPrinterInfo printer;
  printer.name = DefaultDeviceName();
  if (printer.name.empty()) return printer;
  printer.kind = PrinterKind::kQueue;
  DWORD needed = 0;
  DWORD returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed);
  if (needed == 0 ||
      !EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned))
    returned = 0;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) {
    const std::string name = Text(printers[i].pPrinterName);
    if (!SamePrinterName(name, printer.name)) continue;
    printer.name = name;
    printer.listed = true;
    printer.driver = Text(printers[i].pDriverName);
    printer.port = Text(printers[i].pPortName);
    printer.comment = Text(printers[i].pComment);
    printer.server = Text(printers[i].pServerName);
    while (!printer.server.empty() && printer.server.front() == '\\') printer.server.erase(0, 1);
    if ((printers[i].Attributes & PRINTER_ATTRIBUTE_RAW_ONLY) != 0)
      printer.kind = PrinterKind::kRawQueue;
    if (printer.driver == "builtin" && SamePrinterName(name, "pdf-file"))
      printer.kind = PrinterKind::kPdfFile;
    if (printer.driver == "builtin" && SamePrinterName(name, "trace-file"))
      printer.kind = PrinterKind::kTraceFile;
    break;
  }
  return printer;
}

std::string WhereItPrints(const DefaultPrinterInfo& printer) {
  switch (printer.kind) {
    case PrinterKind::kNone:
      return "no default printer";
    case PrinterKind::kPdfFile:
      return "PDF files in " + printer.port;
    case PrinterKind::kTraceFile:
      return "a trace record in " + printer.port;
    case PrinterKind::kRawQueue:
      return "raw CUPS queue " + printer.name + ", sent ESC/P" +
             (printer.server.empty() ? "" : " on the print server " + printer.server);
    case PrinterKind::kQueue:
      break;
  }
  if (!printer.listed) return "not known to the print system now";
  // A queue of the office's print server says which server: the one the user named.
  return "CUPS queue " + printer.name +
         (printer.server.empty() ? "" : " on the print server " + printer.server);
}

}  // namespace wydruki::printers
