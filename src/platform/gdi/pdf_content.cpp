// SPDX-License-Identifier: MIT
#include "gdi/pdf_content.h"

#include <algorithm>
#include <cmath>

namespace wydruki::platform {
namespace {

// A glyph within this many device units of where the previous advance left the pen is drawn
// there: less than a thousandth of a point at printer resolutions.
constexpr double kPositionTolerance = 0.01;

// The slant of a synthetic oblique face, as a fraction of its height.
constexpr double kObliqueSlant = 0.2;

// The outline stroke that makes a synthetic bold face, as a fraction of its em.
constexpr double kBoldStroke = 1.0 / 32;

void AppendCode(std::string& out, const PdfFonts::Code& code) {
  const auto put = [&out](unsigned char byte) {
    if (byte == '(' || byte == ')' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte == '\r') {
      out += "\\r";  // a bare carriage return in a string is read as a line feed
    } else {
      out += static_cast<char>(byte);
    }
  };
  put(static_cast<unsigned char>(code.code));
}

}  // namespace

void PdfContent::Begin(double x_points, double y_points, double origin_x, double origin_y,
                       double height) {
  out_.clear();
  fill_ = stroke_ = -1;
  line_width_ = -1;
  dash_ = -1;
  render_mode_ = 0;
  x_points_ = x_points;
  y_points_ = y_points;
  origin_x_ = origin_x;
  origin_y_ = origin_y;
  // Points from the top-left corner, downwards.
  out_ += "q\n1 0 0 -1 0 ";
  Number(height);
  out_ += "cm\n";
}

std::string PdfContent::End() {
  out_ += "Q\n";
  std::string page = std::move(out_);
  out_.clear();
  return page;
}

void PdfContent::Number(double value) {
  AppendPdfNumber(out_, value);
  out_ += ' ';
}

void PdfContent::Color(COLORREF color) {
  Number((color & 0xFF) / 255.0);
  Number(((color >> 8) & 0xFF) / 255.0);
  Number(((color >> 16) & 0xFF) / 255.0);
}

void PdfContent::SetFill(COLORREF color) {
  if (fill_ == static_cast<long long>(color)) return;
  fill_ = color;
  Color(color);
  out_ += "rg\n";
}

void PdfContent::SetStroke(COLORREF color) {
  if (stroke_ == static_cast<long long>(color)) return;
  stroke_ = color;
  Color(color);
  out_ += "RG\n";
}

void PdfContent::SetLineWidth(double width) {
  if (line_width_ == width) return;
  line_width_ = width;
  Number(width * (x_points_ + y_points_) / 2);
  out_ += "w\n";
}

void PdfContent::Rectangle(double x, double y, double width, double height) {
  Number(X(x));
  Number(Y(y));
  Number(width * x_points_);
  Number(height * y_points_);
  out_ += "re\n";
}

void PdfContent::FillRectangles(COLORREF color, const std::vector<cairo_rectangle_t>& rects) {
  if (rects.empty()) return;
  SetFill(color);
  for (const auto& r : rects) Rectangle(r.x, r.y, r.width, r.height);
  out_ += "f\n";
}

void PdfContent::Fill(const RECT& rect, COLORREF color) {
  SetFill(color);
  Rectangle(rect.left, rect.top, double(rect.right) - rect.left, double(rect.bottom) - rect.top);
  out_ += "f\n";
}

void PdfContent::Line(POINT from, POINT to, const LOGPEN& pen) {
  SetStroke(pen.lopnColor);
  SetLineWidth(std::max<LONG>(1, pen.lopnWidth.x));
  const int style = static_cast<int>(pen.lopnStyle);
  if (dash_ != style) {
    dash_ = style;
    static const std::vector<double> kSolid,
        kDash = {18, 6}, kDot = {3, 3}, kDashDot = {9, 6, 3, 6}, kDashDotDot = {9, 3, 3, 3, 3, 3};
    const std::vector<double>& pattern = style == PS_DASH         ? kDash
                                         : style == PS_DOT        ? kDot
                                         : style == PS_DASHDOT    ? kDashDot
                                         : style == PS_DASHDOTDOT ? kDashDotDot
                                                                  : kSolid;
    out_ += '[';
    for (const double length : pattern) Number(length * x_points_);
    out_ += "] 0 d\n";
  }
  Number(X(from.x));
  Number(Y(from.y));
  out_ += "m ";
  Number(X(to.x));
  Number(Y(to.y));
  out_ += "l S\n";
}

void PdfContent::ShowGlyphs(const RealizedFont& font, COLORREF color, const cairo_glyph_t* glyphs,
                            const unsigned char* bytes, int count, double stretch) {
  if (count <= 0) return;
  SetFill(color);
  const cairo_matrix_t& matrix = font.FontMatrix();
  const double a = matrix.xx * stretch;  // device units an em, across
  const double d = matrix.yy;            // and up
  const double c = font.SyntheticOblique() ? kObliqueSlant * d : 0;
  const CodePage& page = font.Page();
  PdfFonts::Face& face = fonts_.FaceOf(font);
  out_ += "BT\n";
  int resource = -1;
  bool in_array = false;  // within "[(" ... ")] TJ"
  double pen = 0;         // where the previous glyph's advance put the pen
  double line_y = 0;
  for (int i = 0; i < count; ++i) {
    const cairo_glyph_t& glyph = glyphs[i];
    const PdfFonts::Code code =
        fonts_.Encode(face, static_cast<std::uint32_t>(glyph.index), page.ToUnicode(bytes[i]));
    if (i == 0) {
      // A TrueType face without a bold of its own is made bold by stroking its outlines too;
      // Type 3 outlines are emboldened in the font itself.
      const int mode = code.truetype && font.SyntheticBold() ? 2 : 0;
      if (mode == 2) {
        SetStroke(color);
        SetLineWidth(d * kBoldStroke);
      }
      if (mode != render_mode_) {
        render_mode_ = mode;
        out_ += mode == 2 ? "2 Tr\n" : "0 Tr\n";
      }
    }
    if (code.resource != resource) {
      if (in_array) out_ += ")] TJ\n";
      in_array = false;
      resource = code.resource;
      out_ += "/F" + std::to_string(resource) + " 1 Tf\n";
    }
    const double gap = glyph.x - pen;
    // A glyph drawn back over the line (overlapping cells) starts it anew, as one drawn on
    // its own would be; a rounding's worth back, or up to an em forward, is kerned.
    if (!in_array || glyph.y != line_y || gap < -1 || gap > a) {
      if (in_array) out_ += ")] TJ\n";
      Number(a * x_points_);
      out_ += "0 ";
      Number(c * x_points_);
      Number(-d * y_points_);
      Number(X(glyph.x));
      Number(Y(glyph.y));
      out_ += "Tm\n[(";
      in_array = true;
      pen = glyph.x;
      line_y = glyph.y;
    } else if (std::fabs(gap) > kPositionTolerance) {
      // TJ numbers are thousandths of the font size, and move the pen back.
      out_ += ") ";
      Number(-gap * 1000 / a);
      out_ += '(';
      pen = glyph.x;
    }
    AppendCode(out_, code);
    pen += code.advance * a;
  }
  if (in_array) out_ += ")] TJ\n";
  out_ += "ET\n";
}

}  // namespace wydruki::platform
