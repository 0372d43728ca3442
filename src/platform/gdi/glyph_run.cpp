#include "gdi/glyph_run.h"

#include <algorithm>

namespace wydruki::platform {
namespace {

cairo_rectangle_t CellOf(const TextCall& call) {
  const TEXTMETRICA& tm = call.font->Metrics();
  return {call.left, call.baseline - tm.tmAscent, double(call.width), double(tm.tmHeight)};
}

}  // namespace

void SetColor(cairo_t* cr, COLORREF color) {
  cairo_set_source_rgb(cr, (color & 0xFF) / 255.0, ((color >> 8) & 0xFF) / 255.0,
                       ((color >> 16) & 0xFF) / 255.0);
}

bool GlyphRun::Accepts(const TextCall& call) const {
  if (Empty()) return true;
  if (call.font != font_.get() || call.color != color_ || call.opaque != opaque_) return false;
  if (!opaque_) return true;
  if (call.background != background_) return false;
  // One by one, this call's background would cover what earlier calls drew under it; a run
  // fills all backgrounds first, so it may only take cells clear of the earlier ones.
  const cairo_rectangle_t cell = CellOf(call);
  const bool overlaps = cell.x < cells_right_ && cell.x + cell.width > cells_left_ &&
                        cell.y < cells_bottom_ && cell.y + cell.height > cells_top_;
  return !overlaps;
}

void GlyphRun::Add(const TextCall& call) {
  if (Empty()) {
    if (font_.get() != call.font) font_ = *call.font_owner;
    color_ = call.color;
    opaque_ = call.opaque;
    background_ = call.background;
  }
  if (opaque_ && call.width > 0) {
    const cairo_rectangle_t cell = CellOf(call);
    if (cells_.empty()) {
      cells_left_ = cell.x;
      cells_top_ = cell.y;
      cells_right_ = cell.x + cell.width;
      cells_bottom_ = cell.y + cell.height;
    } else {
      cells_left_ = std::min(cells_left_, cell.x);
      cells_top_ = std::min(cells_top_, cell.y);
      cells_right_ = std::max(cells_right_, cell.x + cell.width);
      cells_bottom_ = std::max(cells_bottom_, cell.y + cell.height);
    }
    cells_.push_back(cell);
  }
  const RealizedFont& font = *call.font;
  double x = call.left;
  for (int i = 0; i < call.count; ++i) {
    const unsigned char byte = call.bytes[i];
    glyphs_.push_back({font.Glyph(byte), x, call.baseline});
    x += font.Advance(byte);
  }
  const double thickness = font.LineThickness();
  if (font.Underline())
    lines_.push_back({call.left, call.baseline + font.UnderlinePosition() - thickness / 2,
                      double(call.width), thickness});
  if (font.StrikeOut())
    lines_.push_back({call.left, call.baseline + font.StrikeOutPosition() - thickness / 2,
                      double(call.width), thickness});
}

void GlyphRun::Flush(cairo_t* cr) {
  if (Empty()) return;
  if (!cells_.empty()) {
    SetColor(cr, background_);
    for (const auto& cell : cells_) cairo_rectangle(cr, cell.x, cell.y, cell.width, cell.height);
    cairo_fill(cr);
  }
  SetColor(cr, color_);
  if (!glyphs_.empty()) {
    cairo_set_font_face(cr, font_->FontFace());
    cairo_set_font_matrix(cr, &font_->FontMatrix());
    cairo_show_glyphs(cr, glyphs_.data(), static_cast<int>(glyphs_.size()));
  }
  if (!lines_.empty()) {
    for (const auto& line : lines_) cairo_rectangle(cr, line.x, line.y, line.width, line.height);
    cairo_fill(cr);
  }
  glyphs_.clear();
  cells_.clear();
  lines_.clear();
}

}  // namespace wydruki::platform
