// Consecutive transparent TextOutA calls that share font and colour, gathered into one
// cairo glyph run: drawing glyph by glyph costs a PDF operator sequence per call, a run of a
// whole line costs one. Every glyph keeps the position its own call gave it, so the output
// is the same as drawing the calls one by one.
#pragma once

#include <cairo.h>

#include <memory>
#include <vector>

#include "gdi/font_realizer.h"
#include "gdi/print_document.h"

namespace wydruki::platform {

class GlyphRun {
 public:
  // Whether `call` can join the run without changing what the page shows.
  bool Accepts(const TextCall& call) const;
  void Add(const TextCall& call);
  // Draws the run (backgrounds, glyphs, then underlines and strike-outs) and empties it.
  void Flush(cairo_t* cr);
  bool Empty() const { return glyphs_.empty() && cells_.empty(); }

 private:
  std::shared_ptr<const RealizedFont> font_;
  COLORREF color_ = 0;
  bool opaque_ = false;
  COLORREF background_ = 0;
  std::vector<cairo_glyph_t> glyphs_;
  std::vector<cairo_rectangle_t> cells_;  // the opaque background (of one call)
  std::vector<cairo_rectangle_t> lines_;  // underlines and strike-outs
};

// Sets a COLORREF as the cairo source.
void SetColor(cairo_t* cr, COLORREF color);

}  // namespace wydruki::platform
