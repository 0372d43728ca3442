// SPDX-License-Identifier: MIT
// What drawing on a device context amounts to: output into an open printer page, nothing
// at all (screen and memory contexts here keep no pixels), or a refusal.
#pragma once

#include "gdi/gdi_tables.h"

namespace wydruki::platform {

enum class OutputTarget {
  kPage,     // a printer document with an open page
  kNowhere,  // a screen or memory context: drawing succeeds and shows nothing
  kRefused,  // an information context, or a printer with no open page (last error set)
};

OutputTarget OutputOf(const DeviceContext& dc);

}  // namespace wydruki::platform
