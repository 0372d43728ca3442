// SPDX-License-Identifier: MIT
#include "Graphics/Canvas.h"

#include <algorithm>

#include "Base/Exceptions.h"
#include "Graphics/GraphicsStartUp.h"
#include "resources/MessageTexts.h"

namespace wydruki::graphics {

TCanvas::TCanvas() {
  font_.OwnerLock = &lock_;
  pen_.OwnerLock = &lock_;
  brush_.OwnerLock = &lock_;
  font_.ChangeListener = [this](TGraphicsObject&) { FontReplaced(); };
  pen_.ChangeListener = [this](TGraphicsObject&) { PenReplaced(); };
  brush_.ChangeListener = [this](TGraphicsObject&) { BrushReplaced(); };
  LiveCanvases::Add(this);
}

TCanvas::~TCanvas() {
  LiveCanvases::Remove(this);
  SetDeviceHandle(nullptr);
  font_.ChangeListener = nullptr;
  pen_.ChangeListener = nullptr;
  brush_.ChangeListener = nullptr;
}

void TCanvas::AfterDrawing() {
  if (OnAfterDrawing) OnAfterDrawing(*this);
}

void TCanvas::BeforeDrawing() {
  if (OnBeforeDrawing) OnBeforeDrawing(*this);
}

HDC TCanvas::DeviceHandle() {
  BeforeDrawing();
  EnsureSelections({CanvasState::HandleValid, CanvasState::FontValid, CanvasState::PenValid,
                    CanvasState::BrushValid});
  return handle_;
}

void TCanvas::SetDeviceHandle(HDC handle) {
  if (handle == handle_) return;
  if (handle_ != nullptr) {
    ReleaseSelections();
    GetCurrentPositionEx(handle_, &pen_position_);
    handle_ = nullptr;
    state_ = state_.Minus({CanvasState::HandleValid});
  }
  if (handle != nullptr) {
    state_ = state_.Plus({CanvasState::HandleValid});
    handle_ = handle;
    MoveToEx(handle_, pen_position_.x, pen_position_.y, nullptr);
  }
}

void TCanvas::EnsureSelections(TCanvasState required) {
  TCanvasState needed = required.Minus(state_);
  if (needed.Empty()) return;
  if (needed.Contains(CanvasState::HandleValid)) {
    AcquireHandle();
    if (handle_ == nullptr) throw EInvalidOperation(resources::kCanvasNoDrawing);
  }
  if (needed.Contains(CanvasState::FontValid)) {
    SelectObject(handle_, font_.FontHandle());
    SetTextColor(handle_, ResolveColor(font_.Color()));
  }
  if (needed.Contains(CanvasState::PenValid)) {
    SelectObject(handle_, pen_.PenHandle());
    SetROP2(handle_, PenModeToRop2(pen_.Mode()));
    const TPenStyle style = pen_.Style();
    // Gaps in a broken line are drawn with the background, which the brush sets up.
    if (style == TPenStyle::psDash || style == TPenStyle::psDot || style == TPenStyle::psDashDot ||
        style == TPenStyle::psDashDotDot)
      needed = needed.Plus({CanvasState::BrushValid});
  }
  if (needed.Contains(CanvasState::BrushValid)) {
    const HBRUSH brush = brush_.BrushHandle();
    UnrealizeObject(brush);
    SelectObject(handle_, brush);
    const std::uint32_t color = ResolveColor(brush_.Color());
    if (brush_.Style() == TBrushStyle::bsSolid) {
      SetBkColor(handle_, color);
      SetBkMode(handle_, OPAQUE);
    } else {
      SetBkColor(handle_, ~color);
      SetBkMode(handle_, TRANSPARENT);
    }
  }
  state_ = state_.Plus(needed);
}

void TCanvas::ReleaseSelections() {
  if (handle_ == nullptr) return;
  const TCanvasState tools{CanvasState::FontValid, CanvasState::PenValid, CanvasState::BrushValid};
  if (state_.Minus({CanvasState::HandleValid}).Empty()) return;
  SelectObject(handle_, NeutralPen());
  SelectObject(handle_, NeutralBrush());
  SelectObject(handle_, NeutralFont());
  state_ = state_.Minus(tools);
}

void TCanvas::FontReplaced() {
  if (!state_.Contains(CanvasState::FontValid)) return;
  SelectObject(handle_, NeutralFont());
  state_ = state_.Minus({CanvasState::FontValid});
}

void TCanvas::PenReplaced() {
  if (!state_.Contains(CanvasState::PenValid)) return;
  SelectObject(handle_, NeutralPen());
  state_ = state_.Minus({CanvasState::PenValid});
}

void TCanvas::BrushReplaced() {
  if (!state_.Contains(CanvasState::BrushValid)) return;
  SelectObject(handle_, NeutralBrush());
  state_ = state_.Minus({CanvasState::BrushValid});
}

void TCanvas::WriteText(int x, int y, std::string_view text) {
  BeforeDrawing();
  EnsureSelections({CanvasState::HandleValid, CanvasState::FontValid, CanvasState::BrushValid});
  TextOutA(handle_, x, y, text.data(), static_cast<int>(text.size()));
  MovePenTo(x + MeasureWidth(text), y);
  AfterDrawing();
}

void TCanvas::WriteTexts(std::span<const POLYTEXTA> texts) {
  if (texts.empty()) return;
  BeforeDrawing();
  EnsureSelections({CanvasState::HandleValid, CanvasState::FontValid, CanvasState::BrushValid});
  PolyTextOutA(handle_, texts.data(), static_cast<int>(texts.size()));
  const POLYTEXTA& last = texts.back();
  MovePenTo(last.x + MeasureWidth(std::string_view(last.lpstr, last.n)), last.y);
  AfterDrawing();
}

SIZE TCanvas::MeasureText(std::string_view text) {
  EnsureSelections({CanvasState::HandleValid, CanvasState::FontValid});
  SIZE size{0, 0};
  GetTextExtentPointA(handle_, text.data(), static_cast<int>(text.size()), &size);
  return size;
}

void TCanvas::FillArea(const RECT& area) {
  BeforeDrawing();
  EnsureSelections({CanvasState::HandleValid, CanvasState::BrushValid});
  FillRect(handle_, &area, brush_.BrushHandle());
  AfterDrawing();
}

void TCanvas::MovePenTo(int x, int y) {
  EnsureSelections({CanvasState::HandleValid});
  MoveToEx(handle_, x, y, nullptr);
}

// ---- LiveCanvases

CriticalSection& LiveCanvases::Lock() {
  static CriticalSection lock;
  return lock;
}

std::vector<TCanvas*>& LiveCanvases::List() {
  static std::vector<TCanvas*> list;
  return list;
}

void LiveCanvases::Add(TCanvas* canvas) {
  CriticalSection::Guard guard(&Lock());
  List().push_back(canvas);
}

void LiveCanvases::Remove(TCanvas* canvas) {
  CriticalSection::Guard guard(&Lock());
  auto& list = List();
  list.erase(std::remove(list.begin(), list.end(), canvas), list.end());
}

std::size_t LiveCanvases::Count() {
  CriticalSection::Guard guard(&Lock());
  return List().size();
}

void SystemColorsChanged() {
  LiveCanvases::ForEach([](TCanvas& canvas) {
    CriticalSection::Guard guard(&canvas.Lock());
    canvas.ReleaseSelections();
  });
  const auto is_system_color = [](TColor color) {
    return (static_cast<std::uint32_t>(color) & 0x80000000u) != 0;
  };
  PenCache().DropHandlesIf([&](const PenDescription& d) { return is_system_color(d.Color); });
  BrushCache().DropHandlesIf([&](const BrushDescription& d) { return is_system_color(d.Color); });
}

}  // namespace wydruki::graphics
