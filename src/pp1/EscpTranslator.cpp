// SPDX-License-Identifier: MIT
#include "pp1/EscpTranslator.h"

#include <algorithm>

namespace wydruki::pp1 {
namespace {

constexpr char kEsc = '\x1B';
constexpr char kFormFeed = '\x0C';
constexpr char kCondensedOn = '\x0F';   // SI
constexpr char kCondensedOff = '\x12';  // DC2
// The number ESC ( t gives the PC852 table (East Europe) in Epson's list.
constexpr char kPc852Table = 10;

}  // namespace

EscpTranslator::EscpTranslator(const EscpSettings& settings, int job_lines_per_page)
    : settings_(settings) {
  settings_.page_length = std::clamp(settings_.page_length, 1, 127);
  job_spacing_ = JobSpacing(settings_.page_length, job_lines_per_page);
}

int EscpTranslator::JobSpacing(int page_length, int job_lines) {
  if (page_length <= 0 || job_lines <= 0) return 30;                 // 1/6 inch
  const long long sheet = static_cast<long long>(page_length) * 30;  // in 1/180 inch
  const long long spacing = (2 * sheet + job_lines) / (2LL * job_lines);
  return static_cast<int>(std::clamp(spacing, 1LL, 255LL));
}

std::string EscpTranslator::Opening() const {
  std::string out = {kEsc, '@'};
  if (settings_.code_page == EscpCodePage::k852 && settings_.select_table)
    out += {kEsc, '(', 't', 3, 0, 1, kPc852Table, 0, kEsc, 't', 1};
  if (settings_.code_page != EscpCodePage::kAscii) out += {kEsc, '6'};
  out += {kEsc, 'C', static_cast<char>(settings_.page_length)};
  return out;
}

void EscpTranslator::Translate(std::string_view piece, std::string& out) {
  for (const char c : piece) {
    if (c == kFormFeed) {
      // The page ends with its line; a pending ESC stays pending across it.
      form_feed_in_line_ = true;
    } else if (escape_pending_) {
      escape_pending_ = false;
      Command(c, out);
    } else if (c == kEsc) {
      escape_pending_ = true;
    } else {
      out += static_cast<char>(PrinterByte(settings_.code_page, static_cast<unsigned char>(c)));
    }
  }
}

void EscpTranslator::EndLine(std::string& out) {
  if (!page_begun_) ++pages_;
  page_begun_ = true;
  if (form_feed_in_line_) {
    out += kFormFeed;
    form_feed_in_line_ = false;
    escape_pending_ = false;
    page_begun_ = false;
  } else {
    out += "\r\n";
  }
}

void EscpTranslator::Command(char command, std::string& out) {
  switch (command) {
    case 'B':
      out += {kEsc, 'E'};
      break;
    case 'b':
      out += {kEsc, 'F'};
      break;
    case 'C':
      SetPitch(Pitch::kCondensed, out);
      break;
    case 'c':
      SetPitch(elite_latch_ ? Pitch::kElite : Pitch::kNormal, out);
      break;
    case 'P':
      elite_latch_ = true;
      SetPitch(Pitch::kElite, out);
      break;
    case 'p':
      elite_latch_ = false;
      SetPitch(Pitch::kNormal, out);
      break;
    case 'W':
    case 'S':
      out += {kEsc, 'W', 1};
      break;
    case 'w':
    case 's':
      out += {kEsc, 'W', 0};
      break;
    case 'G':
      out += {kEsc, '3', static_cast<char>(job_spacing_)};
      break;
    case 'g':
      out += {kEsc, '2'};
      break;
    default:
      break;  // not a command of the companion's: dropped
  }
}

void EscpTranslator::SetPitch(Pitch pitch, std::string& out) {
  const bool condensed = pitch_ == Pitch::kCondensed;
  const bool elite = pitch_ == Pitch::kElite;
  pitch_ = pitch;
  if (condensed && pitch != Pitch::kCondensed) out += kCondensedOff;
  if (!elite && pitch == Pitch::kElite) out += {kEsc, 'M'};
  if (elite && pitch != Pitch::kElite) out += {kEsc, 'P'};
  if (!condensed && pitch == Pitch::kCondensed) out += kCondensedOn;
}

}  // namespace wydruki::pp1
