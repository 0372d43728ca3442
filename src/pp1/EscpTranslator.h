// SPDX-License-Identifier: MIT
// The companion's print-out in the language of Epson dot-matrix printers (ESC/P), for a printer
// that is sent the print-out itself instead of drawn pages.
//
// The text goes as it is, in the printer's character table (EscpCodePages.h). The companion's
// ESC pairs become the printer's own commands, so that the printer lays the page out as the
// drawn page would be laid out:
//   ESC B / ESC b          bold on / off              ESC E / ESC F
//   ESC C / ESC c          condensed on / off         SI / DC2
//   ESC P / ESC p          elite / normal pitch       ESC M / ESC P
//   ESC W, ESC S / w, s    double width on / off      ESC W 1 / ESC W 0
//   ESC G / ESC g          the job's / normal spacing ESC 3 n / ESC 2
// Any other pair is dropped, as the drawn page ignores it. The pitch follows the drawn page's
// three pitches, not the printer's combinations: condensed is always condensed 10-pitch (17 cpi)
// and elite is never condensed, so going between elite and condensed sends the extra command
// that gets there (ESC P before SI, DC2 before ESC M). ESC C after ESC P, and ESC c, return to
// elite as on the drawn page.
//
// Lines and pages. A line ends with CR LF, whatever ended it in the file. A line that holds a
// form feed ends its page: its text prints, then the form feed takes the place of the line end,
// as the drawn page keeps the text after a form feed on the page it ends. An ESC at the end of
// a line takes the next line's first byte as its command; an ESC left at the end of a page is
// dropped with the page.
//
// Spacing and the sheet. The sheet's length is given in lines of 1/6 inch (the printer's
// normal spacing, ESC 2) and set at the start with ESC C. The companion's line 2 of the signal
// gives the lines it puts on a page in its own spacing; ESC G asks for that spacing: the sheet
// divided by those lines, in 1/180 inch (ESC 3 n, rounded). 72 lines of a 12-inch sheet and 77
// job lines give n = 28.
//
// The job begins with ESC @ (the printer's defaults), then for code page 852 the assignment of
// the printer's PC852 table (ESC ( t 3 0 1 10 0, ESC t 1), ESC 6 so that the bytes 0x80 to 0x9F
// print as letters (not with "ascii"), and ESC C with the sheet's length.
#pragma once

#include <string>
#include <string_view>

#include "pp1/EscpCodePages.h"

namespace wydruki::pp1 {

struct EscpSettings {
  EscpCodePage code_page = EscpCodePage::k852;
  bool select_table = true;  // code page 852 is assigned with ESC ( t
  int page_length = 72;      // the sheet's length in lines of 1/6 inch (1 to 127)
};

class EscpTranslator {
 public:
  EscpTranslator(const EscpSettings& settings, int job_lines_per_page);

  // The commands that begin a job.
  std::string Opening() const;
  // Appends the printer's bytes for the next piece of the current line.
  void Translate(std::string_view piece, std::string& out);
  // The current line has ended: appends its end (CR LF, or its page's form feed).
  void EndLine(std::string& out);
  // Pages begun so far (a page begins with its first line).
  int Pages() const { return pages_; }

  // n of ESC 3 n: the sheet of `page_length` lines of 1/6 inch divided by `job_lines`, in
  // 1/180 inch, rounded half up, kept within 1 to 255.
  static int JobSpacing(int page_length, int job_lines);

 private:
  enum class Pitch { kNormal, kCondensed, kElite };
  void Command(char command, std::string& out);
  void SetPitch(Pitch pitch, std::string& out);

  EscpSettings settings_;
  int job_spacing_ = 30;
  bool escape_pending_ = false;
  bool form_feed_in_line_ = false;
  bool page_begun_ = false;
  int pages_ = 0;
  Pitch pitch_ = Pitch::kNormal;
  bool elite_latch_ = false;
};

}  // namespace wydruki::pp1
