// SPDX-License-Identifier: MIT
// The two printers that are always there: "pdf-file" and "trace-file".
#pragma once

#include <optional>
#include <string>

#include "common/printer_backend.h"

namespace wydruki::platform {

inline constexpr const char* kPdfFilePrinter = "pdf-file";
inline constexpr const char* kTraceFilePrinter = "trace-file";

// The built-in printer named `device` (letter case ignored), with its page from the profile
// section of its name and its port; nullopt for any other name.
std::optional<PrinterTarget> ResolveBuiltinPrinter(const std::string& device, const DEVMODEA* mode);

// The user's documents directory: XDG_DOCUMENTS_DIR, else ~/Documents when it exists, else ~.
std::string DocumentsDirectory();

// Swaps the page to landscape when the device mode asks for it.
DeviceCaps Oriented(DeviceCaps caps, const DEVMODEA* mode);

}  // namespace wydruki::platform
