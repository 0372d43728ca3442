// SPDX-License-Identifier: MIT
// The device mode a printer's driver reports, and the merging of a caller's changes into it.
#pragma once

#include <optional>
#include <string>

#include "platform/api/gdi.h"

namespace wydruki::platform {

// The driver's current device mode for the printer named `name` (a built-in printer or a CUPS
// destination); nullopt, with the last error set, when there is no such printer.
std::optional<DEVMODEA> DriverDeviceMode(const std::string& name);

// Copies into `mode` the fields that `changes` marks in dmFields and that this driver knows,
// ignoring values that make no sense. Fields beyond changes->dmSize are not read.
void MergeDeviceMode(DEVMODEA& mode, const DEVMODEA& changes);

}  // namespace wydruki::platform
