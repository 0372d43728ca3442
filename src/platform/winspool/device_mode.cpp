// SPDX-License-Identifier: MIT
#include "winspool/device_mode.h"

#include <cstddef>
#include <cstring>

#include "platform/api/kernel.h"
#include "platform/api/winspool.h"
#include "winspool/builtin_printers.h"
#include "winspool/cups_destinations.h"

namespace wydruki::platform {
namespace {

// A device mode with the page in portrait, in hundredths of millimetres.
DEVMODEA MakeDeviceMode(const std::string& name, int width, int length, int dpi_x, int dpi_y,
                        short orientation) {
  DEVMODEA mode;
  std::memset(&mode, 0, sizeof mode);
  // The name is cut to fit its 32 bytes with the terminator, as Windows does.
  std::memcpy(mode.dmDeviceName, name.data(),
              std::min<std::size_t>(name.size(), CCHDEVICENAME - 1));
  mode.dmSpecVersion = DM_SPECVERSION;
  mode.dmDriverVersion = 1;
  mode.dmSize = sizeof(DEVMODEA);
  mode.dmDriverExtra = 0;
  mode.dmFields = DM_ORIENTATION | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_COPIES | DM_PRINTQUALITY |
                  DM_YRESOLUTION;
  mode.dmOrientation = orientation;
  if (const short paper = PaperNumberForSize(width, length); paper != 0) {
    mode.dmFields |= DM_PAPERSIZE;
    mode.dmPaperSize = paper;
    // Printer descriptions give sizes in points: report the paper's own size instead.
    width = PaperByNumber(paper)->width;
    length = PaperByNumber(paper)->length;
  }
  mode.dmPaperWidth = static_cast<short>((width + 5) / 10);  // tenths of a millimetre
  mode.dmPaperLength = static_cast<short>((length + 5) / 10);
  mode.dmCopies = 1;
  mode.dmPrintQuality = static_cast<short>(dpi_x);
  mode.dmYResolution = static_cast<short>(dpi_y);
  return mode;
}

template <typename Field>
bool Within(const DEVMODEA& mode, const Field& field) {
  const auto end = reinterpret_cast<const char*>(&field) + sizeof(Field);
  return end <= reinterpret_cast<const char*>(&mode) + mode.dmSize;
}

}  // namespace

std::optional<DEVMODEA> DriverDeviceMode(const std::string& name) {
  if (const auto builtin = ResolveBuiltinPrinter(name, nullptr)) {
    const DeviceCaps& caps = builtin->caps;
    const int width = caps.log_pixels_x > 0 ? caps.physical_width * 2540 / caps.log_pixels_x : 0;
    const int length = caps.log_pixels_y > 0 ? caps.physical_height * 2540 / caps.log_pixels_y : 0;
    return MakeDeviceMode(builtin->name, width, length, caps.log_pixels_x, caps.log_pixels_y,
                          DMORIENT_PORTRAIT);
  }
  DWORD error = ERROR_INVALID_PRINTER_NAME;
  const auto destination = CupsDestination::Find(name, &error);
  if (!destination) {
    SetLastError(error);
    return std::nullopt;
  }
  const CupsPageSetup setup = DestinationPageSetup(*destination, nullptr);
  return MakeDeviceMode(destination->name(), setup.page.width, setup.page.length, setup.dpi_x,
                        setup.dpi_y, setup.orientation);
}

void MergeDeviceMode(DEVMODEA& mode, const DEVMODEA& changes) {
  if (changes.dmSize < offsetof(DEVMODEA, dmFields) + sizeof(DWORD)) return;
  const DWORD fields = changes.dmFields;
  if ((fields & DM_ORIENTATION) && Within(changes, changes.dmOrientation) &&
      (changes.dmOrientation == DMORIENT_PORTRAIT || changes.dmOrientation == DMORIENT_LANDSCAPE)) {
    mode.dmOrientation = changes.dmOrientation;
    mode.dmFields |= DM_ORIENTATION;
  }
  if ((fields & DM_PAPERSIZE) && Within(changes, changes.dmPaperSize)) {
    if (const auto paper = PaperByNumber(changes.dmPaperSize)) {
      mode.dmPaperSize = paper->number;
      mode.dmPaperWidth = static_cast<short>(paper->width / 10);
      mode.dmPaperLength = static_cast<short>(paper->length / 10);
      mode.dmFields |= DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH;
    }
  }
  // An explicit size wins over the paper number, and a size of no known paper has none.
  const bool width =
      (fields & DM_PAPERWIDTH) && Within(changes, changes.dmPaperWidth) && changes.dmPaperWidth > 0;
  const bool length = (fields & DM_PAPERLENGTH) && Within(changes, changes.dmPaperLength) &&
                      changes.dmPaperLength > 0;
  if (width) mode.dmPaperWidth = changes.dmPaperWidth;
  if (length) mode.dmPaperLength = changes.dmPaperLength;
  if ((width || length) && !(fields & DM_PAPERSIZE)) {
    const short paper = PaperNumberForSize(mode.dmPaperWidth * 10, mode.dmPaperLength * 10);
    mode.dmPaperSize = paper;
    if (paper != 0)
      mode.dmFields |= DM_PAPERSIZE;
    else
      mode.dmFields &= ~static_cast<DWORD>(DM_PAPERSIZE);
  }
  if ((fields & DM_COPIES) && Within(changes, changes.dmCopies) && changes.dmCopies > 0) {
    mode.dmCopies = changes.dmCopies;
    mode.dmFields |= DM_COPIES;
  }
  if ((fields & DM_PRINTQUALITY) && Within(changes, changes.dmPrintQuality) &&
      changes.dmPrintQuality != 0) {
    mode.dmPrintQuality = changes.dmPrintQuality;
    mode.dmFields |= DM_PRINTQUALITY;
  }
  if ((fields & DM_YRESOLUTION) && Within(changes, changes.dmYResolution) &&
      changes.dmYResolution > 0) {
    mode.dmYResolution = changes.dmYResolution;
    mode.dmFields |= DM_YRESOLUTION;
  }
}

}  // namespace wydruki::platform
