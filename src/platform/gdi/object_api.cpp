// SPDX-License-Identifier: MIT
// Fonts, pens and brushes as handles: creating, selecting, reading back and deleting them.
#include <algorithm>
#include <cstring>

#include "gdi/gdi_tables.h"
#include "platform/winapi.h"

using wydruki::platform::DeviceContext;
using wydruki::platform::GdiObject;
using wydruki::platform::GdiTables;
using wydruki::platform::ObjectKind;

namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

HGDIOBJ Add(const GdiObject& object) {
  Lock lock(GdiTables::Instance().Lock());
  return GdiTables::Instance().AddObject(object);
}

// Copies up to `size` bytes of a record into the caller's buffer, as GetObjectA does.
int CopyOut(const void* record, int record_size, int size, void* buffer) {
  if (buffer == nullptr) return record_size;
  if (size <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const int copied = std::min(size, record_size);
  std::memcpy(buffer, record, static_cast<std::size_t>(copied));
  return copied;
}

}  // namespace

HFONT WINAPI CreateFontIndirectA(const LOGFONTA* lplf) {
  if (lplf == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiObject object;
  object.kind = ObjectKind::kFont;
  object.font = *lplf;  // kept exactly as given: GetObjectA returns it unchanged
  return static_cast<HFONT>(Add(object));
}

HFONT WINAPI CreateFontA(int cHeight, int cWidth, int cEscapement, int cOrientation, int cWeight,
                         DWORD bItalic, DWORD bUnderline, DWORD bStrikeOut, DWORD iCharSet,
                         DWORD iOutPrecision, DWORD iClipPrecision, DWORD iQuality,
                         DWORD iPitchAndFamily, LPCSTR pszFaceName) {
  LOGFONTA font{};
  font.lfHeight = cHeight;
  font.lfWidth = cWidth;
  font.lfEscapement = cEscapement;
  font.lfOrientation = cOrientation;
  font.lfWeight = cWeight;
  font.lfItalic = static_cast<BYTE>(bItalic);
  font.lfUnderline = static_cast<BYTE>(bUnderline);
  font.lfStrikeOut = static_cast<BYTE>(bStrikeOut);
  font.lfCharSet = static_cast<BYTE>(iCharSet);
  font.lfOutPrecision = static_cast<BYTE>(iOutPrecision);
  font.lfClipPrecision = static_cast<BYTE>(iClipPrecision);
  font.lfQuality = static_cast<BYTE>(iQuality);
  font.lfPitchAndFamily = static_cast<BYTE>(iPitchAndFamily);
  if (pszFaceName != nullptr) std::strncpy(font.lfFaceName, pszFaceName, LF_FACESIZE - 1);
  return CreateFontIndirectA(&font);
}

HPEN WINAPI CreatePenIndirect(const LOGPEN* plpen) {
  if (plpen == nullptr || plpen->lopnStyle > PS_INSIDEFRAME) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiObject object;
  object.kind = ObjectKind::kPen;
  object.pen = *plpen;
  return static_cast<HPEN>(Add(object));
}

HPEN WINAPI CreatePen(int iStyle, int cWidth, COLORREF color) {
  LOGPEN pen{static_cast<UINT>(iStyle), {cWidth, 0}, color};
  if (iStyle < 0) pen.lopnStyle = ~0u;  // refused below
  return CreatePenIndirect(&pen);
}

HBRUSH WINAPI CreateBrushIndirect(const LOGBRUSH* plbrush) {
  if (plbrush == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  GdiObject object;
  object.kind = ObjectKind::kBrush;
  object.brush = *plbrush;
  switch (plbrush->lbStyle) {
    case BS_SOLID:
    case BS_NULL:
      break;
    case BS_HATCHED:
      if (plbrush->lbHatch > HS_DIAGCROSS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
      }
      break;
    default:  // pattern and device-independent bitmap brushes: not offered
      SetLastError(ERROR_NOT_SUPPORTED);
      return nullptr;
  }
  return static_cast<HBRUSH>(Add(object));
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
  const LOGBRUSH brush{BS_SOLID, color, 0};
  return CreateBrushIndirect(&brush);
}

HGDIOBJ WINAPI GetStockObject(int i) {
  Lock lock(GdiTables::Instance().Lock());
  return GdiTables::Instance().Stock(i);
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
  Lock lock(GdiTables::Instance().Lock());
  GdiObject* object = GdiTables::Instance().FindObject(ho);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->stock) return TRUE;  // stock objects live for ever
  // An object still selected into a device context is not deleted: the call fails, as
  // documented, and the object stays usable until it is deselected.
  if (object->selections > 0) return FALSE;
  GdiTables::Instance().RemoveObject(ho);
  return TRUE;
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDC(hdc);
  GdiObject* object = GdiTables::Instance().FindObject(h);
  if (dc == nullptr || object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return wydruki::platform::SelectInto(*dc, h, *object);
}

HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type) {
  Lock lock(GdiTables::Instance().Lock());
  const DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return nullptr;
  switch (type) {
    case OBJ_FONT:
      return dc->font;
    case OBJ_PEN:
      return dc->pen;
    case OBJ_BRUSH:
      return dc->brush;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

BOOL WINAPI UnrealizeObject(HGDIOBJ h) {
  Lock lock(GdiTables::Instance().Lock());
  if (GdiTables::Instance().FindObject(h) == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;  // brush origins are not kept: there is nothing to reset
}

DWORD WINAPI GetObjectType(HGDIOBJ h) {
  Lock lock(GdiTables::Instance().Lock());
  GdiTables& tables = GdiTables::Instance();
  if (const GdiObject* object = tables.FindObject(h)) {
    switch (object->kind) {
      case ObjectKind::kFont:
        return OBJ_FONT;
      case ObjectKind::kPen:
        return OBJ_PEN;
      case ObjectKind::kBrush:
        return OBJ_BRUSH;
    }
  }
  if (tables.FindDC(static_cast<HDC>(h)) != nullptr) return OBJ_DC;
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

int WINAPI GetObjectA(HANDLE h, int c, LPVOID pv) {
  Lock lock(GdiTables::Instance().Lock());
  const GdiObject* object = GdiTables::Instance().FindObject(h);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (object->kind) {
    case ObjectKind::kFont:
      return CopyOut(&object->font, sizeof(LOGFONTA), c, pv);
    case ObjectKind::kPen:
      return CopyOut(&object->pen, sizeof(LOGPEN), c, pv);
    case ObjectKind::kBrush:
      return CopyOut(&object->brush, sizeof(LOGBRUSH), c, pv);
  }
  return 0;
}
