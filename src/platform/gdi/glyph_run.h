// SPDX-License-Identifier: MIT
// Consecutive transparent TextOutA calls that share font and colour, gathered into one
// glyph run: drawing glyph by glyph costs a PDF operator sequence per call, a run of a
// whole line costs one. Every glyph keeps the position its own call gave it, to within a
// device unit (see UniformPitch), so the output is the same as drawing the calls one by one.
#pragma once

#include <cairo.h>

#include <memory>
#include <optional>
#include <vector>

#include "gdi/font_realizer.h"
#include "gdi/print_document.h"

namespace wydruki::platform {

// What a run is drawn on: a cairo context, or a PDF page's content.
class GlyphPainter {
 public:
  virtual ~GlyphPainter() = default;
  virtual void FillRectangles(COLORREF color, const std::vector<cairo_rectangle_t>& rects) = 0;
  // `count` glyphs of `font` at their positions, drawn for the code page bytes `bytes`, the
  // face stretched horizontally by `stretch`.
  virtual void ShowGlyphs(const RealizedFont& font, COLORREF color, const cairo_glyph_t* glyphs,
                          const unsigned char* bytes, int count, double stretch) = 0;
};

class GlyphRun {
 public:
  // Whether `call` can join the run without changing what the page shows.
  bool Accepts(const TextCall& call) const;
  void Add(const TextCall& call);
  // Draws the run (backgrounds, glyphs, then underlines and strike-outs) and empties it.
  void Flush(GlyphPainter& painter);
  void Flush(cairo_t* cr);
  bool Empty() const { return glyphs_.empty() && cells_.empty(); }

 private:
  std::shared_ptr<const RealizedFont> font_;
  COLORREF color_ = 0;
  bool opaque_ = false;
  COLORREF background_ = 0;
  // A line of the run: where its glyphs begin, and their advance in device units when they
  // all have the same one, else kMixedAdvances (no advance below 1 is snapped anyway).
  struct Line {
    std::size_t begin;
    int advance;
  };
  static constexpr int kMixedAdvances = -1;
  // Places the line [begin, end) at its uniform pitch, if it has one, and returns how much
  // the face is to be stretched for it.
  std::optional<double> SnapLine(std::size_t begin, std::size_t end, int advance);
  void Show(GlyphPainter& painter, std::size_t begin, std::size_t end,
            std::optional<double> stretch);

  std::vector<cairo_glyph_t> glyphs_;
  std::vector<unsigned char> bytes_;  // the byte each glyph was drawn for
  std::vector<Line> text_lines_;      // a glyph further left or on another baseline begins a line
  std::vector<cairo_rectangle_t> cells_;  // the opaque background (of one call)
  std::vector<cairo_rectangle_t> lines_;  // underlines and strike-outs
};

// A line of fixed-pitch text placed at whole device units by a fractional pitch (55.2 units
// a column, say) steps 55, 55, 56, ...; a PDF can only say so with a kerning number after
// almost every glyph, which makes the page stream several times longer and costs most of
// the time of writing it. When every glyph of a line of equal advances `advance` lies within
// a device unit of one uniform pitch, that pitch (in 1/64 units) is returned, and the line
// is drawn at it with the face stretched to match (by at most a unit a glyph): the same
// page to a thousandth of an inch. Nothing when the glyphs are not so placed.
std::optional<double> UniformPitch(const cairo_glyph_t* glyphs, int count, int advance);

// Sets a COLORREF as the cairo source.
void SetColor(cairo_t* cr, COLORREF color);

}  // namespace wydruki::platform
