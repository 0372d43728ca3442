// SPDX-License-Identifier: MIT
#include "gdi/pdf_document.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <atomic>
#include <chrono>
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
// Every write of the output happens on the writer, the document's end (cairo's last objects
// and the hand-over) included, and the program waits for the writer only so long: an output
// that takes no page for that long (a hung network mount) fails the document with
// ERROR_TIMEOUT, and the writer is left to end by itself whenever its write returns. What the
// writer uses is shared with it, so nothing it may still touch is freed under it.
// One page waits at most: a program faster than the writer waits for it rather than gathering
// pages, which would only cost memory. cairo writes its stream in small pieces; they reach
// the output in blocks of kOutputBlock bytes.
class PdfDocument final : public PrintDocument {
 public:
  PdfDocument(std::unique_ptr<DocumentOutput> output, const DeviceCaps& caps,
              std::chrono::milliseconds patience)
      : shared_(std::make_shared<Shared>()), patience_(patience) {
    Shared& w = *shared_;
    w.output = std::move(output);
    const double x_points = 72.0 / std::max(1, caps.log_pixels_x);
    const double y_points = 72.0 / std::max(1, caps.log_pixels_y);
    // The PDF page is the physical page; device units start at the printable area's corner.
    w.surface = cairo_pdf_surface_create_for_stream(&Shared::WriteChunk, &w,
                                                    std::max(1, caps.physical_width) * x_points,
                                                    std::max(1, caps.physical_height) * y_points);
    w.cr = cairo_create(w.surface);
    cairo_scale(w.cr, x_points, y_points);
    cairo_translate(w.cr, caps.physical_offset_x, caps.physical_offset_y);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(w.cr, options);
    cairo_font_options_destroy(options);
    if (Usable()) writer_ = StartWorkerThread([shared = shared_] { shared->WritePages(); });
  }

  ~PdfDocument() override { Abort(); }

  bool Usable() const { return cairo_status(shared_->cr) == CAIRO_STATUS_SUCCESS; }

  bool StartPage(int) override { return Healthy(); }

  bool EndPage() override {
    EndRun();
    Shared& w = *shared_;
    {
      std::unique_lock<std::mutex> lock(w.mutex);
      if (!w.room.wait_for(lock, patience_,
                           [&w] { return w.waiting.size() < kPagesAhead || w.failed; })) {
        lock.unlock();
        Abandon();
        return Healthy();
      }
      if (!w.failed) w.waiting.push_back(std::move(page_));
    }
    page_.clear();
    w.work.notify_one();
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
    if (!page_.empty() && !EndPage()) return false;
    if (!StopWriter(Shared::Ending::kHandOver)) return Healthy();
    Shared& w = *shared_;
    if (!w.handed_over) {
      SetLastError(w.error);
      return false;
    }
    return true;
  }

  void Abort() override {
    {
      std::lock_guard<std::mutex> lock(shared_->mutex);
      shared_->waiting.clear();
    }
    StopWriter(Shared::Ending::kDiscard);
  }

 private:
  static constexpr std::size_t kPagesAhead = 1;
  static constexpr std::size_t kOutputBlock = 16 * 1024;

  // The writer's side, and what both sides share under `mutex`.
  struct Shared {
    enum class Ending { kNone, kHandOver, kDiscard };

    ~Shared() {
      if (cr != nullptr) cairo_destroy(cr);
      if (surface != nullptr) cairo_surface_destroy(surface);
      if (output) output->Abort();
    }

    static cairo_status_t WriteChunk(void* closure, const unsigned char* data,
                                     unsigned int length) {
      auto* self = static_cast<Shared*>(closure);
      if (self->discarding || !self->output) return CAIRO_STATUS_SUCCESS;
      if (self->write_failed) return CAIRO_STATUS_WRITE_ERROR;
      if (self->pending.size() + length > kOutputBlock && !self->WritePending())
        return CAIRO_STATUS_WRITE_ERROR;
      if (length >= kOutputBlock)
        return self->WriteOut(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
      if (self->pending.capacity() < kOutputBlock) self->pending.reserve(kOutputBlock);
      self->pending.insert(self->pending.end(), data, data + length);
      return CAIRO_STATUS_SUCCESS;
    }

    // Hands bytes to the output; false, keeping the output's error, when it fails.
    bool WriteOut(const unsigned char* data, std::size_t length) {
      if (output->Write(data, length)) return true;
      write_error = GetLastError();
      write_failed = true;
      return false;
    }

    bool WritePending() {
      const bool written = pending.empty() || WriteOut(pending.data(), pending.size());
      pending.clear();
      return written;
    }

    // Draws each page handed over until told to end and nothing waits; then ends the
    // document as told.
    void WritePages() {
      Ending how = Ending::kNone;
      for (;;) {
        Page page;
        {
          std::unique_lock<std::mutex> lock(mutex);
          work.wait(lock, [this] { return !waiting.empty() || ending != Ending::kNone; });
          how = ending;
          if (waiting.empty()) break;
          page = std::move(waiting.front());
          waiting.pop_front();
        }
        room.notify_one();
        if (failed || discarding) continue;
        for (PageStep& step : page) std::visit([this](auto& s) { Draw(s); }, step);
        cairo_show_page(cr);
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || write_failed) {
          std::lock_guard<std::mutex> lock(mutex);
          error = write_failed ? write_error : ERROR_NOT_ENOUGH_MEMORY;
          failed = true;
          room.notify_one();
        }
      }
      bool delivered = false;
      if (how == Ending::kHandOver && !failed && !discarding) delivered = HandOver();
      if (!delivered) discarding = true;  // what cairo writes from now on goes nowhere
      if (cr != nullptr) cairo_destroy(cr);
      cr = nullptr;
      cairo_surface_destroy(surface);
      surface = nullptr;
      if (!delivered && output) output->Abort();
      std::lock_guard<std::mutex> lock(mutex);
      output.reset();  // finished outputs are never aborted afterwards
      handed_over = delivered;
      done = true;
      room.notify_all();
    }

    // cairo's last objects, then the output's hand-over.
    bool HandOver() {
      cairo_destroy(cr);
      cr = nullptr;
      cairo_surface_finish(surface);
      if (!discarding && output) WritePending();
      if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS || write_failed) {
        error = write_failed ? write_error : ERROR_NOT_ENOUGH_MEMORY;
        return false;
      }
      if (discarding) return false;  // given up while cairo's last writes hung
      if (output->Finish()) return true;
      error = GetLastError();
      return false;
    }

    void Draw(GlyphRun& run) { run.Flush(cr); }
    void Draw(const FillStep& fill);
    void Draw(const LineStep& line);

    std::mutex mutex;
    std::condition_variable work;  // a page waits, or the writer is to end
    std::condition_variable room;  // a page was taken, the writer failed or it is done
    std::deque<Page> waiting;
    Ending ending = Ending::kNone;
    std::atomic<bool> failed{false};
    DWORD error = 0;
    std::atomic<bool> discarding{false};
    bool done = false;
    bool handed_over = false;

    std::unique_ptr<DocumentOutput> output;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;
    bool write_failed = false;
    DWORD write_error = 0;
    std::vector<unsigned char> pending;  // written by cairo, not yet handed to the output
  };

  void EndRun() {
    if (run_.Empty()) return;
    page_.emplace_back(std::move(run_));
    run_ = GlyphRun();
  }

  // Tells the writer how to end and waits for it; false when it did not end in time (the
  // document has then failed with ERROR_TIMEOUT).
  bool StopWriter(Shared::Ending ending) {
    if (!writer_.joinable()) return true;
    Shared& w = *shared_;
    {
      std::unique_lock<std::mutex> lock(w.mutex);
      if (ending == Shared::Ending::kDiscard) w.discarding = true;
      w.ending = ending;
      w.work.notify_one();
      if (!w.room.wait_for(lock, patience_, [&w] { return w.done; })) {
        lock.unlock();
        Abandon();
        return false;
      }
    }
    writer_.join();
    return true;
  }

  // The output does not answer: the document fails, and the writer ends on its own whenever
  // its write returns, discarding the document.
  void Abandon() {
    Shared& w = *shared_;
    {
      std::lock_guard<std::mutex> lock(w.mutex);
      if (!w.failed) w.error = ERROR_TIMEOUT;
      w.failed = true;
      w.discarding = true;
      w.waiting.clear();
      w.ending = Shared::Ending::kDiscard;
      if (w.output) w.output->GiveUp();
    }
    w.work.notify_one();
    if (writer_.joinable()) writer_.detach();
  }

  // False, with the writer's error as the last error, once a page could not be written.
  bool Healthy() {
    Shared& w = *shared_;
    if (!w.failed) return true;
    std::lock_guard<std::mutex> lock(w.mutex);
    SetLastError(w.error);
    return false;
  }

  std::shared_ptr<Shared> shared_;
  std::chrono::milliseconds patience_;
  std::thread writer_;
  // The program's side.
  GlyphRun run_;
  Page page_;
};

void PdfDocument::Shared::Draw(const FillStep& fill) {
  SetColor(cr, fill.color);
  cairo_rectangle(cr, fill.rect.left, fill.rect.top, double(fill.rect.right) - fill.rect.left,
                  double(fill.rect.bottom) - fill.rect.top);
  cairo_fill(cr);
}

void PdfDocument::Shared::Draw(const LineStep& line) {
  const double width = std::max<LONG>(1, line.pen.lopnWidth.x);
  SetColor(cr, line.pen.lopnColor);
  cairo_set_line_width(cr, width);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  static const double kDash[] = {18, 6};
  static const double kDot[] = {3, 3};
  static const double kDashDot[] = {9, 6, 3, 6};
  static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
  switch (line.pen.lopnStyle) {
    case PS_DASH:
      cairo_set_dash(cr, kDash, 2, 0);
      break;
    case PS_DOT:
      cairo_set_dash(cr, kDot, 2, 0);
      break;
    case PS_DASHDOT:
      cairo_set_dash(cr, kDashDot, 4, 0);
      break;
    case PS_DASHDOTDOT:
      cairo_set_dash(cr, kDashDotDot, 6, 0);
      break;
    default:
      cairo_set_dash(cr, nullptr, 0, 0);
  }
  cairo_move_to(cr, line.from.x, line.from.y);
  cairo_line_to(cr, line.to.x, line.to.y);
  cairo_stroke(cr);
}

}  // namespace

std::unique_ptr<PrintDocument> OpenPdfDocument(std::unique_ptr<DocumentOutput> output,
                                               const DeviceCaps& caps,
                                               std::chrono::milliseconds patience) {
  if (!output) return nullptr;
  auto document = std::make_unique<PdfDocument>(std::move(output), caps, patience);
  if (!document->Usable()) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;  // the destructor discards the output
  }
  return document;
}

}  // namespace wydruki::platform
