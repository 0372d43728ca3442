// SPDX-License-Identifier: MIT
// The character grid on the printer: the set-up of a job's page metrics and first font, and
// the drawing of a page of lines character by character, with the escape commands of the
// character printer for pitch, double width, bold and line spacing.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Printers/Printer.h"
#include "pp1/PageArithmetic.h"
#include "platform/winapi.h"

namespace wydruki::pp1 {

enum class PitchMode { Normal, Condensed, Elite };

// The size figures for 80, 40, 122, 61, 96 and 48 columns: point sizes on the standard-font
// path, cell widths in device units on the chosen-font path.
struct SizeFigures {
  std::int32_t Size80 = 0;
  std::int32_t Size40 = 0;
  std::int32_t SizeCondensed = 0;
  std::int32_t SizeCondensedWide = 0;
  std::int32_t Size96 = 0;
  std::int32_t Size48 = 0;
};

inline constexpr const char* kStandardFontName = "Courier New";

class PagePrinter {
 public:
  // `drain` lets the program handle its waiting messages; `cancel_requested` is read before
  // every character.
  PagePrinter(printers::TPrinter& printer, std::function<void()> drain,
              const bool& cancel_requested);

  // Standard fonts: sizes found by measuring; the face comes from the preview font's handle.
  void WydrukStartOld(HFONT preview_font, std::int32_t job_lines_per_page);
  // The chosen font: fonts built from a copy of the print font description taken now, with a
  // cell-wide glyph.
  void WydrukStart(std::int32_t job_lines_per_page);

  // Draws lines[0..count) on the current page; returns early when a cancel is requested.
  void Wydruk1StronyOld(const std::vector<std::string>& lines, std::int32_t count);
  void Wydruk1Strony(const std::vector<std::string>& lines, std::int32_t count);

  // The same drawing, a line at a time as the file is read, so that no page is ever held in
  // memory: BeginPage starts a page on the standard-font or chosen-font routine, RenderText
  // draws a line or a piece of one (the position and a pending escape carry on to the next
  // piece), EndLine moves to the next line. RenderText returns early on a cancel.
  void BeginPage(bool standard);
  void RenderText(std::string_view text);
  void EndLine();

  std::int32_t FitFontSize(std::int32_t columns);
  HFONT CreateCellFont(std::int32_t cell_width, bool full);
  HFONT CreateWeightFont(bool bold);

  const PageMetrics& Metrics() const { return metrics_; }
  const SizeFigures& Sizes() const { return sizes_; }
  std::int32_t CondensedOffset() const { return condensed_offset_; }
  std::int32_t EliteOffset() const { return elite_offset_; }
  PitchMode Pitch() const { return pitch_; }
  bool WideOn() const { return wide_on_; }
  bool EliteLatch() const { return elite_latch_; }
  bool JobSpacingOn() const { return job_spacing_on_; }

 private:
  void ResetRenderingState();
  void MeasureSheet();
  void RenderPage(const std::vector<std::string>& lines, std::int32_t count, bool standard);
  void ApplyCommand(unsigned char command, bool standard);
  void SetCellFont(std::int32_t cell_width, bool full);
  // Draws the characters gathered since the last command or the start of the text.
  void FlushRun();
  Real48 Cell() const;
  // One character's step along the line: where it leaves the position, rounded to the
  // device unit its cell begins at, and whether that lies at or past the sheet's right edge.
  struct Step {
    bool known = false;
    Extended from = 0;
    Extended cell = 0;
    bool wide = false;
    Real48 to;
    std::int32_t x = 0;
    bool past_right = false;
  };
  const Step& NextStep(Real48 cell);
  void ForgetSteps();  // the sheet's edge has moved
  std::int32_t VerticalOffset() const;

  printers::TPrinter& printer_;
  std::function<void()> drain_;
  const bool& cancel_requested_;
  PageMetrics metrics_;
  SizeFigures sizes_;
  std::int32_t condensed_offset_ = 0;
  std::int32_t elite_offset_ = 0;
  std::int32_t printable_width_ = 0;
  PitchMode pitch_ = PitchMode::Normal;
  bool wide_on_ = false;
  bool elite_latch_ = false;
  bool job_spacing_on_ = false;
  // The chosen font as the job found it: the description, height percent and weight.
  LOGFONTA job_font_{};
  // The page being drawn: the line's top, the position in it, an escape waiting for its
  // command, the routine; and the sheet's right and bottom edges in device units.
  bool standard_ = false;
  std::int64_t y_ = 0;
  Real48 x_;
  bool escape_pending_ = false;
  std::int32_t sheet_right_ = 0;
  std::int32_t sheet_bottom_ = 0;
  std::int32_t job_height_percent_ = 0;
  std::int32_t job_weight_ = 0;
  // The characters placed on the grid but not drawn yet, all in the current font. They go to
  // the canvas in one call at a command, a cancel and the end of the text RenderText was given,
  // before the program's messages are handled, so nothing outside sees a difference from
  // drawing them one by one.
  std::vector<POLYTEXTA> run_;
  // Lines step through the same positions: from the left margin, the same cell after cell.
  // The steps of the lines before are kept by column, so that a line like them costs no
  // arithmetic; a step from another position, or by another cell or width, is worked out
  // again. Columns past kKeptSteps are always worked out.
  static constexpr std::size_t kKeptSteps = 512;
  std::vector<Step> steps_;
  std::size_t column_ = 0;
  Step scratch_step_;
};

}  // namespace wydruki::pp1
