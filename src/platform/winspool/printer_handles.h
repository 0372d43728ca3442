// SPDX-License-Identifier: MIT
// What an open printer handle stands for, for the spooler calls that take one.
#pragma once

#include <optional>
#include <string>

#include "platform/api/types.h"

namespace wydruki::platform {

// The printer's own name for a handle from OpenPrinterA; nullopt for a closed or made-up one.
std::optional<std::string> OpenedPrinterName(HANDLE handle);

// A raw document still open on a handle being closed is aborted: nothing of it prints.
void DiscardRawDocument(HANDLE handle);

}  // namespace wydruki::platform
