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

// TextOutA on a context already found, with the tables locked. `logical` is the selected
// font's object, looked up once by the caller for a run of strings.
BOOL TextOnContext(DeviceContext& dc, const GdiObject* logical, int x, int y, LPCSTR lpString,
                   int c) {
  if (c < 0 || (lpString == nullptr && c > 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto output = wydruki::platform::OutputOf(dc);
  if (output == wydruki::platform::OutputTarget::kRefused) return FALSE;
  const RealizedFont* font = wydruki::platform::SelectedFont(dc);
  if (font == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const auto* bytes = reinterpret_cast<const unsigned char*>(lpString);
  const int width = WidthOf(*font, bytes, c);
  const bool update_position = (dc.text_align & TA_UPDATECP) != 0;
  const int origin_x = update_position ? dc.position.x : x;
  const int origin_y = update_position ? dc.position.y : y;
  double left = origin_x;
  if ((dc.text_align & TA_CENTER) == TA_CENTER)
    left -= width / 2.0;
  else if (dc.text_align & TA_RIGHT)
    left -= width;
  const TEXTMETRICA& tm = font->Metrics();
  double baseline = origin_y + tm.tmAscent;
  if ((dc.text_align & TA_BASELINE) == TA_BASELINE)
    baseline = origin_y;
  else if (dc.text_align & TA_BOTTOM)
    baseline = origin_y - tm.tmDescent;
  // The current position moves past the text, in the direction the alignment writes.
  if (update_position && (dc.text_align & TA_CENTER) == TA_LEFT) dc.position.x += width;
  if (update_position && (dc.text_align & TA_CENTER) == TA_RIGHT) dc.position.x -= width;
  if (c == 0 || output != wydruki::platform::OutputTarget::kPage) return TRUE;

  if (logical == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  wydruki::platform::TextCall call;
  call.x = origin_x;
  call.y = origin_y;
  call.logfont = &logical->font;
  call.font = font;
  call.font_owner = &dc.realized;
  call.left = left;
  call.baseline = baseline;
  call.width = width;
  call.bytes = bytes;
  call.count = c;
  call.color = dc.text_color;
  call.opaque = dc.bk_mode == OPAQUE;
  call.background = dc.bk_color;
  dc.document->Text(call);
  return TRUE;
}

}  // namespace

BOOL WINAPI TextOutA(HDC hdc, int x, int y, LPCSTR lpString, int c) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return FALSE;
  return TextOnContext(*dc, GdiTables::Instance().FindObject(dc->font), x, y, lpString, c);
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
  }
  // Drawing a string never changes the selected font: one look-up serves the run.
  const GdiObject* logical = GdiTables::Instance().FindObject(dc->font);
  for (int i = 0; i < nstrings; ++i) {
    if (!TextOnContext(*dc, logical, ppt[i].x, ppt[i].y, ppt[i].lpstr, static_cast<int>(ppt[i].n)))
      return FALSE;
  }
  return TRUE;
}
