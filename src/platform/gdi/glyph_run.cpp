// SPDX-License-Identifier: MIT
#include "gdi/glyph_run.h"

#include <cmath>

namespace wydruki::platform {
namespace {

cairo_rectangle_t CellOf(const TextCall& call) {
  const TEXTMETRICA& tm = call.font->Metrics();
  return {call.left, call.baseline - tm.tmAscent, double(call.width), double(tm.tmHeight)};
}

class CairoPainter final : public GlyphPainter {
 public:
  explicit CairoPainter(cairo_t* cr) : cr_(cr) {}
  void FillRectangles(COLORREF color, const std::vector<cairo_rectangle_t>& rects) override {
    SetColor(cr_, color);
    for (const auto& r : rects) cairo_rectangle(cr_, r.x, r.y, r.width, r.height);
    cairo_fill(cr_);
  }
  void ShowGlyphs(const RealizedFont& font, COLORREF color, const cairo_glyph_t* glyphs,
                  const unsigned char*, int count, double stretch) override {
    cairo_font_face_t* face = font.FontFace();
    if (face == nullptr) return;  // made from bytes already read: only out of memory stops it
    SetColor(cr_, color);
    cairo_set_font_face(cr_, face);
    cairo_matrix_t matrix = font.FontMatrix();
    matrix.xx *= stretch;
    matrix.yx *= stretch;
    cairo_set_font_matrix(cr_, &matrix);
    cairo_show_glyphs(cr_, glyphs, count);
  }

 private:
  cairo_t* cr_;
};

}  // namespace

std::optional<double> UniformPitch(const cairo_glyph_t* glyphs, int count, int advance) {
  if (count < 2 || advance <= 0) return std::nullopt;
  const double span = glyphs[count - 1].x - glyphs[0].x;
  const double pitch = std::round(span / (count - 1) * 64) / 64;
  // The face is stretched to the pitch: only by a little, and never mirrored.
  if (std::fabs(pitch - advance) > 1) return std::nullopt;
  for (int i = 0; i < count; ++i)
    if (glyphs[i].y != glyphs[0].y || std::fabs(glyphs[i].x - (glyphs[0].x + i * pitch)) > 1)
      return std::nullopt;
  return pitch;
}

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
    const int advance = font.Advance(byte);
    if (glyphs_.empty() || glyphs_.back().y != call.baseline || !(x > glyphs_.back().x))
      text_lines_.push_back({glyphs_.size(), advance});
    else if (text_lines_.back().advance != advance)
      text_lines_.back().advance = kMixedAdvances;
    glyphs_.push_back({font.Glyph(byte), x, call.baseline});
    bytes_.push_back(byte);
    x += advance;
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
  CairoPainter painter(cr);
  Flush(painter);
}

void GlyphRun::Flush(GlyphPainter& painter) {
  if (Empty()) return;
  if (!cells_.empty()) painter.FillRectangles(background_, cells_);
  if (!glyphs_.empty()) {
    // A run holds the lines of consecutive calls. Each line gets its own pitch; lines of the
    // same pitch, the usual case, are drawn by one call.
    std::size_t group = 0;
    std::optional<double> group_pitch;
    for (std::size_t line = 0; line < text_lines_.size(); ++line) {
      const std::size_t begin = text_lines_[line].begin;
      const std::size_t end =
          line + 1 < text_lines_.size() ? text_lines_[line + 1].begin : glyphs_.size();
      const std::optional<double> pitch = SnapLine(begin, end, text_lines_[line].advance);
      if (begin > group && pitch != group_pitch) {
        Show(painter, group, begin, group_pitch);
        group = begin;
      }
      group_pitch = pitch;
    }
    Show(painter, group, glyphs_.size(), group_pitch);
  }
  if (!lines_.empty()) painter.FillRectangles(color_, lines_);
  glyphs_.clear();
  bytes_.clear();
  text_lines_.clear();
  cells_.clear();
  lines_.clear();
}

std::optional<double> GlyphRun::SnapLine(std::size_t begin, std::size_t end, int advance) {
  if (advance == kMixedAdvances) return std::nullopt;
  cairo_glyph_t* glyphs = glyphs_.data() + begin;
  const int count = static_cast<int>(end - begin);
  const std::optional<double> pitch = UniformPitch(glyphs, count, advance);
  if (pitch) {
    for (int i = 1; i < count; ++i) glyphs[i].x = glyphs[0].x + i * *pitch;
    return *pitch / advance;
  }
  return std::nullopt;
}

void GlyphRun::Show(GlyphPainter& painter, std::size_t begin, std::size_t end,
                    std::optional<double> stretch) {
  painter.ShowGlyphs(*font_, color_, glyphs_.data() + begin, bytes_.data() + begin,
                     static_cast<int>(end - begin), stretch.value_or(1.0));
}

}  // namespace wydruki::platform
