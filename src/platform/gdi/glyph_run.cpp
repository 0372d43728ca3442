#include "gdi/glyph_run.h"

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
  // With an opaque background each call's cell is filled just before its glyphs; a later
  // cell, even one beside an earlier glyph, shares edge pixels with it and must be painted
  // after it. So opaque text is drawn call by call, and only transparent text forms runs.
  if (opaque_ || call.opaque) return false;
  return call.font == font_.get() && call.color == color_;
}

void GlyphRun::Add(const TextCall& call) {
  if (Empty()) {
    if (font_.get() != call.font) font_ = *call.font_owner;
    color_ = call.color;
    opaque_ = call.opaque;
    background_ = call.background;
  }
  if (opaque_ && call.width > 0) cells_.push_back(CellOf(call));
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
