// SPDX-License-Identifier: MIT
#include "pp1/PagePrinter.h"

#include <algorithm>
#include <array>

#include "pp2/FontSettings.h"

namespace wydruki::pp1 {
namespace {

using graphics::fsBold;
using graphics::TFontStyles;

constexpr unsigned char kFormFeed = 0x0C;
constexpr unsigned char kEscape = 0x1B;
constexpr std::int32_t kBoldWeight = 800;
// A font whose width does not follow its size (a broken face) must not keep the size search
// going for ever: no character printer has more than this many points to a column.
constexpr std::int32_t kLargestFittedSize = 4000;
// Lines that run far up (a negative line height) leave the device's coordinates here.
constexpr std::int64_t kLowestDrawnY = -(std::int64_t{1} << 30);

// A run is drawn once it holds this many characters, however long the line.
constexpr std::size_t kLongestRun = 512;

// Every byte as a one-character text that outlives any run.
const std::array<char, 256>& ByteTexts() {
  static const std::array<char, 256> texts = [] {
    std::array<char, 256> all{};
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<char>(i);
    return all;
  }();
  return texts;
}

constexpr const char* kHeight80Sample = "8DSDSSAD ";
constexpr const char* kHeightSample = "8ADSDSAD";

}  // namespace

PagePrinter::PagePrinter(printers::TPrinter& printer, std::function<void()> drain,
                         const bool& cancel_requested)
    : printer_(printer),
      drain_(std::move(drain)),
      cancel_requested_(cancel_requested),
      steps_(kKeptSteps) {}

void PagePrinter::MeasureSheet() {
  // The sheet's edges in the coordinates of the printable area, whose origin is offset into
  // the sheet. A device that gives no physical size is taken as its printable area.
  const HDC dc = printer_.DeviceContext();
  const int width = GetDeviceCaps(dc, PHYSICALWIDTH);
  const int height = GetDeviceCaps(dc, PHYSICALHEIGHT);
  const int horizontal = GetDeviceCaps(dc, HORZRES);
  const int vertical = GetDeviceCaps(dc, VERTRES);
  sheet_right_ = std::max(width - GetDeviceCaps(dc, PHYSICALOFFSETX), horizontal);
  sheet_bottom_ = std::max(height - GetDeviceCaps(dc, PHYSICALOFFSETY), vertical);
  ForgetSteps();
}

void PagePrinter::ForgetSteps() {
  steps_.assign(kKeptSteps, Step{});
  column_ = 0;
}

void PagePrinter::ResetRenderingState() {
  pitch_ = PitchMode::Normal;
  wide_on_ = false;
  elite_latch_ = false;
  job_spacing_on_ = false;
}

std::int32_t PagePrinter::FitFontSize(std::int32_t columns) {
  auto& canvas = printer_.PrintCanvas();
  const std::int32_t k = std::clamp(columns, 1, 250);
  const std::string sample(static_cast<std::size_t>(k), 'D');
  canvas.Font().SetStyle(TFontStyles{fsBold});
  std::int32_t size = printable_width_ / k;
  canvas.Font().SetSize(size);
  while (canvas.MeasureWidth(sample) < printable_width_ && size < kLargestFittedSize)
    canvas.Font().SetSize(++size);
  while (canvas.MeasureWidth(sample) > printable_width_ && size > 1) canvas.Font().SetSize(--size);
  return size;
}

void PagePrinter::WydrukStartOld(HFONT preview_font, std::int32_t job_lines_per_page) {
  auto& canvas = printer_.PrintCanvas();
  auto& font = canvas.Font();
  font.SetName(kStandardFontName);
  font.SetCharset(EASTEUROPE_CHARSET);
  font.SetStyle(TFontStyles{});
  // Adopting the preview font brings the chosen face, character set and pitch; the size and
  // bold are set below.
  font.SetFontHandle(preview_font);
  printable_width_ = printer_.PrintableWidth();
  metrics_ = ComputePageMetrics(printable_width_, printer_.PrintableHeight(), job_lines_per_page);
  MeasureSheet();
  sizes_.Size80 = FitFontSize(80);
  sizes_.Size40 = FitFontSize(40);
  sizes_.SizeCondensed = FitFontSize(kCondensedColumns);
  sizes_.SizeCondensedWide = FitFontSize(kCondensedColumns / 2);
  sizes_.Size96 = FitFontSize(96);
  sizes_.Size48 = FitFontSize(48);
  font.SetSize(sizes_.Size80);
  const std::int32_t h80 = canvas.MeasureHeight(kHeight80Sample);
  font.SetSize(sizes_.SizeCondensed);
  condensed_offset_ = h80 - canvas.MeasureHeight(kHeightSample) - 4;
  font.SetSize(sizes_.Size96);
  elite_offset_ = h80 - canvas.MeasureHeight(kHeightSample) - 1;
  font.SetSize(sizes_.Size80);
  ResetRenderingState();
}

HFONT PagePrinter::CreateCellFont(std::int32_t cell_width, bool full) {
  job_font_.lfHeight = CellFontHeight(job_height_percent_, cell_width, full);
  job_font_.lfWidth = cell_width;
  return CreateFontIndirectA(&job_font_);
}

HFONT PagePrinter::CreateWeightFont(bool bold) {
  job_font_.lfWeight = bold ? kBoldWeight : job_weight_;
  return CreateFontIndirectA(&job_font_);
}

void PagePrinter::SetCellFont(std::int32_t cell_width, bool full) {
  printer_.PrintCanvas().Font().SetFontHandle(CreateCellFont(cell_width, full));
}

void PagePrinter::WydrukStart(std::int32_t job_lines_per_page) {
  auto& canvas = printer_.PrintCanvas();
  // The job works on its own copy of the user's font settings: it never writes them, and a
  // change the font dialog makes while the job prints waits for the next job. Every job
  // starts at the chosen weight, even when the job before it ended in bold.
  job_font_ = pp2::PrintLogFont;
  job_height_percent_ = pp2::HeightPercent;
  job_weight_ = pp2::ChosenWeight;
  job_font_.lfWeight = job_weight_;
  printable_width_ = printer_.PrintableWidth();
  metrics_ = ComputePageMetrics(printable_width_, printer_.PrintableHeight(), job_lines_per_page);
  MeasureSheet();
  const std::int32_t width = metrics_.TextAreaWidth;
  sizes_.Size80 = CellWidthFor(width, 80);
  sizes_.Size40 = CellWidthFor(width, 40);
  sizes_.SizeCondensed = CellWidthFor(width, kCondensedColumns);
  sizes_.SizeCondensedWide = CellWidthFor(width, kCondensedColumns / 2);
  sizes_.Size96 = CellWidthFor(width, 96);
  sizes_.Size48 = CellWidthFor(width, 48);
  SetCellFont(sizes_.Size80, true);
  const std::int32_t h80 = canvas.MeasureHeight(kHeight80Sample);
  SetCellFont(sizes_.SizeCondensed, true);
  condensed_offset_ = h80 - canvas.MeasureHeight(kHeightSample) - 4;
  SetCellFont(sizes_.Size96, true);
  elite_offset_ = h80 - canvas.MeasureHeight(kHeightSample) - 1;
  SetCellFont(sizes_.Size80, true);
  ResetRenderingState();
}

Real48 PagePrinter::Cell() const {
  switch (pitch_) {
    case PitchMode::Condensed:
      return metrics_.CellCondensed;
    case PitchMode::Elite:
      return metrics_.CellElite;
    case PitchMode::Normal:
      break;
  }
  return metrics_.CellNormal;
}

std::int32_t PagePrinter::VerticalOffset() const {
  switch (pitch_) {
    case PitchMode::Condensed:
      // A double-width condensed character stands one line height higher than its line.
      if (wide_on_) return -(job_spacing_on_ ? metrics_.LineHeightJob : metrics_.LineHeightNormal);
      return condensed_offset_;
    case PitchMode::Elite:
      return wide_on_ ? 2 * elite_offset_ : elite_offset_;
    case PitchMode::Normal:
      break;
  }
  return 0;
}

void PagePrinter::ApplyCommand(unsigned char command, bool standard) {
  auto& font = printer_.PrintCanvas().Font();
  const bool condensed = pitch_ == PitchMode::Condensed;
  const auto wide_figure = [&] {
    return pitch_ == PitchMode::Condensed ? sizes_.SizeCondensedWide
           : pitch_ == PitchMode::Elite   ? sizes_.Size48
                                          : sizes_.Size40;
  };
  const auto single_figure = [&] {
    return pitch_ == PitchMode::Condensed ? sizes_.SizeCondensed
           : pitch_ == PitchMode::Elite   ? sizes_.Size96
                                          : sizes_.Size80;
  };
  switch (command) {
    case 'B':
      if (standard)
        font.SetStyle(TFontStyles{fsBold});
      else
        font.SetFontHandle(CreateWeightFont(true));
      break;
    case 'b':
      if (standard)
        font.SetStyle(font.Style().Without(fsBold));
      else
        font.SetFontHandle(CreateWeightFont(false));
      break;
    case 'C':
      pitch_ = PitchMode::Condensed;
      if (standard)
        font.SetSize(sizes_.SizeCondensed);
      else
        SetCellFont(sizes_.SizeCondensed, true);
      break;
    case 'c':
      pitch_ = elite_latch_ ? PitchMode::Elite : PitchMode::Normal;
      if (standard)
        font.SetSize(sizes_.Size80);
      else
        SetCellFont(sizes_.Size80, false);
      break;
    case 'P':
      pitch_ = PitchMode::Elite;
      elite_latch_ = true;
      if (standard)
        font.SetSize(sizes_.Size96);
      else
        SetCellFont(sizes_.Size96, false);
      break;
    case 'p':
      pitch_ = PitchMode::Normal;
      elite_latch_ = false;
      if (standard)
        font.SetSize(sizes_.Size80);
      else
        SetCellFont(sizes_.Size80, false);
      break;
    case 'G':
      job_spacing_on_ = true;
      break;
    case 'g':
      job_spacing_on_ = false;
      break;
    case 'S':
    case 'W':
      wide_on_ = true;
      if (standard)
        font.SetSize(WideSize(wide_figure()));
      else
        SetCellFont(WideSize(wide_figure()), condensed);
      break;
    case 's':
    case 'w':
      wide_on_ = false;
      if (standard)
        font.SetSize(single_figure());
      else
        SetCellFont(single_figure(), condensed);
      break;
    default:
      break;  // unknown commands are consumed and ignored
  }
}

void PagePrinter::BeginPage(bool standard) {
  standard_ = standard;
  y_ = metrics_.TopMargin;
  x_ = Real48(metrics_.LeftMargin);
  column_ = 0;
  escape_pending_ = false;
  run_.clear();  // only a failed page can have left characters behind
  printer_.PrintCanvas().Brush().SetStyle(graphics::TBrushStyle::bsClear);
}

void PagePrinter::FlushRun() {
  if (run_.empty()) return;
  // Emptied however the drawing ends: a canvas that throws leaves no characters behind to be
  // drawn on another page.
  struct Empty {
    std::vector<POLYTEXTA>& run;
    ~Empty() { run.clear(); }
  } empty{run_};
  printer_.PrintCanvas().WriteTexts(run_);
}

void PagePrinter::RenderText(std::string_view text) {
  const std::array<char, 256>& byte_texts = ByteTexts();
  for (const char byte : text) {
    const auto c = static_cast<unsigned char>(byte);
    if (c == kFormFeed) continue;  // a pending escape stays pending
    if (escape_pending_) {
      escape_pending_ = false;
      FlushRun();
      ApplyCommand(c, standard_);
      drain_();
      continue;
    }
    if (c == kEscape) {
      escape_pending_ = true;
      continue;
    }
    const Step& step = NextStep(Cell());
    x_ = step.to;
    if (cancel_requested_) {
      FlushRun();
      return;
    }
    // A character whose cell begins past the sheet's right or bottom edge would be clipped
    // whole by the device: it is not drawn, so that a listing without form feeds does not
    // gather an endless page. The commands before it have still taken effect.
    const std::int64_t y = y_ + VerticalOffset();
    if (y >= sheet_bottom_ || y < kLowestDrawnY || step.past_right) continue;
    const std::int32_t x = step.x;
    if (x >= sheet_right_) continue;
    // Filled in place: a whole entry built aside and copied in costs more than the rest of
    // the character's work.
    POLYTEXTA& entry = run_.emplace_back();
    entry.x = x;
    entry.y = static_cast<std::int32_t>(y);
    entry.n = 1;
    entry.lpstr = &byte_texts[c];
    if (run_.size() >= kLongestRun) FlushRun();
  }
  FlushRun();
}

const PagePrinter::Step& PagePrinter::NextStep(Real48 cell) {
  Step& step = column_ < kKeptSteps ? steps_[column_] : scratch_step_;
  ++column_;
  if (step.known && step.from == x_.Value() && step.cell == cell.Value() && step.wide == wide_on_)
    return step;
  step.known = true;
  step.from = x_;
  step.cell = cell;
  step.wide = wide_on_;
  step.to = Real48(x_ + cell);
  if (wide_on_) step.to = Real48(step.to + cell);
  step.x = RoundEven(step.to);
  step.past_right = Extended(step.to) >= sheet_right_;
  return step;
}

void PagePrinter::EndLine() {
  y_ += job_spacing_on_ ? metrics_.LineHeightJob : metrics_.LineHeightNormal;
  x_ = static_cast<Extended>(metrics_.LeftMargin);
  column_ = 0;
  drain_();
}

void PagePrinter::RenderPage(const std::vector<std::string>& lines, std::int32_t count,
                             bool standard) {
  BeginPage(standard);
  const std::int32_t last = std::min<std::int32_t>(count, static_cast<std::int32_t>(lines.size()));
  for (std::int32_t i = 0; i < last; ++i) {
    RenderText(lines[static_cast<std::size_t>(i)]);
    if (cancel_requested_) return;
    EndLine();
  }
}

void PagePrinter::Wydruk1StronyOld(const std::vector<std::string>& lines, std::int32_t count) {
  RenderPage(lines, count, true);
}

void PagePrinter::Wydruk1Strony(const std::vector<std::string>& lines, std::int32_t count) {
  RenderPage(lines, count, false);
}

}  // namespace wydruki::pp1
