// SPDX-License-Identifier: MIT
// Reads an ESC/P stream back as a printer would lay it out, for the commands the agent sends:
// lines of text with the attributes in force, the line spacing they were fed with, and the page
// each is on. A test then says "line 3 is bold condensed: Razem" instead of comparing bytes.
#pragma once

#include <string>
#include <vector>

namespace wydruki::test {

struct EscpLine {
  std::string text;   // the printed bytes, in the printer's table
  std::string style;  // "bold condensed wide" etc. at the line's first character; "" plain
  int spacing = 30;   // the feed after the line, in 1/180 inch
  int page = 1;
};

struct EscpPrintout {
  std::vector<EscpLine> lines;
  int page_length = 0;       // ESC C, in lines
  int table = -1;            // the table ESC ( t assigned and ESC t selected (10: PC852)
  bool upper_codes = false;  // ESC 6
  std::string unknown;       // commands the reader does not know, as "ESC x" each
};

inline EscpPrintout ReadEscp(const std::string& stream) {
  EscpPrintout out;
  bool bold = false, condensed = false, elite = false, wide = false;
  int spacing = 30, page = 1, assigned = -1;
  EscpLine line;
  bool styled = false;
  const auto style = [&] {
    std::string s;
    for (const auto& [on, name] : {std::pair{bold, "bold"}, std::pair{condensed, "condensed"},
                                   std::pair{elite, "elite"}, std::pair{wide, "wide"}})
      if (on) s += (s.empty() ? "" : " ") + std::string(name);
    return s;
  };
  const auto end_line = [&] {
    if (!styled) line.style = style();
    line.spacing = spacing;
    line.page = page;
    out.lines.push_back(line);
    line = {};
    styled = false;
  };
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const char c = stream[i];
    const auto arg = [&](std::size_t k) {
      return i + k < stream.size() ? static_cast<unsigned char>(stream[i + k]) : 0;
    };
    if (c == '\r') continue;
    if (c == '\n') {
      end_line();
    } else if (c == '\x0C') {
      end_line();
      ++page;
    } else if (c == '\x0F') {
      condensed = true;
    } else if (c == '\x12') {
      condensed = false;
    } else if (c == '\x1B' && i + 1 < stream.size()) {
      const char command = stream[++i];
      switch (command) {
        case '@':
          bold = condensed = elite = wide = false;
          spacing = 30;
          break;
        case 'E':
          bold = true;
          break;
        case 'F':
          bold = false;
          break;
        case 'M':
          elite = true;
          break;
        case 'P':
          elite = false;
          break;
        case 'W':
          wide = arg(1) == 1 || arg(1) == '1';
          ++i;
          break;
        case '3':
          spacing = arg(1);
          ++i;
          break;
        case '2':
          spacing = 30;
          break;
        case 'C':
          out.page_length = arg(1);
          ++i;
          break;
        case '6':
          out.upper_codes = true;
          break;
        case '(':  // ESC ( t 3 0 d1 d2 d3: table d1 is d2 d3
          if (arg(1) == 't') assigned = arg(5);
          i += 6;
          break;
        case 't':
          out.table = arg(1) == 1 ? assigned : -1;
          ++i;
          break;
        default:
          out.unknown += std::string("ESC ") + command + ";";
          break;
      }
    } else {
      if (!styled) line.style = style();
      styled = true;
      line.text += c;
    }
  }
  if (!line.text.empty()) end_line();
  return out;
}

// "bold condensed: text", or just the text when plain.
inline std::string Describe(const EscpLine& line) {
  return line.style.empty() ? line.text : line.style + ": " + line.text;
}

}  // namespace wydruki::test
