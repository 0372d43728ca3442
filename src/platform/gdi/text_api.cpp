// SPDX-License-Identifier: MIT
// Text: the device context's text attributes, measuring and TextOutA.
#include <algorithm>
#include <string>

#include "gdi/dc_output.h"
#include "gdi/gdi_tables.h"
#include "platform/winapi.h"

using wydruki::platform::DeviceContext;
using wydruki::platform::GdiObject;
using wydruki::platform::GdiTables;
using wydruki::platform::RealizedFont;

namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

int WidthOf(const RealizedFont& font, const unsigned char* bytes, int count) {
  long long width = 0;
  for (int i = 0; i < count; ++i) width += font.Advance(bytes[i]);
  return static_cast<int>(std::min<long long>(width, 0x7FFFFFFF));
}

}  // namespace

COLORREF WINAPI SetTextColor(HDC hdc, COLORREF color) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->text_color;
  dc->text_color = color;
  return previous;
}

COLORREF WINAPI GetTextColor(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  return dc == nullptr ? CLR_INVALID : dc->text_color;
}

COLORREF WINAPI SetBkColor(HDC hdc, COLORREF color) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return CLR_INVALID;
  const COLORREF previous = dc->bk_color;
  dc->bk_color = color;
  return previous;
}

COLORREF WINAPI GetBkColor(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  return dc == nullptr ? CLR_INVALID : dc->bk_color;
}

int WINAPI SetBkMode(HDC hdc, int mode) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return 0;
  if (mode != TRANSPARENT && mode != OPAQUE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int previous = dc->bk_mode;
  dc->bk_mode = mode;
  return previous;
}

int WINAPI GetBkMode(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  return dc == nullptr ? 0 : dc->bk_mode;
}

UINT WINAPI SetTextAlign(HDC hdc, UINT align) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return GDI_ERROR;
  const UINT previous = dc->text_align;
  dc->text_align = align & TA_MASK;
  return previous;
}

UINT WINAPI GetTextAlign(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  return dc == nullptr ? GDI_ERROR : dc->text_align;
}

BOOL WINAPI GetTextMetricsA(HDC hdc, LPTEXTMETRICA lptm) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  if (lptm == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RealizedFont* font = wydruki::platform::SelectedFont(*dc);
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);  // no face at all is installed
    return FALSE;
  }
  *lptm = font->Metrics();
  return TRUE;
}

// The installed family that stands for the selected font, which is the font mapper's choice
// when the requested face is not installed.
int WINAPI GetTextFaceA(HDC hdc, int c, LPSTR lpName) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return 0;
  const RealizedFont* font = wydruki::platform::SelectedFont(*dc);
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  const std::string& family = font->Family();
  if (lpName == nullptr) return static_cast<int>(family.size()) + 1;
  if (c <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::size_t copied = std::min(family.size(), static_cast<std::size_t>(c) - 1);
  std::copy_n(family.begin(), copied, lpName);
  lpName[copied] = '\0';
  return static_cast<int>(copied) + 1;
}

BOOL WINAPI GetTextExtentPoint32A(HDC hdc, LPCSTR lpString, int c, LPSIZE psizl) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  if (psizl == nullptr || c < 0 || (lpString == nullptr && c > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RealizedFont* font = wydruki::platform::SelectedFont(*dc);
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  psizl->cx = WidthOf(*font, reinterpret_cast<const unsigned char*>(lpString), c);
  psizl->cy = font->Metrics().tmHeight;
  return TRUE;
}

BOOL WINAPI GetTextExtentPointA(HDC hdc, LPCSTR lpString, int c, LPSIZE lpsz) {
  return GetTextExtentPoint32A(hdc, lpString, c, lpsz);
}

namespace {

// What every string drawn on a context shares until its font or attributes change: where the
// drawing goes, the realized font, and the call a string's own fields are filled into.
struct TextSetup {
  wydruki::platform::OutputTarget output = wydruki::platform::OutputTarget::kRefused;
  wydruki::platform::TextCall call;
};

bool ValidString(LPCSTR lpString, int c) {
  if (c >= 0 && (lpString != nullptr || c == 0)) return true;
  SetLastError(ERROR_INVALID_PARAMETER);
  return false;
}

// The setup for drawing on `dc`, with the tables locked; false, with the last error set, when
// nothing can be drawn there. `logical` is the selected font's object.
bool PrepareText(DeviceContext& dc, const GdiObject* logical, TextSetup& setup) {
  setup.output = wydruki::platform::OutputOf(dc);
  if (setup.output == wydruki::platform::OutputTarget::kRefused) return false;
  const RealizedFont* font = wydruki::platform::SelectedFont(dc);
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  wydruki::platform::TextCall& call = setup.call;
  call.logfont = logical != nullptr ? &logical->font : nullptr;
  call.font = font;
  call.font_owner = &dc.realized;
  call.color = dc.text_color;
  call.opaque = dc.bk_mode == OPAQUE;
  call.background = dc.bk_color;
  return true;
}

// One string, as TextOutA draws it, on a context prepared with PrepareText.
BOOL DrawString(DeviceContext& dc, TextSetup& setup, int x, int y, LPCSTR lpString, int c) {
  wydruki::platform::TextCall& call = setup.call;
  const RealizedFont& font = *call.font;
  const auto* bytes = reinterpret_cast<const unsigned char*>(lpString);
  const int width = WidthOf(font, bytes, c);
  const bool update_position = (dc.text_align & TA_UPDATECP) != 0;
  const int origin_x = update_position ? dc.position.x : x;
  const int origin_y = update_position ? dc.position.y : y;
  double left = origin_x;
  if ((dc.text_align & TA_CENTER) == TA_CENTER)
    left -= width / 2.0;
  else if (dc.text_align & TA_RIGHT)
    left -= width;
  const TEXTMETRICA& tm = font.Metrics();
  double baseline = origin_y + tm.tmAscent;
  if ((dc.text_align & TA_BASELINE) == TA_BASELINE)
    baseline = origin_y;
  else if (dc.text_align & TA_BOTTOM)
    baseline = origin_y - tm.tmDescent;
  // The current position moves past the text, in the direction the alignment writes.
  if (update_position && (dc.text_align & TA_CENTER) == TA_LEFT) dc.position.x += width;
  if (update_position && (dc.text_align & TA_CENTER) == TA_RIGHT) dc.position.x -= width;
  if (c == 0 || setup.output != wydruki::platform::OutputTarget::kPage) return TRUE;

  if (call.logfont == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  call.x = origin_x;
  call.y = origin_y;
  call.left = left;
  call.baseline = baseline;
  call.width = width;
  call.bytes = bytes;
  call.count = c;
  dc.document->Text(call);
  return TRUE;
}

}  // namespace

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  if (!ValidString(lpString, c)) return FALSE;
  TextSetup setup;
  if (!PrepareText(*dc, GdiTables::Instance().FindObject(dc->font), setup)) return FALSE;
  return DrawString(*dc, setup, x, y, lpString, c);
}

BOOL WINAPI PolyTextOutA(HDC hdc, const POLYTEXTA* ppt, int nstrings) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  if (nstrings < 0 || (ppt == nullptr && nstrings > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  for (int i = 0; i < nstrings; ++i) {
    if (ppt[i].uiFlags != 0 || ppt[i].pdx != nullptr) {
      SetLastError(ERROR_NOT_SUPPORTED);
      return FALSE;
    }
    if (!ValidString(ppt[i].lpstr, static_cast<int>(ppt[i].n))) return FALSE;
  }
  if (nstrings == 0) return TRUE;
  // Drawing a string changes nothing the setup holds: one setup serves the run.
  TextSetup setup;
  if (!PrepareText(*dc, GdiTables::Instance().FindObject(dc->font), setup)) return FALSE;
  for (int i = 0; i < nstrings; ++i) {
    if (!DrawString(*dc, setup, ppt[i].x, ppt[i].y, ppt[i].lpstr, static_cast<int>(ppt[i].n)))
      return FALSE;
  }
  return TRUE;
}
