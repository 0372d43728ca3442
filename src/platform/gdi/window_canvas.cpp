// SPDX-License-Identifier: MIT
#include "gdi/window_canvas.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "gdi/glyph_run.h"

namespace wydruki::platform {
namespace {

struct Attached {
  cairo_surface_t* surface = nullptr;
  WindowDrawnHook drawn = nullptr;
};

std::mutex& SurfaceLock() {
  static std::mutex lock;
  return lock;
}

std::map<HWND, Attached>& Surfaces() {
  static std::map<HWND, Attached> surfaces;
  return surfaces;
}

// Draws each call at once: a window shows what was drawn as soon as the program returns to
// its loop, and nothing is gathered the way a page is.
class WindowCanvas final : public PrintDocument {
 public:
  WindowCanvas(HWND window, cairo_surface_t* surface, WindowDrawnHook drawn)
      : window_(window), cr_(cairo_create(surface)), drawn_(drawn) {}
  ~WindowCanvas() override { cairo_destroy(cr_); }

  bool StartPage(int) override { return true; }
  bool EndPage() override { return true; }
  bool Finish() override { return true; }
  void Abort() override {}

  void Text(const TextCall& call) override {
    GlyphRun run;
    run.Add(call);
    run.Flush(cr_);
    Drawn();
  }

  void Fill(const RECT& rect, COLORREF color) override {
    SetColor(cr_, color);
    cairo_rectangle(cr_, rect.left, rect.top, double(rect.right) - rect.left,
                    double(rect.bottom) - rect.top);
    cairo_fill(cr_);
    Drawn();
  }

  void Line(POINT from, POINT to, const LOGPEN& pen) override {
    SetColor(cr_, pen.lopnColor);
    cairo_set_line_width(cr_, std::max<LONG>(1, pen.lopnWidth.x));
    // A one-unit line covers whole pixels, as on a screen.
    cairo_move_to(cr_, from.x + 0.5, from.y + 0.5);
    cairo_line_to(cr_, to.x + 0.5, to.y + 0.5);
    cairo_stroke(cr_);
    Drawn();
  }

 private:
  void Drawn() {
    cairo_surface_flush(cairo_get_target(cr_));
    if (drawn_ != nullptr) drawn_(window_);
  }

  HWND window_;
  cairo_t* cr_;
  WindowDrawnHook drawn_;
};

}  // namespace

void AttachWindowSurface(HWND window, cairo_surface_t* surface, WindowDrawnHook drawn) {
  std::lock_guard guard(SurfaceLock());
  Attached& slot = Surfaces()[window];
  cairo_surface_reference(surface);
  if (slot.surface != nullptr) cairo_surface_destroy(slot.surface);
  slot = Attached{surface, drawn};
}

void DetachWindowSurface(HWND window) {
  std::lock_guard guard(SurfaceLock());
  const auto it = Surfaces().find(window);
  if (it == Surfaces().end()) return;
  cairo_surface_destroy(it->second.surface);
  Surfaces().erase(it);
}

std::unique_ptr<PrintDocument> OpenWindowCanvas(HWND window) {
  std::lock_guard guard(SurfaceLock());
  const auto it = Surfaces().find(window);
  if (window == nullptr || it == Surfaces().end()) return nullptr;
  return std::make_unique<WindowCanvas>(window, it->second.surface, it->second.drawn);
}

}  // namespace wydruki::platform
