// SPDX-License-Identifier: MIT
#include "winspool/builtin_printers.h"

#include <sys/stat.h>

#include <cstdlib>
#include <string_view>
#include <utility>

#include "common/ascii_case.h"
#include "common/profile.h"

namespace wydruki::platform {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A whole positive number from the profile, or the default when missing or malformed.
int ProfileNumber(const char* section, const char* key, int fallback) {
  const auto text = ProfileValue(section, key);
  if (!text || text->empty()) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (*end != '\0' || value < 0 || value > 1000000) return fallback;
  return static_cast<int>(value);
}

// The port of a built-in printer: its own "port=" key, else the third field of the default
// device line when that names this printer, else a place in the user's documents directory.
std::string PortOf(const char* printer) {
  if (auto port = ProfileValue(printer, "port"); port && !port->empty()) return *port;
  if (auto line = ProfileValue("windows", "device")) {
    const auto first = line->find(',');
    const auto second = first == std::string::npos ? first : line->find(',', first + 1);
    if (first != std::string::npos && second != std::string::npos &&
        EqualsIgnoreCase(std::string_view(*line).substr(0, first), printer)) {
      std::string port = line->substr(second + 1);
      while (!port.empty() && port.front() == ' ') port.erase(port.begin());
      if (!port.empty()) return port;
    }
  }
  if (EqualsIgnoreCase(printer, kTraceFilePrinter))
    return DocumentsDirectory() + "/wydrukid95-trace.txt";
  return DocumentsDirectory();
}

}  // namespace

std::string DocumentsDirectory() {
  if (const char* xdg = std::getenv("XDG_DOCUMENTS_DIR"); xdg != nullptr && IsDirectory(xdg))
    return xdg;
  const std::string home = HomeDirectory();
  if (IsDirectory(home + "/Documents")) return home + "/Documents";
  return home;
}

DeviceCaps Oriented(DeviceCaps caps, const DEVMODEA* mode) {
  if (mode != nullptr && mode->dmOrientation == DMORIENT_LANDSCAPE) {
    std::swap(caps.log_pixels_x, caps.log_pixels_y);
    std::swap(caps.physical_width, caps.physical_height);
    std::swap(caps.physical_offset_x, caps.physical_offset_y);
    std::swap(caps.horz_res, caps.vert_res);
  }
  return caps;
}

std::optional<PrinterTarget> ResolveBuiltinPrinter(const std::string& device,
                                                   const DEVMODEA* mode) {
  const char* name = nullptr;
  PrinterKind kind{};
  if (EqualsIgnoreCase(device, kPdfFilePrinter)) {
    name = kPdfFilePrinter;
    kind = PrinterKind::kPdfFile;
  } else if (EqualsIgnoreCase(device, kTraceFilePrinter)) {
    name = kTraceFilePrinter;
    kind = PrinterKind::kTraceFile;
  } else {
    return std::nullopt;
  }
  DeviceCaps caps;
  caps.log_pixels_x = ProfileNumber(name, "LOGPIXELSX", caps.log_pixels_x);
  caps.log_pixels_y = ProfileNumber(name, "LOGPIXELSY", caps.log_pixels_y);
  // Defaults that depend on the resolution: A4 with 1/6 inch margins.
  const int width = caps.log_pixels_x * 210 * 10 / 254;
  const int height = caps.log_pixels_y * 297 * 10 / 254;
  caps.physical_width = ProfileNumber(name, "PHYSICALWIDTH", width);
  caps.physical_height = ProfileNumber(name, "PHYSICALHEIGHT", height);
  caps.physical_offset_x = ProfileNumber(name, "PHYSICALOFFSETX", caps.log_pixels_x / 6);
  caps.physical_offset_y = ProfileNumber(name, "PHYSICALOFFSETY", caps.log_pixels_y / 6);
  caps.horz_res = ProfileNumber(name, "HORZRES", caps.physical_width - 2 * caps.physical_offset_x);
  caps.vert_res = ProfileNumber(name, "VERTRES", caps.physical_height - 2 * caps.physical_offset_y);
  PrinterTarget target;
  target.kind = kind;
  target.name = name;
  target.port = PortOf(name);
  target.caps = Oriented(caps, mode);
  return target;
}

}  // namespace wydruki::platform
