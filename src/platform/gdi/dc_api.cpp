// SPDX-License-Identifier: MIT
// Device contexts: printers (CreateDCA), information contexts (CreateICA), the screen
// (GetDC) and memory contexts, and what GetDeviceCaps reports of them.
#include <cmath>
#include <cstring>

#include "common/ascii_case.h"
#include "gdi/gdi_tables.h"
#include "gdi/window_canvas.h"
#include "platform/winapi.h"

using wydruki::platform::DeviceCaps;
using wydruki::platform::DeviceContext;
using wydruki::platform::GdiObject;
using wydruki::platform::GdiTables;

namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

// A new context with the default objects selected: black pen, white brush, system font.
HDC AddContext(std::unique_ptr<DeviceContext> dc) {
  GdiTables& tables = GdiTables::Instance();
  for (int stock : {BLACK_PEN, WHITE_BRUSH, SYSTEM_FONT}) {
    HGDIOBJ handle = tables.Stock(stock);
    if (GdiObject* object = tables.FindObject(handle))
      wydruki::platform::SelectInto(*dc, handle, *object);
  }
  return tables.AddDC(std::move(dc));
}

bool IsDisplayDriver(LPCSTR driver) {
  return driver != nullptr && wydruki::platform::EqualsIgnoreCase(driver, "DISPLAY");
}

HDC CreateContext(LPCSTR driver, LPCSTR device, const DEVMODEA* mode, DeviceContext::Kind kind) {
  auto dc = std::make_unique<DeviceContext>();
  if (IsDisplayDriver(driver) && (device == nullptr || *device == '\0')) {
    dc->kind = DeviceContext::Kind::kDisplay;
    dc->target.caps = wydruki::platform::ScreenCaps();
  } else {
    auto target = wydruki::platform::ResolvePrinter(device, mode);
    if (!target) return nullptr;  // ResolvePrinter has set the last error
    dc->kind = kind;
    dc->target = std::move(*target);
  }
  Lock lock(GdiTables::Instance().Lock());
  return AddContext(std::move(dc));
}

// Releases what a context holds: its selections, and its document, which is discarded.
void DestroyContext(std::unique_ptr<DeviceContext> dc) {
  GdiTables& tables = GdiTables::Instance();
  for (HGDIOBJ handle : {dc->font, dc->pen, dc->brush})
    if (GdiObject* object = tables.FindObject(handle)) --object->selections;
  if (dc->document) dc->document->Abort();
}

int Millimetres(int pixels, int pixels_per_inch) {
  if (pixels_per_inch <= 0) return 0;
  return static_cast<int>(std::lround(pixels * 25.4 / pixels_per_inch));
}

}  // namespace

HDC WINAPI CreateDCA(LPCSTR pwszDriver, LPCSTR pwszDevice, LPCSTR, const DEVMODEA* pdm) {
  return CreateContext(pwszDriver, pwszDevice, pdm, DeviceContext::Kind::kPrinter);
}

HDC WINAPI CreateICA(LPCSTR pszDriver, LPCSTR pszDevice, LPCSTR, const DEVMODEA* pdm) {
  return CreateContext(pszDriver, pszDevice, pdm, DeviceContext::Kind::kInformation);
}

HDC WINAPI CreateCompatibleDC(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  auto dc = std::make_unique<DeviceContext>();
  dc->kind = DeviceContext::Kind::kMemory;
  if (hdc == nullptr) {
    dc->target.caps = wydruki::platform::ScreenCaps();
  } else {
    const DeviceContext* source = GdiTables::Instance().FindDC(hdc);
    if (source == nullptr) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    dc->target = source->target;
    dc->window = nullptr;
  }
  return AddContext(std::move(dc));
}

BOOL WINAPI DeleteDC(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  auto dc = GdiTables::Instance().RemoveDC(hdc);
  if (!dc) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DestroyContext(std::move(dc));
  return TRUE;
}

HDC WINAPI GetDC(HWND hWnd) {
  auto dc = std::make_unique<DeviceContext>();
  dc->kind = DeviceContext::Kind::kDisplay;
  dc->window = hWnd;
  dc->from_get_dc = true;
  dc->target.caps = wydruki::platform::ScreenCaps();
  dc->document = wydruki::platform::OpenWindowCanvas(hWnd);
  dc->page_open = dc->document != nullptr;
  Lock lock(GdiTables::Instance().Lock());
  return AddContext(std::move(dc));
}

int WINAPI ReleaseDC(HWND, HDC hDC) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDC(hDC);
  // Only contexts that GetDC handed out are released here; others belong to DeleteDC.
  if (dc == nullptr || !dc->from_get_dc) return 0;
  DestroyContext(GdiTables::Instance().RemoveDC(hDC));
  return 1;
}

int WINAPI GetDeviceCaps(HDC hdc, int index) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return 0;
  const DeviceCaps& caps = dc->target.caps;
  const bool display = dc->kind == DeviceContext::Kind::kDisplay ||
                       (dc->kind == DeviceContext::Kind::kMemory && dc->target.name.empty());
  switch (index) {
    case DRIVERVERSION:
      return 0x4000;
    case TECHNOLOGY:
      return display ? DT_RASDISPLAY : DT_RASPRINTER;
    case HORZSIZE:
      return Millimetres(caps.horz_res, caps.log_pixels_x);
    case VERTSIZE:
      return Millimetres(caps.vert_res, caps.log_pixels_y);
    case HORZRES:
      return caps.horz_res;
    case VERTRES:
      return caps.vert_res;
    case LOGPIXELSX:
      return caps.log_pixels_x;
    case LOGPIXELSY:
      return caps.log_pixels_y;
    case BITSPIXEL:
      return display ? 32 : 24;
    case PLANES:
      return 1;
    case NUMBRUSHES:
    case NUMPENS:
    case NUMCOLORS:
      return -1;  // more than 256 colours
    case NUMFONTS:
      return 0;
    case RASTERCAPS:
      return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT | RC_STRETCHDIB;
    // Display devices have no physical page: Windows reports 0 for them.
    case PHYSICALWIDTH:
      return display ? 0 : caps.physical_width;
    case PHYSICALHEIGHT:
      return display ? 0 : caps.physical_height;
    case PHYSICALOFFSETX:
      return display ? 0 : caps.physical_offset_x;
    case PHYSICALOFFSETY:
      return display ? 0 : caps.physical_offset_y;
    default:
      return 0;
  }
}
