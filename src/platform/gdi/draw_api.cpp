// SPDX-License-Identifier: MIT
// Lines, rectangles and fills, with the pen, the brush and the current position.
#include <algorithm>
#include <cstdint>
#include <iterator>

#include "gdi/dc_output.h"
#include "gdi/gdi_tables.h"
#include "platform/winapi.h"

using wydruki::platform::DeviceContext;
using wydruki::platform::GdiObject;
using wydruki::platform::GdiTables;
using wydruki::platform::ObjectKind;
using wydruki::platform::OutputTarget;

namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

// R2_NOP leaves the page as it is; every other mode draws (as the copy pen).
bool Points(const DeviceContext& dc) { return dc.rop2 != R2_NOP; }

}  // namespace

BOOL WINAPI MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  if (lppt != nullptr) *lppt = dc->position;
  dc->position = {x, y};
  return TRUE;
}

BOOL WINAPI GetCurrentPositionEx(HDC hdc, LPPOINT lppt) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  if (lppt == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lppt = dc->position;
  return TRUE;
}

int WINAPI SetROP2(HDC hdc, int rop2) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return 0;
  if (rop2 < R2_BLACK || rop2 > R2_LAST) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int previous = dc->rop2;
  dc->rop2 = rop2;
  return previous;
}

int WINAPI GetROP2(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  return dc == nullptr ? 0 : dc->rop2;
}

BOOL WINAPI LineTo(HDC hdc, int x, int y) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  const OutputTarget output = wydruki::platform::OutputOf(*dc);
  if (output == OutputTarget::kRefused) return FALSE;
  const POINT from = dc->position;
  dc->position = {x, y};
  const GdiObject* pen = GdiTables::Instance().FindObject(dc->pen);
  if (output == OutputTarget::kPage && pen != nullptr && Points(*dc))
    dc->document->Line(from, {x, y}, pen->pen);
  return TRUE;
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  const OutputTarget output = wydruki::platform::OutputOf(*dc);
  if (output == OutputTarget::kRefused) return FALSE;
  if (output == OutputTarget::kNowhere || !Points(*dc)) return TRUE;
  const GdiObject* brush = GdiTables::Instance().FindObject(dc->brush);
  const GdiObject* pen = GdiTables::Instance().FindObject(dc->pen);
  if (brush != nullptr && brush->brush.lbStyle != BS_NULL)
    dc->document->Fill({left, top, right, bottom}, brush->brush.lbColor);
  if (pen != nullptr && pen->pen.lopnStyle != PS_NULL) {
    // The frame lies inside the rectangle, ending one unit short of right and bottom.
    const LONG half = std::max<LONG>(1, pen->pen.lopnWidth.x) / 2;
    const POINT corners[] = {{left + half, top + half},
                             {right - 1 - half, top + half},
                             {right - 1 - half, bottom - 1 - half},
                             {left + half, bottom - 1 - half}};
    for (int i = 0; i < 4; ++i) dc->document->Line(corners[i], corners[(i + 1) % 4], pen->pen);
  }
  return TRUE;
}

int WINAPI FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hDC);
  if (dc == nullptr) return 0;
  if (lprc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  COLORREF color = 0;
  bool paint = true;
  const auto value = reinterpret_cast<std::uintptr_t>(hbr);
  if (value >= 1 && value <= 31) {
    // A brush given as a system colour index + 1 paints in the user's colour scheme.
    color = GetSysColor(static_cast<int>(value) - 1);
  } else {
    const GdiObject* brush = GdiTables::Instance().FindObject(hbr);
    if (brush == nullptr || brush->kind != ObjectKind::kBrush) {
      SetLastError(ERROR_INVALID_HANDLE);
      return 0;
    }
    color = brush->brush.lbColor;
    paint = brush->brush.lbStyle != BS_NULL;
  }
  const OutputTarget output = wydruki::platform::OutputOf(*dc);
  if (output == OutputTarget::kRefused) return 0;
  if (output == OutputTarget::kPage && paint && lprc->right > lprc->left &&
      lprc->bottom > lprc->top)
    dc->document->Fill(*lprc, color);
  return 1;
}
