// SPDX-License-Identifier: MIT
// Reads an ESC/P stream back as a printer lays it out, for the commands the agent sends: lines
// with the attributes in force at their first character, the feed after them and their page.
// A test then says "line 3 is bold condensed: Razem" instead of comparing bytes.
#pragma once

#include <string>
#include <vector>

namespace wydruki::test {

struct EscpLine {
  std::string text;   // the printed bytes, in the printer's table
  std::string style;  // "bold condensed elite wide", as far as on; "" plain
  int spacing = 30;   // the feed after the line, in 1/180 inch
  int page = 1;
};

struct EscpPrintout {
  std::vector<EscpLine> lines;
  int page_length = 0;       // ESC C, in lines
  int table = -1;            // the table ESC ( t assigned and ESC t 1 selected (10: PC852)
  bool upper_codes = false;  // ESC 6
  std::string unknown;       // commands not known here, "ESC x;" each
};

inline EscpPrintout ReadEscp(const std::string& stream) {
  EscpPrintout out;
  bool on[4] = {};  // bold, condensed, elite, wide
  int spacing = 30, page = 1, assigned = -1;
  EscpLine line;
  bool begun = false;
  const auto style = [&] {
    static const char* const kNames[] = {"bold", "condensed", "elite", "wide"};
    std::string s;
    for (int k = 0; k < 4; ++k)
      if (on[k]) s += (s.empty() ? "" : " ") + std::string(kNames[k]);
    return s;
  };
  const auto end_line = [&] {
    if (!begun) line.style = style();
    line.spacing = spacing;
    line.page = page;
    out.lines.push_back(line);
    line = {};
    begun = false;
  };
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const char c = stream[i];
    const auto arg = [&](std::size_t k) {
      return i + k < stream.size() ? static_cast<unsigned char>(stream[i + k]) : 0;
    };
    if (c == '\n' || c == '\x0C') {
      end_line();
      page += c == '\x0C';
    } else if (c == '\x0F' || c == '\x12') {
      on[1] = c == '\x0F';
    } else if (c == '\x1B' && i + 1 < stream.size()) {
      const char command = stream[++i];
      if (command == '@') {
        for (bool& flag : on) flag = false;
        spacing = 30;
      } else if (command == 'E' || command == 'F')
        on[0] = command == 'E';
      else if (command == 'M' || command == 'P')
        on[2] = command == 'M';
      else if (command == 'W')
        on[3] = arg(1) == 1, ++i;
      else if (command == '3')
        spacing = arg(1), ++i;
      else if (command == '2')
        spacing = 30;
      else if (command == 'C')
        out.page_length = arg(1), ++i;
      else if (command == '6')
        out.upper_codes = true;
      else if (command == '(')
        assigned = arg(5), i += 6;  // ESC ( t 3 0 d1 d2 d3
      else if (command == 't')
        out.table = arg(1) == 1 ? assigned : -1, ++i;
      else
        out.unknown += std::string("ESC ") + command + ";";
    } else if (c != '\r') {
      if (!begun) line.style = style();
      begun = true;
      line.text += c;
    }
  }
  if (!line.text.empty()) end_line();
  return out;
}

// "bold condensed: text", or the text alone when plain.
inline std::string Describe(const EscpLine& line) {
  return line.style.empty() ? line.text : line.style + ": " + line.text;
}

}  // namespace wydruki::test
