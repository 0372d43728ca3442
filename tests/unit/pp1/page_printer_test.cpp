// SPDX-License-Identifier: MIT
#include "pp1/PagePrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sstream>
#include <string_view>
#include <string>
#include <vector>

#include "pp1/CharMap.h"
#include "pp2/FontSettings.h"
#include "pp2/TextLines.h"
#include "test_support/temp_dir.h"

namespace wydruki::pp1 {
namespace {

using test::ScopedEnv;
using test::TempDir;

struct TextCall {
  int x = 0;
  int y = 0;
  std::string font;  // face|height|width|weight|italic|charset
  std::string hex;
};

// Prints on the "trace-file" printer with a page of the given printable size and reads back
// every character drawn.
class PagePrinterTest : public ::testing::Test {
 protected:
  // A printable area of width x height, 100 units in from the sheet's top left corner; the
  // sheet reaches 100 units beyond it unless given.
  void UsePage(int width, int height, int sheet_width = 0, int sheet_height = 0) {
    ini_.reset();
    const std::string profile =
        "[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport=" + dir_.Path("trace.txt") +
        "\nLOGPIXELSX=600\nLOGPIXELSY=600\nPHYSICALWIDTH=" +
        std::to_string(sheet_width > 0 ? sheet_width : width + 200) +
        "\nPHYSICALHEIGHT=" + std::to_string(sheet_height > 0 ? sheet_height : height + 200) +
        "\nPHYSICALOFFSETX=100\nPHYSICALOFFSETY=100\nHORZRES=" + std::to_string(width) +
        "\nVERTRES=" + std::to_string(height) + "\n";
    // A new file for each page: the profile of a path is read again only when it changes.
    ini_ = std::make_unique<ScopedEnv>(
        "WYDRUKI_INI", dir_.Write("win" + std::to_string(++pages_made_) + ".ini", profile));
    printer_ = std::make_unique<printers::TPrinter>();
    pages_ = std::make_unique<PagePrinter>(
        *printer_, [this] { Drained(); }, cancel_);
    pp2::BuildPrintLogFont("Courier New", "100", 1);
  }
  void SetUp() override { UsePage(2044, 2900); }
  void TearDown() override {
    pages_.reset();
    printer_.reset();
  }

  void Drained() {
    ++drains_;
    if (on_drain_) on_drain_();
    if (cancel_after_drains_ > 0 && drains_ >= cancel_after_drains_) cancel_ = true;
  }

  std::vector<TextCall> Print(const std::vector<std::string>& lines, bool standard = false) {
    printer_->StartDocument();
    if (standard)
      pages_->WydrukStartOld(CreateFontIndirectA(&pp2::PrintLogFont), 77);
    else
      pages_->WydrukStart(77);
    if (standard)
      pages_->Wydruk1StronyOld(lines, static_cast<int>(lines.size()));
    else
      pages_->Wydruk1Strony(lines, static_cast<int>(lines.size()));
    printer_->FinishDocument();
    return Calls();
  }

  // Prints pages line by line as the job driver does, each line in pieces of `piece` bytes.
  std::vector<TextCall> PrintPages(const std::vector<std::vector<std::string>>& pages,
                                   std::size_t piece = 1 << 16) {
    printer_->StartDocument();
    pages_->WydrukStart(77);
    for (std::size_t p = 0; p < pages.size(); ++p) {
      if (p > 0) printer_->NextPage();
      pages_->BeginPage(false);
      for (const auto& line : pages[p]) {
        for (std::size_t at = 0; at < line.size(); at += piece)
          pages_->RenderText(std::string_view(line).substr(at, piece));
        pages_->EndLine();
      }
    }
    printer_->FinishDocument();
    return Calls();
  }

  std::vector<TextCall> Calls() {
    std::vector<TextCall> calls;
    std::istringstream trace(dir_.Read("trace.txt"));
    for (std::string line; std::getline(trace, line);) {
      if (line.rfind("TEXT ", 0) != 0) continue;
      std::istringstream fields(line.substr(5));
      TextCall call;
      fields >> call.x >> call.y >> std::ws;
      std::string rest;
      std::getline(fields, rest);
      const auto space = rest.rfind(' ');
      call.font = rest.substr(0, space);
      call.hex = rest.substr(space + 1);
      calls.push_back(call);
    }
    return calls;
  }

  TempDir dir_;
  std::unique_ptr<ScopedEnv> ini_;
  std::unique_ptr<printers::TPrinter> printer_;
  std::unique_ptr<PagePrinter> pages_;
  bool cancel_ = false;
  int drains_ = 0;
  int cancel_after_drains_ = 0;
  int pages_made_ = 0;
  std::function<void()> on_drain_;
};

std::string Esc(char command) { return std::string("\x1B") + command; }

TEST_F(PagePrinterTest, CharactersStandAtTheEndOfTheirCellsRoundedToEven) {
  const auto calls = Print({"ABCD"});
  ASSERT_EQ(calls.size(), 4u);
  const int expected_x[] = {106, 129, 152, 176};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(calls[i].x, expected_x[i]);
    EXPECT_EQ(calls[i].y, pages_->Metrics().TopMargin);
  }
  EXPECT_EQ(calls[0].hex, "41");
  EXPECT_EQ(pages_->Metrics().LeftMargin, 82);
}

TEST_F(PagePrinterTest, DoubleWidthDoublesTheAdvanceAndLinesStepByTheLineHeight) {
  const auto calls = Print({Esc('W') + "AB", "", "C"});
  ASSERT_EQ(calls.size(), 3u);
  // A normal cell is 1880 / 80 = 23.5 units; a wide character advances two of them from the
  // margin of 82. Lines are (2900 - 2 × 172) / 58 = 44 units apart below the top margin of 172.
  EXPECT_EQ(calls[0].x, 129);
  EXPECT_EQ(calls[1].x, 176);
  EXPECT_EQ(calls[2].y, 172 + 2 * 44);
}

TEST_F(PagePrinterTest, EscapeSequencesAcrossFormFeedsLineEndsAndUnknownCommands) {
  const auto calls = Print({Esc('\x1B') + "B",
                            "\x1B\x0C"
                            "B"
                            "x",
                            "\x1B", "Bz", Esc('X') + "y"});
  // ESC ESC B: the second ESC is an unknown command, B is drawn.
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].hex, "42");
  // ESC, form feed, B: bold from then on (the chosen weight is 500).
  EXPECT_NE(calls[0].font.find("|500|"), std::string::npos) << calls[0].font;
  EXPECT_EQ(calls[1].hex, "78");
  EXPECT_NE(calls[1].font.find("|800|"), std::string::npos) << calls[1].font;
  // An ESC ending a line takes the next line's first byte as its command.
  EXPECT_EQ(calls[2].hex, "7A");
  // ESC X changes nothing and draws nothing.
  EXPECT_EQ(calls[3].hex, "79");
  EXPECT_EQ(calls[3].x, 106);
}

TEST_F(PagePrinterTest, CondensedDoubleWidthCharactersStandOneLineHigher) {
  const auto calls = Print({Esc('C') + "a" + Esc('W') + "b"});
  ASSERT_EQ(calls.size(), 2u);
  const auto& m = pages_->Metrics();
  EXPECT_EQ(calls[0].y, m.TopMargin + pages_->CondensedOffset());
  EXPECT_EQ(calls[1].y, m.TopMargin - m.LineHeightNormal);
  // The page is 2044 units wide: margins of 82, a text area of 1880, a condensed cell of
  // 1880 / 122 = 15.4098. "a" takes one cell; the double-width "b" is drawn across its two
  // cells from 82 + 3 × 15.4098 = 128.23.
  EXPECT_EQ(m.LeftMargin, 82);
  EXPECT_EQ(calls[1].x, 128);
}

TEST_F(PagePrinterTest, TheEliteLatchBringsBackEliteAdvancesWithTheEightyColumnFont) {
  const auto calls = Print({Esc('P') + Esc('C') + Esc('c') + "ab"});
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(pages_->Pitch(), PitchMode::Elite);
  // An elite cell of the 1880-unit text area is 1880 / 96 = 19.583; "a" stands one elite cell
  // past the left margin of 82: 101.58.
  EXPECT_EQ(calls[0].x, 102);
  // The font is the 80-column cell font at reduced height.
  const std::string width = "|" + std::to_string(pages_->Sizes().Size80) + "|";
  EXPECT_NE(calls[0].font.find(width), std::string::npos) << calls[0].font;
}

TEST_F(PagePrinterTest, ACancelStopsBeforeTheNextCharacter) {
  cancel_after_drains_ = 1;  // set while the first line's end pumps messages
  const auto calls = Print({"ab", "cd", "ef"});
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].hex, "62");
}

TEST_F(PagePrinterTest, TheChosenFontSetUpGivesTheGridOfAnA4Page) {
  UsePage(4800, 6600);
  pp2::BuildPrintLogFont("Courier New", "120", 3);
  const auto calls = Print({"A"});
  const auto& m = pages_->Metrics();
  EXPECT_EQ(m.LeftMargin, 192);
  EXPECT_EQ(m.TopMargin, 404);
  const auto& s = pages_->Sizes();
  EXPECT_EQ(s.Size80, 55);
  EXPECT_EQ(s.Size40, 110);
  EXPECT_EQ(s.SizeCondensed, 36);
  EXPECT_EQ(s.SizeCondensedWide, 72);
  EXPECT_EQ(s.Size96, 46);
  EXPECT_EQ(s.Size48, 92);
  ASSERT_EQ(calls.size(), 1u);
  // The first font is the full-height 80-column cell font: 120 % of two cells, truncated.
  EXPECT_EQ(calls[0].font, "Courier New|131|55|700|0|238");
}

TEST_F(PagePrinterTest, TheStandardFontSetUpStartsInBoldAndFitsEightyColumns) {
  pp2::BuildPrintLogFont("Courier New", "100", 0);  // a light weight is chosen
  const auto calls = Print({"A" + Esc('b') + "B"}, true);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_NE(calls[0].font.find("|700|"), std::string::npos) << calls[0].font;
  EXPECT_EQ(calls[1].font.find("|700|"), std::string::npos) << calls[1].font;
  const auto& s = pages_->Sizes();
  EXPECT_GT(s.Size40, s.Size80);
  EXPECT_GT(s.Size80, s.Size96);
  EXPECT_GT(s.Size96, s.SizeCondensed);
  // 80 bold "D" at Size80 fit the printable width; one point more would not.
  auto& canvas = printer_->PrintCanvas();
  canvas.Font().SetStyle(graphics::TFontStyles{graphics::fsBold});
  canvas.Font().SetSize(s.Size80);
  EXPECT_LE(canvas.MeasureWidth(std::string(80, 'D')), 2044);
  canvas.Font().SetSize(s.Size80 + 1);
  EXPECT_GT(canvas.MeasureWidth(std::string(80, 'D')), 2044);
}

// The font dialog's "before" sample is a copy of the print font description taken when it
// opens: a job that wrote its printer sizes into the description showed them there.
TEST_F(PagePrinterTest, AChosenFontJobLeavesTheUsersFontSettingsAsTheyWere) {
  pp2::BuildPrintLogFont("Courier New", "120", 3);
  const LOGFONTA before = pp2::PrintLogFont;
  const auto calls = Print({"A" + Esc('C') + "B" + Esc('W') + Esc('B') + "C"});
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(pp2::PrintLogFont.lfHeight, before.lfHeight);
  EXPECT_EQ(pp2::PrintLogFont.lfWidth, before.lfWidth);
  EXPECT_EQ(pp2::PrintLogFont.lfWeight, before.lfWeight);
  EXPECT_EQ(std::memcmp(&pp2::PrintLogFont, &before, sizeof before), 0);
}

// Messages are handled between commands, so the font dialog can apply a new font halfway
// through a document; the job goes on in the font it started with.
TEST_F(PagePrinterTest, AFontAppliedWhileAJobPrintsWaitsForTheNextJob) {
  pp2::BuildPrintLogFont("Courier New", "120", 3);
  on_drain_ = [] { pp2::BuildPrintLogFont("DejaVu Sans Mono", "100", 0); };
  const auto calls = Print({"A" + Esc('C') + "B", Esc('B') + "C" + Esc('b') + "D"});
  ASSERT_EQ(calls.size(), 4u);
  for (const auto& call : calls) EXPECT_EQ(call.font.rfind("Courier New|", 0), 0u) << call.font;
  EXPECT_NE(calls[2].font.find("|800|"), std::string::npos) << calls[2].font;
  EXPECT_NE(calls[3].font.find("|700|"), std::string::npos) << "back to the job's own weight";
  on_drain_ = nullptr;
  const auto next = Print({"E"});
  ASSERT_EQ(next.size(), 5u);
  EXPECT_EQ(next[4].font.rfind("DejaVu Sans Mono|", 0), 0u) << next[4].font;
}

// A listing without form feeds runs far below the sheet. What falls past the sheet's bottom
// is not drawn (the device would clip it whole), but the commands there still change the
// state that the next page starts with.
TEST_F(PagePrinterTest, LinesBelowTheSheetAreNotDrawnButTheirCommandsCarryOn) {
  UsePage(2044, 2900);  // the sheet ends 2900 + 100 units below the printable area's top
  std::vector<std::string> long_page(400, "x");
  long_page.back() = Esc('C') + "x";
  const auto calls = PrintPages({long_page, {"y"}});
  ASSERT_GE(calls.size(), 2u);
  const auto& m = pages_->Metrics();
  int lowest = 0;
  for (std::size_t i = 0; i + 1 < calls.size(); ++i) {
    EXPECT_LT(calls[i].y, 3000) << "drawn below the sheet";
    lowest = std::max(lowest, calls[i].y);
  }
  EXPECT_GE(lowest + m.LineHeightNormal, 3000) << "a line still on the sheet was left out";
  // The next page starts condensed, as ESC C on the last (undrawn) line said.
  EXPECT_EQ(calls.back().hex, "79");
  EXPECT_EQ(calls.back().y, m.TopMargin + pages_->CondensedOffset());
  const std::string condensed = "|" + std::to_string(pages_->Sizes().SizeCondensed) + "|";
  EXPECT_NE(calls.back().font.find(condensed), std::string::npos) << calls.back().font;
}

// ESC G spaces the lines after its own by the job's line count, ESC g by the normal one.
TEST_F(PagePrinterTest, EscGSpacesTheFollowingLinesByTheJobsLineCount) {
  const auto calls = PrintPages({{"a", Esc('G') + "b", "c", Esc('g') + "d", "e"}});
  ASSERT_EQ(calls.size(), 5u);
  const auto& m = pages_->Metrics();
  ASSERT_NE(m.LineHeightJob, m.LineHeightNormal) << "77 lines a page differ from 58";
  EXPECT_EQ(calls[1].y - calls[0].y, m.LineHeightNormal);
  EXPECT_EQ(calls[2].y - calls[1].y, m.LineHeightJob);
  EXPECT_EQ(calls[3].y - calls[2].y, m.LineHeightJob);
  EXPECT_EQ(calls[4].y - calls[3].y, m.LineHeightNormal);
}

// The sheet's edges exactly: a character whose line falls on the bottom edge, or whose cell
// falls on the right edge, is off the sheet; the one before it is on it.
TEST_F(PagePrinterTest, TheSheetsLastRowAndColumnEndJustBeforeItsEdges) {
  const std::vector<std::string> page(70, std::string(100, 'x'));  // past both margins
  UsePage(2044, 2900, 9000, 9000);
  const auto everywhere = PrintPages({page});
  std::vector<int> rows, columns;
  for (const auto& call : everywhere) {
    if (rows.empty() || rows.back() != call.y) rows.push_back(call.y);
    if (call.y == everywhere.front().y) columns.push_back(call.x);
  }
  // A row and a column beyond the printable area (2900 x 2044, from 100 in).
  const auto row = std::find_if(rows.begin(), rows.end(), [](int y) { return y > 2900; });
  const auto column = std::find_if(columns.begin(), columns.end(), [](int x) { return x > 2044; });
  ASSERT_NE(row, rows.end());
  ASSERT_NE(column, columns.end());
  const int bottom = *row, right = *column;

  // The sheet's edges, seen from the printable area, lie 100 units in from its own.
  std::filesystem::remove(dir_.Path("trace.txt"));
  UsePage(2044, 2900, right + 100, bottom + 100);
  const auto calls = PrintPages({page});
  int lowest = 0, rightmost = 0;
  for (const auto& call : calls) {
    lowest = std::max(lowest, call.y);
    rightmost = std::max(rightmost, call.x);
  }
  EXPECT_EQ(lowest, *(row - 1)) << "the row on the bottom edge is not drawn, the one above is";
  EXPECT_EQ(rightmost, *(column - 1)) << "the cell on the right edge is not drawn";
}

// Lines are read and drawn in pieces: an escape at the end of one piece takes the first byte
// of the next as its command, and the position runs on.
TEST_F(PagePrinterTest, ALineDrawnInPiecesIsDrawnAsAWhole) {
  const std::string line = "ab" + Esc('W') + "cd" + Esc('w') + "e";
  const auto whole = PrintPages({{line}});
  std::remove(dir_.Path("trace.txt").c_str());
  const auto pieces = PrintPages({{line}}, 3);  // "ab\x1B" | "Wcd" | ...
  ASSERT_EQ(whole.size(), 5u);
  ASSERT_EQ(pieces.size(), whole.size());
  for (std::size_t i = 0; i < whole.size(); ++i) {
    EXPECT_EQ(pieces[i].x, whole[i].x) << i;
    EXPECT_EQ(pieces[i].font, whole[i].font) << i;
  }
  EXPECT_EQ(whole[2].x, RoundEven(Real48::Store(pages_->Metrics().LeftMargin +
                                                4 * pages_->Metrics().CellNormal.Value())));
}

// The demonstration print-outs show the agent at its best: on an A4 page every character of
// them stands inside the text area, none runs into the right margin or off the sheet.
TEST_F(PagePrinterTest, TheDemoPrintOutsFitTheTextArea) {
  UsePage(4800, 6600);
  pp2::BuildPrintLogFont("Courier New", "120", 3);
  for (const char* demo : {"raport.txt", "faktura.txt"}) {
    std::remove(dir_.Path("trace.txt").c_str());
    pp2::TextLineReader file(std::string(DEMO_DIRECTORY) + "/" + demo);
    ASSERT_TRUE(file.IsOpen()) << demo;
    std::vector<std::vector<std::string>> pages(1);
    while (!file.AtEnd()) {
      const std::string line = ConvertLine(file.ReadLine());
      pages.back().push_back(line);
      if (line.find('\x0C') != std::string::npos && !file.AtEnd()) pages.emplace_back();
    }
    const auto calls = PrintPages(pages);
    ASSERT_GT(calls.size(), 100u) << demo;
    const auto& m = pages_->Metrics();
    const int right_edge = m.LeftMargin + m.TextAreaWidth;
    for (const auto& call : calls) {
      // The cell width is the font's width field.
      const auto first = call.font.find('|', call.font.find('|') + 1);
      const int cell = std::stoi(call.font.substr(first + 1));
      EXPECT_LE(call.x + cell, right_edge + 1)
          << demo << ": character " << call.hex << " at " << call.x << " crosses the edge";
    }
  }
}

}  // namespace
}  // namespace wydruki::pp1
