#include "gdi/pdf_document.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>

#include "gdi/glyph_run.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

class PdfDocument final : public PrintDocument {
 public:
  PdfDocument(std::unique_ptr<DocumentOutput> output, const DeviceCaps& caps)
      : output_(std::move(output)) {
    const double x_points = 72.0 / std::max(1, caps.log_pixels_x);
    const double y_points = 72.0 / std::max(1, caps.log_pixels_y);
    // The PDF page is the physical page; device units start at the printable area's corner.
    surface_ = cairo_pdf_surface_create_for_stream(&PdfDocument::WriteChunk, this,
                                                   std::max(1, caps.physical_width) * x_points,
                                                   std::max(1, caps.physical_height) * y_points);
    cr_ = cairo_create(surface_);
    cairo_scale(cr_, x_points, y_points);
    cairo_translate(cr_, caps.physical_offset_x, caps.physical_offset_y);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, options);
    cairo_font_options_destroy(options);
  }

  ~PdfDocument() override { Abort(); }

  bool Usable() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }

  bool StartPage(int) override { return Healthy(); }

  bool EndPage() override {
    run_.Flush(cr_);
    cairo_show_page(cr_);
    return Healthy();
  }

  void Text(const TextCall& call) override {
    if (!run_.Accepts(call)) run_.Flush(cr_);
    run_.Add(call);
  }

  void Fill(const RECT& rect, COLORREF color) override {
    run_.Flush(cr_);
    SetColor(cr_, color);
    cairo_rectangle(cr_, rect.left, rect.top, double(rect.right) - rect.left,
                    double(rect.bottom) - rect.top);
    cairo_fill(cr_);
  }

  void Line(POINT from, POINT to, const LOGPEN& pen) override {
    if (pen.lopnStyle == PS_NULL) return;
    run_.Flush(cr_);
    const double width = std::max<LONG>(1, pen.lopnWidth.x);
    SetColor(cr_, pen.lopnColor);
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
    static const double kDash[] = {18, 6};
    static const double kDot[] = {3, 3};
    static const double kDashDot[] = {9, 6, 3, 6};
    static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    switch (pen.lopnStyle) {
      case PS_DASH:
        cairo_set_dash(cr_, kDash, 2, 0);
        break;
      case PS_DOT:
        cairo_set_dash(cr_, kDot, 2, 0);
        break;
      case PS_DASHDOT:
        cairo_set_dash(cr_, kDashDot, 4, 0);
        break;
      case PS_DASHDOTDOT:
        cairo_set_dash(cr_, kDashDotDot, 6, 0);
        break;
      default:
        cairo_set_dash(cr_, nullptr, 0, 0);
    }
    cairo_move_to(cr_, from.x, from.y);
    cairo_line_to(cr_, to.x, to.y);
    cairo_stroke(cr_);
  }

  bool Finish() override {
    run_.Flush(cr_);
    cairo_destroy(cr_);
    cr_ = nullptr;
    cairo_surface_finish(surface_);
    const bool drawn = cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS && !write_failed_;
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    if (!drawn) {
      if (!write_failed_) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      output_->Abort();
      output_.reset();
      return false;
    }
    const bool handed_over = output_->Finish();
    output_.reset();  // finished outputs are never aborted afterwards
    return handed_over;
  }

  void Abort() override {
    discarding_ = true;  // what cairo writes while closing down goes nowhere
    if (cr_ != nullptr) cairo_destroy(cr_);
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
    cr_ = nullptr;
    surface_ = nullptr;
    if (output_) output_->Abort();
    output_.reset();
  }

 private:
  static cairo_status_t WriteChunk(void* closure, const unsigned char* data, unsigned int length) {
    auto* self = static_cast<PdfDocument*>(closure);
    if (self->discarding_ || !self->output_) return CAIRO_STATUS_SUCCESS;
    if (self->write_failed_ || !self->output_->Write(data, length)) {
      self->write_failed_ = true;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
  }

  bool Healthy() {
    if (cr_ != nullptr && cairo_status(cr_) == CAIRO_STATUS_SUCCESS && !write_failed_) return true;
    if (!write_failed_) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return false;
  }

  std::unique_ptr<DocumentOutput> output_;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  GlyphRun run_;
  bool write_failed_ = false;
  bool discarding_ = false;
};

}  // namespace

std::unique_ptr<PrintDocument> OpenPdfDocument(std::unique_ptr<DocumentOutput> output,
                                               const DeviceCaps& caps) {
  if (!output) return nullptr;
  auto document = std::make_unique<PdfDocument>(std::move(output), caps);
  if (!document->Usable()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;  // the destructor discards the output
  }
  return document;
}

}  // namespace wydruki::platform
