// SPDX-License-Identifier: MIT
// Printer documents: the trace record line by line, PDF documents read back, aborting, and
// the equivalence of coalesced text runs with text drawn call by call.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "gdi/font_realizer.h"
#include "gdi/glyph_run.h"
#include "gdi/pdf_document.h"
#include "gdi_test_support.h"

namespace wydruki::test {
namespace {

class GdiDocumentTest : public GdiTest {
 protected:
  std::vector<std::string> TraceLines() {
    std::istringstream in(dir_.Read("trace.txt"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::vector<std::string> Pdfs() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      if (entry.path().extension() == ".pdf") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<std::string> Everything() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }
};

TEST_F(GdiDocumentTest, TraceFileRecordsEveryEventOnItsOwnLine) {
  HDC dc = Printer("trace-file");
  ASSERT_NE(dc, nullptr);
  LOGFONTA font = MakeFont("Courier New", 131, 55, EASTEUROPE_CHARSET, FW_BOLD);
  HFONT handle = CreateFontIndirectA(&font);
  LOGFONTA italic = MakeFont("Arial", -42, 0, ANSI_CHARSET);
  italic.lfItalic = 1;
  HFONT italic_handle = CreateFontIndirectA(&italic);
  const DOCINFOA info = Doc("C:\\D95\\WYDRUK.TXT");
  const int job = StartDocA(dc, &info);
  EXPECT_GT(job, 0);
  EXPECT_GT(StartPage(dc), 0);
  SelectObject(dc, handle);
  EXPECT_TRUE(TextOutA(dc, 236, 590, "Za\xBF\xF3\xB3\xE6", 6));
  EXPECT_TRUE(TextOutA(dc, -5, 0, "\x00\x7F\xFF", 3));
  EXPECT_TRUE(TextOutA(dc, 1, 2, "", 0));  // nothing drawn, nothing recorded
  EXPECT_GT(EndPage(dc), 0);
  EXPECT_GT(StartPage(dc), 0);
  SelectObject(dc, italic_handle);
  EXPECT_TRUE(TextOutA(dc, 10, 20, "Ab", 2));
  // PolyTextOutA records each string as TextOutA would; a string with options it cannot honour
  // refuses the whole call before anything is drawn.
  const POLYTEXTA strings[] = {{30, 40, 2, "Cd", 0, {}, nullptr},
                               {50, 60, 0, "", 0, {}, nullptr},
                               {70, 80, 1, "e", 0, {}, nullptr}};
  EXPECT_TRUE(PolyTextOutA(dc, strings, 3));
  POLYTEXTA with_options[] = {strings[0], strings[2]};
  with_options[1].uiFlags = 4;
  EXPECT_FALSE(PolyTextOutA(dc, with_options, 2));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(EndDoc(dc), job);  // EndDoc ends the open page

  // A second document is appended; an aborted one says so.
  const DOCINFOA second = Doc("line\nbreak");
  EXPECT_GT(StartDocA(dc, &second), 0);
  EXPECT_GT(StartPage(dc), 0);
  EXPECT_GT(AbortDoc(dc), 0);

  const std::vector<std::string> expected = {
      "DOC C:\\D95\\WYDRUK.TXT",
      "PAGE 1",
      "TEXT 236 590 Courier New|131|55|700|0|238 5A61BFF3B3E6",
      "TEXT -5 0 Courier New|131|55|700|0|238 007FFF",
      "PAGE 2",
      "TEXT 10 20 Arial|-42|0|400|1|0 4162",
      "TEXT 30 40 Arial|-42|0|400|1|0 4364",
      "TEXT 70 80 Arial|-42|0|400|1|0 65",
      "ENDDOC",
      "DOC line?break",
      "PAGE 1",
      "ABORTDOC",
  };
  EXPECT_EQ(TraceLines(), expected);
  EXPECT_TRUE(DeleteDC(dc));
  DeleteObject(handle);
  DeleteObject(italic_handle);
}

TEST_F(GdiDocumentTest, TraceFileThatCannotBeOpenedRefusesTheDocument) {
  dir_.Write("win.ini", "[trace-file]\nport=" + dir_.Path("missing/dir/trace.txt") + "\n");
  HDC dc = Printer("trace-file");
  ASSERT_NE(dc, nullptr);
  const DOCINFOA info = Doc("x");
  EXPECT_EQ(StartDocA(dc, &info), SP_ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(StartPage(dc), SP_ERROR);
  EXPECT_FALSE(TextOutA(dc, 0, 0, "A", 1));
  DeleteDC(dc);
}

TEST_F(GdiDocumentTest, TraceFileOnAFullDiskRefusesTheDocument) {
  dir_.Write("win.ini", "[trace-file]\nport=/dev/full\n");
  HDC dc = Printer("trace-file");
  ASSERT_NE(dc, nullptr);
  const DOCINFOA info = Doc("x");
  EXPECT_EQ(StartDocA(dc, &info), SP_ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
  DeleteDC(dc);
}

TEST_F(GdiDocumentTest, PdfKeepsPolishTextSearchableOnEveryPage) {
  HDC dc = Printer();
  ASSERT_NE(dc, nullptr);
  LOGFONTA font = MakeFont("Courier New", -83);
  HFONT handle = CreateFontIndirectA(&font);
  SelectObject(dc, handle);
  SetBkMode(dc, TRANSPARENT);
  const DOCINFOA info = Doc("C:\\D95\\POLSKI.TXT");
  ASSERT_GT(StartDocA(dc, &info), 0);
  ASSERT_GT(StartPage(dc), 0);
  // "zażółć gęślą jaźń" in Windows-1250, one TextOutA a character as the agent writes.
  const std::string text = "za\xBF\xF3\xB3\xE6 g\xEA\x9C\x6C\xB9 ja\x9F\xF1";
  for (std::size_t i = 0; i < text.size(); ++i)
    ASSERT_TRUE(TextOutA(dc, 100 + 50 * static_cast<int>(i), 200, &text[i], 1));
  ASSERT_GT(EndPage(dc), 0);
  ASSERT_GT(StartPage(dc), 0);
  ASSERT_TRUE(TextOutA(dc, 100, 200, "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF", 9));
  ASSERT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  DeleteObject(handle);

  ASSERT_EQ(Pdfs(), std::vector<std::string>{"POLSKI.TXT.pdf"});
  const std::string out = Run("pdftotext -layout '" + dir_.Path("POLSKI.TXT.pdf") + "' -");
  EXPECT_NE(out.find("zażółć gęślą jaźń"), std::string::npos) << out;
  EXPECT_NE(out.find("ĄĆĘŁŃÓŚŹŻ"), std::string::npos) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\f'), 2) << out;
  // The page is the physical A4 page.
  const std::string info_out = Run("pdfinfo '" + dir_.Path("POLSKI.TXT.pdf") + "'");
  EXPECT_NE(info_out.find("595.2"), std::string::npos) << info_out;
}

// A job switches between bold and regular with two fonts that differ only in weight, made in
// one process. Each must be realised as its own face: a font cache that ignored the weight
// would hand the second font the first one's face.
TEST_F(GdiDocumentTest, FontsDifferingOnlyInWeightAreRealisedAsRegularAndBoldFaces) {
  HDC dc = Printer();
  ASSERT_NE(dc, nullptr);
  const LOGFONTA regular_font = MakeFont("Courier New", -83, 0, 238, 400);
  const LOGFONTA bold_font = MakeFont("Courier New", -83, 0, 238, 700);
  HFONT regular = CreateFontIndirectA(&regular_font);
  HFONT bold = CreateFontIndirectA(&bold_font);
  const DOCINFOA info = Doc("WAGI.TXT");
  ASSERT_GT(StartDocA(dc, &info), 0);
  ASSERT_GT(StartPage(dc), 0);
  TEXTMETRICA metrics{};
  SelectObject(dc, regular);
  ASSERT_TRUE(GetTextMetricsA(dc, &metrics));
  EXPECT_EQ(metrics.tmWeight, 400);
  ASSERT_TRUE(TextOutA(dc, 100, 200, "regular", 7));
  SelectObject(dc, bold);
  ASSERT_TRUE(GetTextMetricsA(dc, &metrics));
  EXPECT_EQ(metrics.tmWeight, 700);
  ASSERT_TRUE(TextOutA(dc, 100, 400, "bold", 4));
  ASSERT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  DeleteObject(regular);
  DeleteObject(bold);

  ASSERT_EQ(Pdfs(), std::vector<std::string>{"WAGI.TXT.pdf"});
  // pdffonts lists one line per embedded font, after a two-line header.
  std::istringstream fonts(Run("pdffonts '" + dir_.Path("WAGI.TXT.pdf") + "'"));
  std::vector<std::string> names;
  std::string line;
  for (int header = 0; header < 2 && std::getline(fonts, line); ++header) {
  }
  while (std::getline(fonts, line)) names.push_back(line.substr(0, line.find(' ')));
  ASSERT_EQ(names.size(), 2u) << "two faces, not one";
  const auto is_bold = [](const std::string& name) {
    return name.find("Bold") != std::string::npos;
  };
  EXPECT_EQ(std::count_if(names.begin(), names.end(), is_bold), 1) << names[0] << " " << names[1];
}

// Device units are pixels of the printable area: (0, 0) is its top-left corner, which lies
// PHYSICALOFFSETX/Y into the physical page; the PDF measures in points (1/72 inch).
TEST_F(GdiDocumentTest, DeviceOriginIsThePrintableAreaCorner) {
  HDC dc = Printer();
  LOGFONTA font = MakeFont("Courier New", -120);
  HFONT handle = CreateFontIndirectA(&font);
  SelectObject(dc, handle);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  const DOCINFOA info = Doc("origin");
  ASSERT_GT(StartDocA(dc, &info), 0);
  ASSERT_GT(StartPage(dc), 0);
  ASSERT_TRUE(TextOutA(dc, 0, 0, "X", 1));
  ASSERT_TRUE(TextOutA(dc, 600, 1200, "Y", 1));
  ASSERT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  DeleteObject(handle);
  const std::string boxes = Run("pdftotext -bbox '" + dir_.Path("origin.pdf") + "' -");
  const auto box_of = [&](const std::string& word, double& x, double& y_max) {
    const auto end = boxes.find(">" + word + "</word>");
    if (end == std::string::npos) return false;
    const auto start = boxes.rfind("<word", end);
    std::sscanf(boxes.c_str() + start, "<word xMin=\"%lf\" yMin=\"%*f\" xMax=\"%*f\" yMax=\"%lf\"",
                &x, &y_max);
    return true;
  };
  double x = 0, bottom = 0;
  ASSERT_TRUE(box_of("X", x, bottom)) << boxes;
  // 100 pixels at 600 per inch = 12 points of margin.
  EXPECT_NEAR(x, 12.0, 0.5);
  EXPECT_NEAR(bottom, 12.0 + tm.tmHeight * 0.12, 3.0);
  ASSERT_TRUE(box_of("Y", x, bottom)) << boxes;
  EXPECT_NEAR(x, 12.0 + 72.0, 0.5);
  EXPECT_NEAR(bottom, 12.0 + 144.0 + tm.tmHeight * 0.12, 3.0);
}

struct AbortState {
  int calls = 0;
  int allow = 0;  // calls answered with TRUE before the first FALSE
};
AbortState* abort_state = nullptr;

BOOL CALLBACK CountingAbortProc(HDC, int) {
  ++abort_state->calls;
  return abort_state->calls <= abort_state->allow;
}

TEST_F(GdiDocumentTest, AbortProcedureIsAskedBetweenPagesAndBeforeHandingOver) {
  AbortState state;
  abort_state = &state;
  HDC dc = Printer();
  ASSERT_EQ(SetAbortProc(dc, CountingAbortProc), 1);
  const DOCINFOA info = Doc("kept");
  state.allow = 100;
  ASSERT_GT(StartDocA(dc, &info), 0);
  for (int page = 0; page < 3; ++page) {
    ASSERT_GT(StartPage(dc), 0);
    ASSERT_GT(EndPage(dc), 0);
  }
  EXPECT_EQ(state.calls, 3);
  ASSERT_GT(EndDoc(dc), 0);
  EXPECT_EQ(state.calls, 4);  // once more while spooling
  EXPECT_EQ(Pdfs(), std::vector<std::string>{"kept.pdf"});

  // FALSE between pages: that EndPage fails and the document is gone.
  state = {0, 1};
  const DOCINFOA stopped = Doc("stopped");
  ASSERT_GT(StartDocA(dc, &stopped), 0);
  ASSERT_GT(StartPage(dc), 0);
  ASSERT_GT(EndPage(dc), 0);
  ASSERT_GT(StartPage(dc), 0);
  EXPECT_EQ(EndPage(dc), SP_ERROR);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_CANCELLED));
  EXPECT_EQ(EndDoc(dc), SP_ERROR);

  // FALSE while spooling: EndDoc fails and nothing is handed over.
  state = {0, 1};
  const DOCINFOA late = Doc("late");
  ASSERT_GT(StartDocA(dc, &late), 0);
  ASSERT_GT(StartPage(dc), 0);
  ASSERT_GT(EndPage(dc), 0);
  EXPECT_EQ(EndDoc(dc), SP_ERROR);
  EXPECT_EQ(Pdfs(), std::vector<std::string>{"kept.pdf"});
  DeleteDC(dc);
  abort_state = nullptr;
}

TEST_F(GdiDocumentTest, AbortedAndAbandonedDocumentsLeaveNoFile) {
  HDC dc = Printer();
  const DOCINFOA info = Doc("aborted");
  ASSERT_GT(StartDocA(dc, &info), 0);
  ASSERT_GT(StartPage(dc), 0);
  TextOutA(dc, 0, 0, "text", 4);
  EXPECT_EQ(AbortDoc(dc), 1);
  EXPECT_EQ(AbortDoc(dc), SP_ERROR);  // no document any more
  EXPECT_EQ(EndPage(dc), SP_ERROR);
  EXPECT_EQ(EndDoc(dc), SP_ERROR);

  // Deleting the context with an open document aborts it.
  ASSERT_GT(StartDocA(dc, &info), 0);
  ASSERT_GT(StartPage(dc), 0);
  EXPECT_TRUE(DeleteDC(dc));
  // Only the profile is left: no PDF, no half-written temporary file.
  EXPECT_EQ(Everything(), std::vector<std::string>{"win.ini"});
}

TEST_F(GdiDocumentTest, DocumentStateIsEnforced) {
  HDC dc = Printer();
  const DOCINFOA info = Doc("state");
  EXPECT_EQ(StartPage(dc), SP_ERROR);  // no document
  EXPECT_FALSE(TextOutA(dc, 0, 0, "A", 1));
  EXPECT_EQ(StartDocA(dc, nullptr), SP_ERROR);
  ASSERT_GT(StartDocA(dc, &info), 0);
  EXPECT_EQ(StartDocA(dc, &info), SP_ERROR);  // one document at a time
  EXPECT_FALSE(TextOutA(dc, 0, 0, "A", 1));   // outside a page
  ASSERT_GT(StartPage(dc), 0);
  EXPECT_EQ(StartPage(dc), SP_ERROR);
  EXPECT_TRUE(TextOutA(dc, 0, 0, "A", 1));
  EXPECT_GT(EndPage(dc), 0);
  EXPECT_EQ(EndPage(dc), SP_ERROR);
  const int job = EndDoc(dc);
  EXPECT_GT(job, 0);
  // A second document on the same context gets the next job.
  EXPECT_GT(StartDocA(dc, &info), job);
  EXPECT_GT(AbortDoc(dc), 0);
  DeleteDC(dc);

  // An information context measures but prints nothing.
  HDC ic = CreateICA(nullptr, "pdf-file", nullptr, nullptr);
  ASSERT_NE(ic, nullptr);
  SIZE size{};
  EXPECT_TRUE(GetTextExtentPointA(ic, "abc", 3, &size));
  EXPECT_GT(size.cx, 0);
  EXPECT_EQ(StartDocA(ic, &info), SP_ERROR);
  EXPECT_FALSE(TextOutA(ic, 0, 0, "A", 1));
  DeleteDC(ic);
  EXPECT_EQ(Pdfs().size(), 1u);
}

// Draws a page of text, either in runs (as a program drawing character by character gets
// them) or with every call on its own, by alternating two fonts that differ only in a field
// drawing ignores.
void DrawSample(HDC dc, bool one_by_one, bool opaque) {
  LOGFONTA first = MakeFont("Courier New", 60, 30);
  LOGFONTA second = first;
  second.lfOutPrecision = OUT_TT_PRECIS;
  HFONT fonts[2] = {CreateFontIndirectA(&first), CreateFontIndirectA(&second)};
  SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
  SetBkColor(dc, RGB(255, 255, 0));
  SetTextColor(dc, RGB(0, 0, 128));
  HGDIOBJ old = SelectObject(dc, fonts[0]);
  const char* lines[] = {"Zaż\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1 0123456789", "ABC abc ---",
                         "overlapping cells"};
  int call = 0;
  for (int row = 0; row < 3; ++row) {
    const char* text = lines[row];
    for (int i = 0; text[i] != '\0'; ++i) {
      if (one_by_one) SelectObject(dc, fonts[call % 2]);
      // The third row's cells overlap each other: later backgrounds cover earlier glyphs.
      const int x = 100 + i * (row == 2 ? 20 : 30);
      TextOutA(dc, x, 100 + row * 50, text + i, 1);
      ++call;
    }
  }
  SelectObject(dc, old);
  DeleteObject(fonts[0]);
  DeleteObject(fonts[1]);
}

TEST_F(GdiDocumentTest, CoalescedRunsDrawExactlyWhatSingleCallsDraw) {
  for (bool opaque : {false, true}) {
    for (bool one_by_one : {false, true}) {
      HDC dc = Printer();
      const std::string name = std::string(opaque ? "opaque" : "clear") + (one_by_one ? "1" : "n");
      const DOCINFOA info = Doc(name.c_str());
      ASSERT_GT(StartDocA(dc, &info), 0);
      ASSERT_GT(StartPage(dc), 0);
      DrawSample(dc, one_by_one, opaque);
      ASSERT_GT(EndDoc(dc), 0);
      DeleteDC(dc);
      Run("pdftoppm -r 100 -png '" + dir_.Path(name + ".pdf") + "' '" + dir_.Path(name) + "'");
    }
    const std::string base = opaque ? "opaque" : "clear";
    const std::string runs = dir_.Read(base + "n-1.png");
    const std::string single = dir_.Read(base + "1-1.png");
    ASSERT_GT(runs.size(), 1000u);
    EXPECT_TRUE(runs == single) << base;
  }
}

// A printer's output that keeps count of its bytes and fails, disk full, past `limit` of them.
class LimitedOutput final : public platform::DocumentOutput {
 public:
  struct Record {
    std::size_t bytes = 0;
    bool finished = false;
    bool aborted = false;
  };
  LimitedOutput(Record* record, std::size_t limit) : record_(record), limit_(limit) {}
  bool Write(const unsigned char*, std::size_t size) override {
    if (record_->bytes + size > limit_) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    record_->bytes += size;
    return true;
  }
  bool Finish() override { return record_->finished = true; }
  void Abort() override { record_->aborted = true; }

 private:
  Record* record_;
  std::size_t limit_;
};

// Sixty lines of eighty letters, as the page printer draws them.
bool PrintPage(platform::PrintDocument& document,
               const std::shared_ptr<const platform::RealizedFont>& font, int page) {
  if (!document.StartPage(page)) return false;
  for (int line = 0; line < 60; ++line) {
    const std::string text(80, static_cast<char>('A' + (page + line) % 26));
    platform::TextCall call;
    call.y = line * 100;
    call.font = font.get();
    call.font_owner = &font;
    call.baseline = call.y + font->Metrics().tmAscent;
    call.bytes = reinterpret_cast<const unsigned char*>(text.data());
    call.count = static_cast<int>(text.size());
    call.width = call.count * font->Advance('A');
    document.Text(call);
  }
  return document.EndPage();
}

// Pages are written while the program draws the next ones: a page that cannot be written
// stops the document at a later page or at its end, with the output's own error, and the
// output is discarded rather than handed over.
TEST_F(GdiDocumentTest, AnOutputThatFailsStopsTheDocumentWithItsError) {
  const auto font = platform::RealizedFont::Realize(MakeFont("Courier New", -100), 600);
  ASSERT_NE(font, nullptr);
  for (const std::size_t limit : {std::size_t{4000}, std::size_t{40000}}) {
    LimitedOutput::Record record;
    auto document = platform::OpenPdfDocument(std::make_unique<LimitedOutput>(&record, limit), {});
    ASSERT_NE(document, nullptr);
    bool going = true;
    int pages = 0;
    while (going && pages < 200) going = PrintPage(*document, font, ++pages);
    if (going) going = document->Finish();
    EXPECT_FALSE(going) << limit;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL)) << limit;
    EXPECT_LT(pages, 200) << "the failure surfaces while the document goes on";
    document->Abort();  // as the device context does on failure
    EXPECT_TRUE(record.aborted);
    EXPECT_FALSE(record.finished);
  }
}

TEST_F(GdiDocumentTest, DocumentsAreHandedOverWholeOrDiscardedWhole) {
  const auto font = platform::RealizedFont::Realize(MakeFont("Courier New", -100), 600);
  ASSERT_NE(font, nullptr);
  LimitedOutput::Record whole;
  auto document = platform::OpenPdfDocument(std::make_unique<LimitedOutput>(&whole, 1 << 30), {});
  for (int page = 1; page <= 30; ++page) ASSERT_TRUE(PrintPage(*document, font, page));
  ASSERT_TRUE(document->Finish());
  EXPECT_TRUE(whole.finished);
  EXPECT_GT(whole.bytes, 30u * 500);
  // Dropped with pages still waiting to be written: discarded, never handed over.
  LimitedOutput::Record dropped;
  document = platform::OpenPdfDocument(std::make_unique<LimitedOutput>(&dropped, 1 << 30), {});
  for (int page = 1; page <= 30; ++page) ASSERT_TRUE(PrintPage(*document, font, page));
  document.reset();
  EXPECT_TRUE(dropped.aborted);
  EXPECT_FALSE(dropped.finished);
}

// An output on a network mount that stops answering: once hung, every Write and Finish waits
// until the mount is back (released).
class HungOutput final : public platform::DocumentOutput {
 public:
  struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool hung = false, released = false;
    bool finished = false, aborted = false, ended = false;
    void Set(bool Gate::*flag) {
      std::lock_guard<std::mutex> lock(mutex);
      this->*flag = true;
      changed.notify_all();
    }
  };
  explicit HungOutput(std::shared_ptr<Gate> gate) : gate_(std::move(gate)) {}
  ~HungOutput() override { gate_->Set(&Gate::ended); }
  bool Write(const unsigned char*, std::size_t) override {
    Hang();
    return true;
  }
  bool Finish() override {
    Hang();
    gate_->Set(&Gate::finished);
    return true;
  }
  void Abort() override { gate_->Set(&Gate::aborted); }

 private:
  void Hang() {
    std::unique_lock<std::mutex> lock(gate_->mutex);
    gate_->changed.wait(lock, [this] { return !gate_->hung || gate_->released; });
  }
  std::shared_ptr<Gate> gate_;
};

// A hung output fails the document (the job is kept and tried again) instead of freezing the
// program's loop, whether it hangs on a page or on the hand-over; and a document given up is
// never handed over later, when the mount comes back.
TEST_F(GdiDocumentTest, AnOutputThatHangsFailsTheDocumentInsteadOfFreezingTheProgram) {
  const auto font = platform::RealizedFont::Realize(MakeFont("Courier New", -100), 600);
  ASSERT_NE(font, nullptr);
  for (const bool at_hand_over : {false, true}) {
    auto gate = std::make_shared<HungOutput::Gate>();
    auto document = platform::OpenPdfDocument(std::make_unique<HungOutput>(gate), {},
                                              std::chrono::milliseconds(100));
    ASSERT_NE(document, nullptr);
    bool going = !at_hand_over || PrintPage(*document, font, 1);
    ASSERT_TRUE(going);
    gate->Set(&HungOutput::Gate::hung);
    // The output is written in blocks: enough pages that one reaches it.
    for (int page = 1; going && !at_hand_over && page < 1000;)
      going = PrintPage(*document, font, ++page);
    if (at_hand_over) going = document->Finish();
    EXPECT_FALSE(going) << at_hand_over;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT)) << at_hand_over;
    document->Abort();
    document.reset();
    gate->Set(&HungOutput::Gate::released);
    std::unique_lock<std::mutex> lock(gate->mutex);
    ASSERT_TRUE(gate->changed.wait_for(lock, std::chrono::seconds(30), [&] { return gate->ended; }))
        << "the writer ends once the mount is back";
    EXPECT_FALSE(gate->finished) << at_hand_over;
    EXPECT_TRUE(gate->aborted) << at_hand_over;
  }
}

std::vector<cairo_glyph_t> GlyphsAtPitch(int count, double pitch) {
  std::vector<cairo_glyph_t> glyphs;
  for (int i = 0; i < count; ++i) glyphs.push_back({0, std::nearbyint(100 + i * pitch), 500});
  return glyphs;
}

TEST(UniformPitchTest, FindsThePitchOfRoundedPositionsAndNothingElse) {
  auto glyphs = GlyphsAtPitch(80, 55.2);
  const auto pitch = platform::UniformPitch(glyphs.data(), 80, 55);
  ASSERT_TRUE(pitch.has_value());
  EXPECT_NEAR(*pitch, 55.2, 1.0 / 64);
  // A glyph two units out of line is drawn where its call put it.
  glyphs[40].x += 2;
  EXPECT_FALSE(platform::UniformPitch(glyphs.data(), 80, 55));
  // Two columns of one line, or a pitch far from the face's advance, are not one grid.
  glyphs = GlyphsAtPitch(10, 55.2);
  for (int i = 5; i < 10; ++i) glyphs[i].x += 300;
  EXPECT_FALSE(platform::UniformPitch(glyphs.data(), 10, 55));
  glyphs = GlyphsAtPitch(10, 110.4);
  EXPECT_FALSE(platform::UniformPitch(glyphs.data(), 10, 55));
  EXPECT_TRUE(platform::UniformPitch(glyphs.data(), 10, 110));
  EXPECT_FALSE(platform::UniformPitch(glyphs.data(), 1, 110));
}

// A line drawn a character at a time at a fractional pitch ends where its last call put it:
// the face is stretched to the pitch, not left at its whole-unit advance.
TEST_F(GdiDocumentTest, FractionalPitchLineEndsWhereItsCallsPutIt) {
  HDC dc = Printer();
  LOGFONTA font = MakeFont("Courier New", -92);
  font.lfWidth = 55;
  HFONT handle = CreateFontIndirectA(&font);
  SelectObject(dc, handle);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "M", 1, &size));
  ASSERT_EQ(size.cx, 55);
  const DOCINFOA info = Doc("pitch");
  ASSERT_GT(StartDocA(dc, &info), 0);
  ASSERT_GT(StartPage(dc), 0);
  const auto glyphs = GlyphsAtPitch(80, 55.2);
  for (const auto& glyph : glyphs) ASSERT_TRUE(TextOutA(dc, int(glyph.x), 600, "M", 1));
  ASSERT_GT(EndDoc(dc), 0);
  DeleteDC(dc);
  DeleteObject(handle);
  const std::string boxes = Run("pdftotext -bbox '" + dir_.Path("pitch.pdf") + "' -");
  double left = 0, right = 0;
  ASSERT_EQ(std::sscanf(boxes.c_str() + boxes.find("<word"),
                        "<word xMin=\"%lf\" yMin=\"%*f\" xMax=\"%lf\"", &left, &right),
            2)
      << boxes;
  // Device unit = 0.12 point; the margin is 100 units.
  EXPECT_NEAR(left, (100 + 100) * 0.12, 0.13);
  EXPECT_NEAR(right, (100 + glyphs.back().x + 55) * 0.12, 0.13);
}

}  // namespace
}  // namespace wydruki::test
