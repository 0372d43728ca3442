#include "gdi/pdf_document.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

#include "common/termination_signals.h"
#include "gdi/glyph_run.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

struct FillStep {
  RECT rect;
  COLORREF color;
};

struct LineStep {
  POINT from;
  POINT to;
  LOGPEN pen;
};

// What the program drew on one page, in order, ready to be drawn with cairo.
using PageStep = std::variant<GlyphRun, FillStep, LineStep>;
using Page = std::vector<PageStep>;

// Pages are drawn and written on a thread of the document's own, as the Windows spooler
// renders a page while the program goes on with the next one. The program's calls are
// gathered into a page; at EndPage the page is handed to the writer, which draws it with cairo
// and writes it out. At most kPagesAhead pages wait for the writer, so memory stays bounded
// however long the document. A failure of the writer is reported by the next StartPage,
// EndPage or EndDoc, with the error that caused it.
//
// One page waits at most: a program faster than the writer waits for it rather than gathering
// pages, which would only cost memory. A hand-over that wakes a sleeping thread costs more
// than drawing a line, so each side is woken only when it sleeps: the writer when a page
// arrives, the program when there is room again. cairo writes its stream in small pieces;
// they reach the output in blocks of kOutputBlock bytes.
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
    if (Usable()) writer_ = StartWorkerThread([this] { WritePages(); });
  }

  ~PdfDocument() override { Abort(); }

  bool Usable() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }

  bool StartPage(int) override { return Healthy(); }

  bool EndPage() override {
    EndRun();
    bool wake = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      program_waiting_ = true;
      room_.wait(lock, [this] { return waiting_.size() < kPagesAhead || failed_; });
      program_waiting_ = false;
      if (!failed_) waiting_.push_back(std::move(page_));
      wake = writer_asleep_;
    }
    page_.clear();
    if (wake) work_.notify_one();
    return Healthy();
  }

  void Text(const TextCall& call) override {
    if (!run_.Accepts(call)) EndRun();
    run_.Add(call);
  }

  void Fill(const RECT& rect, COLORREF color) override {
    EndRun();
    page_.emplace_back(FillStep{rect, color});
  }

  void Line(POINT from, POINT to, const LOGPEN& pen) override {
    if (pen.lopnStyle == PS_NULL) return;
    EndRun();
    page_.emplace_back(LineStep{from, to, pen});
  }

  bool Finish() override {
    EndRun();
    if (!page_.empty()) EndPage();
    StopWriter();
    if (failed_) {
      output_->Abort();
      output_.reset();
      SetLastError(error_);
      return false;
    }
    cairo_destroy(cr_);
    cr_ = nullptr;
    cairo_surface_finish(surface_);
    const bool drawn =
        cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS && !write_failed_ && WritePending();
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    if (!drawn) {
      SetLastError(write_failed_ ? write_error_ : ERROR_NOT_ENOUGH_MEMORY);
      output_->Abort();
      output_.reset();
      return false;
    }
    const bool handed_over = output_->Finish();
    output_.reset();  // finished outputs are never aborted afterwards
    return handed_over;
  }

  void Abort() override {
    discarding_ = true;  // what cairo writes from now on goes nowhere
    {
      std::lock_guard<std::mutex> lock(mutex_);
      waiting_.clear();
    }
    StopWriter();
    if (cr_ != nullptr) cairo_destroy(cr_);
    if (surface_ != nullptr) cairo_surface_destroy(surface_);
    cr_ = nullptr;
    surface_ = nullptr;
    if (output_) output_->Abort();
    output_.reset();
  }

 private:
  static constexpr std::size_t kPagesAhead = 1;
  static constexpr std::size_t kOutputBlock = 16 * 1024;

  static cairo_status_t WriteChunk(void* closure, const unsigned char* data, unsigned int length) {
    auto* self = static_cast<PdfDocument*>(closure);
    if (self->discarding_ || !self->output_) return CAIRO_STATUS_SUCCESS;
    if (self->write_failed_) return CAIRO_STATUS_WRITE_ERROR;
    if (self->pending_.size() + length > kOutputBlock && !self->WritePending())
      return CAIRO_STATUS_WRITE_ERROR;
    if (length >= kOutputBlock) {
      if (self->WriteOut(data, length)) return CAIRO_STATUS_SUCCESS;
      return CAIRO_STATUS_WRITE_ERROR;
    }
    if (self->pending_.capacity() < kOutputBlock) self->pending_.reserve(kOutputBlock);
    self->pending_.insert(self->pending_.end(), data, data + length);
    return CAIRO_STATUS_SUCCESS;
  }

  // Hands bytes to the output; false, keeping the output's error, when it fails.
  bool WriteOut(const unsigned char* data, std::size_t length) {
    if (output_->Write(data, length)) return true;
    write_error_ = GetLastError();
    write_failed_ = true;
    return false;
  }

  bool WritePending() {
    const bool written = pending_.empty() || WriteOut(pending_.data(), pending_.size());
    pending_.clear();
    return written;
  }

  void EndRun() {
    if (run_.Empty()) return;
    page_.emplace_back(std::move(run_));
    run_ = GlyphRun();
  }

  // The writer thread: draws each page handed over, until told to stop and nothing waits.
  void WritePages() {
    for (;;) {
      Page page;
      bool room_wanted = false;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        writer_asleep_ = true;
        work_.wait(lock, [this] { return !waiting_.empty() || stopping_; });
        writer_asleep_ = false;
        if (waiting_.empty()) return;
        page = std::move(waiting_.front());
        waiting_.pop_front();
        room_wanted = program_waiting_;
      }
      if (room_wanted) room_.notify_one();
      if (failed_ || discarding_) continue;
      for (PageStep& step : page) std::visit([this](auto& s) { Draw(s); }, step);
      cairo_show_page(cr_);
      if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS || write_failed_) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = write_failed_ ? write_error_ : ERROR_NOT_ENOUGH_MEMORY;
        failed_ = true;
        room_.notify_one();
      }
    }
  }

  void StopWriter() {
    if (!writer_.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    work_.notify_one();
    writer_.join();
  }

  // False, with the writer's error as the last error, once a page could not be written.
  bool Healthy() {
    if (!failed_) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    SetLastError(error_);
    return false;
  }

  void Draw(GlyphRun& run) { run.Flush(cr_); }

  void Draw(const FillStep& fill) {
    SetColor(cr_, fill.color);
    cairo_rectangle(cr_, fill.rect.left, fill.rect.top, double(fill.rect.right) - fill.rect.left,
                    double(fill.rect.bottom) - fill.rect.top);
    cairo_fill(cr_);
  }

  void Draw(const LineStep& line) {
    const double width = std::max<LONG>(1, line.pen.lopnWidth.x);
    SetColor(cr_, line.pen.lopnColor);
    cairo_set_line_width(cr_, width);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
    static const double kDash[] = {18, 6};
    static const double kDot[] = {3, 3};
    static const double kDashDot[] = {9, 6, 3, 6};
    static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
    switch (line.pen.lopnStyle) {
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
    cairo_move_to(cr_, line.from.x, line.from.y);
    cairo_line_to(cr_, line.to.x, line.to.y);
    cairo_stroke(cr_);
  }

  // The program's side.
  std::unique_ptr<DocumentOutput> output_;
  GlyphRun run_;
  Page page_;

  // Between the two sides.
  std::mutex mutex_;
  std::condition_variable work_;  // a page waits, or the writer is to stop
  std::condition_variable room_;  // a page was taken, or the writer failed
  std::deque<Page> waiting_;
  bool stopping_ = false;
  bool writer_asleep_ = false;    // waiting for a page
  bool program_waiting_ = false;  // waiting for room
  std::atomic<bool> failed_{false};
  DWORD error_ = 0;
  std::atomic<bool> discarding_{false};
  std::thread writer_;

  // The writer's side (the program's again once the writer has stopped).
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  bool write_failed_ = false;
  DWORD write_error_ = 0;
  std::vector<unsigned char> pending_;  // written by cairo, not yet handed to the output
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
