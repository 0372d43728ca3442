// SPDX-License-Identifier: MIT
#include "gdi/gdi_tables.h"

#include <cstring>

#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

constexpr std::uintptr_t kHandleStep = 8;

GdiObject StockBrush(UINT style, COLORREF color) {
  GdiObject object;
  object.kind = ObjectKind::kBrush;
  object.stock = true;
  object.brush = {style, color, 0};
  return object;
}

GdiObject StockPen(UINT style, COLORREF color) {
  GdiObject object;
  object.kind = ObjectKind::kPen;
  object.stock = true;
  object.pen = {style, {0, 0}, color};
  return object;
}

GdiObject StockFont(LONG height, LONG weight, BYTE pitch_and_family, const char* face) {
  GdiObject object;
  object.kind = ObjectKind::kFont;
  object.stock = true;
  object.font.lfHeight = height;
  object.font.lfWeight = weight;
  object.font.lfCharSet = ANSI_CHARSET;
  object.font.lfPitchAndFamily = pitch_and_family;
  std::strncpy(object.font.lfFaceName, face, LF_FACESIZE - 1);
  return object;
}

}  // namespace

DeviceCaps ScreenCaps() {
  DeviceCaps caps;
  caps.log_pixels_x = caps.log_pixels_y = 96;
  caps.physical_width = caps.horz_res = 1024;
  caps.physical_height = caps.vert_res = 768;
  caps.physical_offset_x = caps.physical_offset_y = 0;
  return caps;
}

GdiTables& GdiTables::Instance() {
  static GdiTables* tables = new GdiTables();  // lives until the process ends
  return *tables;
}

GdiTables::GdiTables() {
  const auto add = [this](int index, const GdiObject& object) {
    stock_[index] = AddObject(object);
  };
  add(WHITE_BRUSH, StockBrush(BS_SOLID, 0xFFFFFF));
  add(LTGRAY_BRUSH, StockBrush(BS_SOLID, 0xC0C0C0));
  add(GRAY_BRUSH, StockBrush(BS_SOLID, 0x808080));
  add(DKGRAY_BRUSH, StockBrush(BS_SOLID, 0x404040));
  add(BLACK_BRUSH, StockBrush(BS_SOLID, 0x000000));
  add(NULL_BRUSH, StockBrush(BS_NULL, 0x000000));
  add(WHITE_PEN, StockPen(PS_SOLID, 0xFFFFFF));
  add(BLACK_PEN, StockPen(PS_SOLID, 0x000000));
  add(NULL_PEN, StockPen(PS_NULL, 0x000000));
  // The Windows stock fonts, with the faces the font mapper resolves for them.
  add(OEM_FIXED_FONT, StockFont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Terminal"));
  add(ANSI_FIXED_FONT, StockFont(12, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Courier"));
  add(ANSI_VAR_FONT, StockFont(12, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Sans Serif"));
  add(SYSTEM_FONT, StockFont(16, FW_BOLD, VARIABLE_PITCH | FF_SWISS, "System"));
  add(DEVICE_DEFAULT_FONT, StockFont(16, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "System"));
  add(SYSTEM_FIXED_FONT, StockFont(16, FW_NORMAL, FIXED_PITCH | FF_MODERN, "Fixedsys"));
  add(DEFAULT_GUI_FONT, StockFont(-11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS, "MS Shell Dlg"));
}

std::uintptr_t GdiTables::NextHandle() {
  next_ += kHandleStep;  // handle values are never used twice
  return next_;
}

HGDIOBJ GdiTables::AddObject(const GdiObject& object) {
  const std::uintptr_t value = NextHandle();
  objects_.emplace(value, object);
  return reinterpret_cast<HGDIOBJ>(value);
}

GdiObject* GdiTables::FindObject(HGDIOBJ handle) {
  const auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == objects_.end() ? nullptr : &it->second;
}

bool GdiTables::RemoveObject(HGDIOBJ handle) {
  const auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == objects_.end() || it->second.stock) return false;
  objects_.erase(it);
  return true;
}

HGDIOBJ GdiTables::Stock(int index) const {
  if (index < 0 || index >= static_cast<int>(std::size(stock_))) return nullptr;
  return stock_[index];
}

HDC GdiTables::AddDC(std::unique_ptr<DeviceContext> dc) {
  const std::uintptr_t value = NextHandle();
  dcs_.emplace(value, std::move(dc));
  return reinterpret_cast<HDC>(value);
}

DeviceContext* GdiTables::FindDC(HDC handle) {
  if (handle != nullptr && handle == last_dc_handle_) return last_dc_;
  const auto it = dcs_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == dcs_.end()) return nullptr;
  last_dc_handle_ = handle;
  last_dc_ = it->second.get();
  return last_dc_;
}

DeviceContext* GdiTables::FindDCOrFail(HDC handle) {
  DeviceContext* dc = FindDC(handle);
  if (dc == nullptr) SetLastError(ERROR_INVALID_HANDLE);
  return dc;
}

std::unique_ptr<DeviceContext> GdiTables::RemoveDC(HDC handle) {
  const auto it = dcs_.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == dcs_.end()) return nullptr;
  std::unique_ptr<DeviceContext> dc = std::move(it->second);
  dcs_.erase(it);
  if (handle == last_dc_handle_) {
    last_dc_handle_ = nullptr;
    last_dc_ = nullptr;
  }
  return dc;
}

HGDIOBJ SelectInto(DeviceContext& dc, HGDIOBJ handle, GdiObject& object) {
  HGDIOBJ* slot = object.kind == ObjectKind::kFont  ? &dc.font
                  : object.kind == ObjectKind::kPen ? &dc.pen
                                                    : &dc.brush;
  const HGDIOBJ previous = *slot;
  if (previous == handle) return previous;
  if (GdiObject* old = GdiTables::Instance().FindObject(previous)) --old->selections;
  ++object.selections;
  *slot = handle;
  if (object.kind == ObjectKind::kFont) dc.realized.reset();
  return previous;
}

const RealizedFont* SelectedFont(DeviceContext& dc) {
  if (!dc.realized) {
    GdiObject* font = GdiTables::Instance().FindObject(dc.font);
    if (font == nullptr) return nullptr;
    dc.realized = RealizedFont::Realize(font->font, dc.target.caps.log_pixels_y);
  }
  return dc.realized.get();
}

}  // namespace wydruki::platform
