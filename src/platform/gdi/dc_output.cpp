// SPDX-License-Identifier: MIT
#include "gdi/dc_output.h"

#include "platform/api/kernel.h"

namespace wydruki::platform {

OutputTarget OutputOf(const DeviceContext& dc) {
  switch (dc.kind) {
    case DeviceContext::Kind::kDisplay:
      // A window whose pixels the display keeps (window_canvas.h) is drawn on.
      return dc.document && dc.page_open ? OutputTarget::kPage : OutputTarget::kNowhere;
    case DeviceContext::Kind::kMemory:
      return OutputTarget::kNowhere;
    case DeviceContext::Kind::kInformation:
      SetLastError(ERROR_INVALID_HANDLE);  // an information context only measures
      return OutputTarget::kRefused;
    case DeviceContext::Kind::kPrinter:
      break;
  }
  if (dc.document && dc.page_open) return OutputTarget::kPage;
  SetLastError(ERROR_INVALID_PARAMETER);  // printers draw only between StartPage and EndPage
  return OutputTarget::kRefused;
}

}  // namespace wydruki::platform
