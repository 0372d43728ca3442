// SPDX-License-Identifier: MIT
#include "gdi/pdf_document.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "common/termination_signals.h"
#include "gdi/glyph_run.h"
#include "gdi/pdf_content.h"
#include "gdi/pdf_file.h"
#include "gdi/pdf_fonts.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

// Pages are written on a thread of the document's own, as the Windows spooler spools a page
// while the program goes on with the next one. The program's calls become the page's PDF
// content as they come (consecutive text calls gathered into runs); at EndPage the content is
// handed to the writer, which compresses it and writes it out. At most kPagesAhead pages wait for
// the writer, so memory stays bounded however long the document. A failure of the writer is
// reported by the next StartPage, EndPage or EndDoc, with the error that caused it.
//
// Every write of the output happens on the writer, the document's end (the fonts, the page
// tree and the hand-over) included, and the program waits for the writer only so long: an output
// that takes no page for that long (a hung network mount) fails the document with
// ERROR_TIMEOUT, and the writer is left to end by itself whenever its write returns. What the
// writer uses is shared with it, so nothing it may still touch is freed under it.
// One page waits at most: a program faster than the writer waits for it rather than gathering
// pages, which would only cost memory. The file reaches the output in blocks of 16 KB.
class PdfDocument final : public PrintDocument {
 public:
  PdfDocument(std::unique_ptr<DocumentOutput> output, const DeviceCaps& caps,
              std::chrono::milliseconds patience)
      : shared_(std::make_shared<Shared>()), patience_(patience), content_(shared_->fonts) {
    Shared& w = *shared_;
    w.output = std::move(output);
    // The PDF page is the physical page; device units start at the printable area's corner.
    x_points_ = 72.0 / std::max(1, caps.log_pixels_x);
    y_points_ = 72.0 / std::max(1, caps.log_pixels_y);
    origin_x_ = caps.physical_offset_x * x_points_;
    origin_y_ = caps.physical_offset_y * y_points_;
    w.width = std::max(1, caps.physical_width) * x_points_;
    w.height = std::max(1, caps.physical_height) * y_points_;
    writer_ = StartWorkerThread([shared = shared_] { shared->WritePages(); });
  }

  ~PdfDocument() override { Abort(); }

  bool StartPage(int) override {
    BeginPage();
    return Healthy();
  }

  bool EndPage() override {
    BeginPage();  // a page ended before anything was drawn is a blank sheet
    run_.Flush(content_);
    std::string page = content_.End();
    page_started_ = false;
    Shared& w = *shared_;
    {
      std::unique_lock<std::mutex> lock(w.mutex);
      if (!w.room.wait_for(lock, patience_,
                           [&w] { return w.waiting.size() < kPagesAhead || w.failed; })) {
        lock.unlock();
        Abandon();
        return Healthy();
      }
      if (!w.failed) w.waiting.push_back(std::move(page));
    }
    w.work.notify_one();
    return Healthy();
  }

  void Text(const TextCall& call) override {
    BeginPage();
    if (!run_.Accepts(call)) run_.Flush(content_);
    run_.Add(call);
  }

  void Fill(const RECT& rect, COLORREF color) override {
    BeginPage();
    run_.Flush(content_);
    content_.Fill(rect, color);
  }

  void Line(POINT from, POINT to, const LOGPEN& pen) override {
    if (pen.lopnStyle == PS_NULL) return;
    BeginPage();
    run_.Flush(content_);
    content_.Line(from, to, pen);
  }

  bool Finish() override {
    if (page_started_ && !EndPage()) return false;
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

  // The writer's side, and what both sides share under `mutex`.
  struct Shared {
    enum class Ending { kNone, kHandOver, kDiscard };

    ~Shared() {
      if (output) output->Abort();
    }

    // Hands bytes to the output; false, keeping the output's error, when it fails.
    bool WriteOut(const unsigned char* data, std::size_t length) {
      if (discarding || !output) return true;
      if (write_failed) return false;
      if (output->Write(data, length)) return true;
      write_error = GetLastError();
      write_failed = true;
      return false;
    }

    // Draws each page handed over until told to end and nothing waits; then ends the
    // document as told.
    void WritePages() {
      Ending how = Ending::kNone;
      for (;;) {
        std::string page;
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
        WritePage(page);
        if (write_failed) {
          std::lock_guard<std::mutex> lock(mutex);
          error = write_error;
          failed = true;
          room.notify_one();
        }
      }
      bool delivered = false;
      if (how == Ending::kHandOver && !failed && !discarding) delivered = HandOver();
      if (!delivered) discarding = true;
      if (!delivered && output) output->Abort();
      std::lock_guard<std::mutex> lock(mutex);
      output.reset();  // finished outputs are never aborted afterwards
      handed_over = delivered;
      done = true;
      room.notify_all();
    }

    // Every page has the same size and resources, which it takes from the page tree.
    void WritePage(const std::string& content) {
      const int contents = file.Reserve();
      file.WriteStream(contents, "", content);
      const int page_object = file.Reserve();
      file.WriteObject(page_object, "<< /Type /Page /Parent " + std::to_string(page_tree) +
                                        " 0 R /Contents " + std::to_string(contents) + " 0 R >>");
      pages.push_back(page_object);
    }

    // The fonts, the page tree and the catalog, then the output's hand-over. A document
    // without a page still has one, blank, as a printer would feed a sheet for it.
    bool HandOver() {
      if (pages.empty()) WritePage({});
      fonts.Write(file, resources);
      std::string kids;
      for (const int page : pages) kids += std::to_string(page) + " 0 R ";
      std::string tree = "<< /Type /Pages /MediaBox [0 0 ";
      AppendPdfNumber(tree, width);
      tree += ' ';
      AppendPdfNumber(tree, height);
      tree += "] /Resources " + std::to_string(resources) + " 0 R /Kids [" + kids + "] /Count " +
              std::to_string(pages.size()) + " >>";
      file.WriteObject(page_tree, tree);
      const int catalog = file.Reserve();
      file.WriteObject(catalog,
                       "<< /Type /Catalog /Pages " + std::to_string(page_tree) + " 0 R >>");
      if (!file.Finish(catalog) || write_failed) {
        error = write_error;
        return false;
      }
      if (discarding) return false;  // given up while the last writes hung
      if (output->Finish()) return true;
      error = GetLastError();
      return false;
    }

    std::mutex mutex;
    std::condition_variable work;     // a page waits, or the writer is to end
    std::condition_variable room;     // a page was taken, the writer failed or it is done
    std::deque<std::string> waiting;  // pages' content
    Ending ending = Ending::kNone;
    std::atomic<bool> failed{false};
    DWORD error = 0;
    std::atomic<bool> discarding{false};
    bool done = false;
    bool handed_over = false;

    std::unique_ptr<DocumentOutput> output;
    bool write_failed = false;
    DWORD write_error = 0;
    double width = 0, height = 0;  // of the page, in points
    PdfFile file{
        [this](const unsigned char* data, std::size_t length) { return WriteOut(data, length); }};
    // Numbered before anything is written: every page names them.
    const int page_tree = file.Reserve();
    const int resources = file.Reserve();
    // Filled as the program draws, written by the writer once the program has ended the
    // document (the hand-over is ordered after the last page under `mutex`).
    PdfFonts fonts;
    std::vector<int> pages;
  };

  void BeginPage() {
    if (page_started_) return;
    page_started_ = true;
    content_.Begin(x_points_, y_points_, origin_x_, origin_y_, shared_->height);
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
  double x_points_ = 1, y_points_ = 1;  // the size of a device unit
  double origin_x_ = 0, origin_y_ = 0;  // of device units on the page, in points
  PdfContent content_;
  GlyphRun run_;
  bool page_started_ = false;
};

}  // namespace

std::unique_ptr<PrintDocument> OpenPdfDocument(std::unique_ptr<DocumentOutput> output,
                                               const DeviceCaps& caps,
                                               std::chrono::milliseconds patience) {
  if (!output) return nullptr;
  return std::make_unique<PdfDocument>(std::move(output), caps, patience);
}

}  // namespace wydruki::platform
