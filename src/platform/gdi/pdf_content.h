// SPDX-License-Identifier: MIT
// The content of one PDF page, written as the page is drawn. The program's coordinates are
// device units with y downwards; they are written as points from the page's top-left corner
// (one transformation at the top of the page turns the y axis up), so that a reader places
// every glyph on the point the number says, with no product of scales to round. Text is
// written line by line: one text matrix where a line begins, then the glyph codes, with a
// kerning number only where a glyph stands elsewhere than the previous one's advance puts
// it, so a line of a fixed pitch is one string. Colours, line width and dashes are set only
// when they change.
#pragma once

#include <string>

#include "gdi/glyph_run.h"
#include "gdi/pdf_fonts.h"

namespace wydruki::platform {

class PdfContent final : public GlyphPainter {
 public:
  explicit PdfContent(PdfFonts& fonts) : fonts_(fonts) {}

  // Starts a page whose device units are `x_points` × `y_points` points, and whose device
  // origin lies (`origin_x`, `origin_y`) points from the page's top-left corner; the page is
  // `height` points high.
  void Begin(double x_points, double y_points, double origin_x, double origin_y, double height);
  // The page's content, complete; the next page begins empty.
  std::string End();

  void FillRectangles(COLORREF color, const std::vector<cairo_rectangle_t>& rects) override;
  void ShowGlyphs(const RealizedFont& font, COLORREF color, const cairo_glyph_t* glyphs,
                  const unsigned char* bytes, int count, double stretch) override;
  void Fill(const RECT& rect, COLORREF color);
  void Line(POINT from, POINT to, const LOGPEN& pen);

 private:
  void SetFill(COLORREF color);
  void SetStroke(COLORREF color);
  void SetLineWidth(double width);
  void Number(double value);
  void Color(COLORREF color);
  void Rectangle(double x, double y, double width, double height);
  // A device position in points from the page's top-left corner.
  double X(double x) const { return origin_x_ + x * x_points_; }
  double Y(double y) const { return origin_y_ + y * y_points_; }

  PdfFonts& fonts_;
  std::string out_;
  double x_points_ = 1, y_points_ = 1, origin_x_ = 0, origin_y_ = 0;
  // The graphics state the page has set so far (-1: not set).
  long long fill_ = -1;
  long long stroke_ = -1;
  double line_width_ = -1;
  int dash_ = -1;  // the pen style the dash pattern was set for
  int render_mode_ = 0;
};

}  // namespace wydruki::platform
