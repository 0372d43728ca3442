// SPDX-License-Identifier: MIT
// The drawing surface: draws on a device context that someone else attaches, owns one font,
// one pen and one brush, and selects them into the context only when an operation needs them.
#pragma once

#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "Base/CriticalSection.h"
#include "Graphics/GraphicsObject.h"
#include "platform/winapi.h"

namespace wydruki::graphics {

enum class CanvasState : std::uint8_t {
  HandleValid = 1,
  FontValid = 2,
  PenValid = 4,
  BrushValid = 8
};

class TCanvasState {
 public:
  constexpr TCanvasState() = default;
  constexpr TCanvasState(std::initializer_list<CanvasState> states) {
    for (auto s : states) bits_ |= static_cast<std::uint8_t>(s);
  }
  constexpr bool Contains(CanvasState s) const {
    return (bits_ & static_cast<std::uint8_t>(s)) != 0;
  }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TCanvasState Minus(TCanvasState other) const {
    return FromBits(static_cast<std::uint8_t>(bits_ & ~other.bits_));
  }
  constexpr TCanvasState Plus(TCanvasState other) const {
    return FromBits(static_cast<std::uint8_t>(bits_ | other.bits_));
  }
  constexpr bool operator==(const TCanvasState&) const = default;

 private:
  static constexpr TCanvasState FromBits(std::uint8_t bits) {
    TCanvasState s;
    s.bits_ = bits;
    return s;
  }
  std::uint8_t bits_ = 0;
};

class TCanvas {
 public:
  using CanvasEvent = std::function<void(TCanvas&)>;

  TCanvas();
  virtual ~TCanvas();
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  // Reading runs BeforeDrawing and selects font, pen and brush.
  HDC DeviceHandle();
  // Attaches a context (or none). The attacher stays its owner: the canvas never deletes it.
  void SetDeviceHandle(HDC handle);
  // The attached context without selecting anything (none when detached).
  HDC AttachedHandle() const { return handle_; }

  // Draws text with its top-left corner at (x, y); the pen moves to the end of the text.
  void WriteText(int x, int y, std::string_view text);
  // Draws each text (plain strings: no options, no spacing array) exactly as WriteText would,
  // in order and with the current tools, in one call to the device; the pen moves to the end
  // of the last.
  void WriteTexts(std::span<const POLYTEXTA> texts);
  SIZE MeasureText(std::string_view text);
  int MeasureWidth(std::string_view text) { return MeasureText(text).cx; }
  int MeasureHeight(std::string_view text) { return MeasureText(text).cy; }
  void FillArea(const RECT& area);
  void MovePenTo(int x, int y);

  // The context gets the neutral stock objects; each tool is selected again before its next use.
  void ReleaseSelections();
  void EnsureSelections(TCanvasState required);
  TCanvasState Selections() const { return state_; }

  TFont& Font() { return font_; }
  TPen& Pen() { return pen_; }
  TBrush& Brush() { return brush_; }
  // Writing a canvas's tool takes the other tool's value; the canvas keeps its own objects.
  void SetFont(const TFont& font) { font_.CopyFrom(font); }
  void SetPen(const TPen& pen) { pen_.CopyFrom(pen); }
  void SetBrush(const TBrush& brush) { brush_.CopyFrom(brush); }

  POINT PenPosition() const { return pen_position_; }
  DWORD CopyMode = SRCCOPY;
  CanvasEvent OnBeforeDrawing;
  CanvasEvent OnAfterDrawing;

  CriticalSection& Lock() { return lock_; }

 protected:
  virtual void AfterDrawing();
  virtual void BeforeDrawing();
  // Called when an operation needs a handle and none is attached; a plain canvas has none to give.
  virtual void AcquireHandle() {}

 private:
  void FontReplaced();
  void PenReplaced();
  void BrushReplaced();

  HDC handle_ = nullptr;
  TCanvasState state_;
  CriticalSection lock_;
  TFont font_;
  TPen pen_;
  TBrush brush_;
  POINT pen_position_{0, 0};
};

// Every canvas that exists, for SystemColorsChanged.
class LiveCanvases {
 public:
  static void Add(TCanvas* canvas);
  static void Remove(TCanvas* canvas);
  static std::size_t Count();
  template <typename Visit>
  static void ForEach(Visit visit) {
    CriticalSection::Guard guard(&Lock());
    for (TCanvas* canvas : List()) visit(*canvas);
  }

 private:
  static CriticalSection& Lock();
  static std::vector<TCanvas*>& List();
};

// The system colours have changed: every canvas lets go of its tools, and pens and brushes of
// system colours are made again on their next use.
void SystemColorsChanged();

}  // namespace wydruki::graphics
