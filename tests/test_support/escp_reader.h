// SPDX-License-Identifier: MIT
// Reads an ESC/P stream back as a printer lays it out, for the commands the agent sends: lines
// with the attributes in force at their first character. A test then says "line 3 is bold
// condensed: Razem" instead of comparing bytes.
#pragma once

#include <string>
#include <vector>

namespace wydruki::test {

struct EscpPrintout {
  std::vector<std::string> lines;  // "bold condensed elite wide: text", as far as each is on
  int page_length = 0;             // ESC C, in lines
  int table = -1;                  // the table ESC ( t assigned and ESC t 1 chose (10: PC852)
};

inline EscpPrintout ReadEscp(const std::string& stream) {
  EscpPrintout out;
  bool on[4] = {};  // bold, condensed, elite, wide
  int assigned = -1;
  std::string line, style;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    const char c = stream[i];
    const auto arg = [&](std::size_t k) {
      return i + k < stream.size() ? static_cast<unsigned char>(stream[i + k]) : 0;
    };
    if (c == '\n' || c == '\x0C') {
      out.lines.push_back(line.empty() || style.empty() ? line : style + ": " + line);
      line.clear();
    } else if (c == '\x0F' || c == '\x12') {
      on[1] = c == '\x0F';
    } else if (c == '\x1B' && i + 1 < stream.size()) {
      const char command = stream[++i];
      if (command == 'E' || command == 'F') on[0] = command == 'E';
      if (command == 'M' || command == 'P') on[2] = command == 'M';
      if (command == 'W') on[3] = arg(1) == 1;
      if (command == 'C') out.page_length = arg(1);
      if (command == '(') assigned = arg(5);  // ESC ( t 3 0 d1 d2 d3
      if (command == 't') out.table = arg(1) == 1 ? assigned : -1;
      i += command == '(' ? 6
                          : (command == 'W' || command == '3' || command == 'C' || command == 't');
    } else if (c != '\r') {
      static const char* const kStyles[] = {"bold", "condensed", "elite", "wide"};
      if (line.empty()) style.clear();
      for (int k = 0; k < 4 && line.empty(); ++k)
        if (on[k]) style += (style.empty() ? "" : " ") + std::string(kStyles[k]);
      line += c;
    }
  }
  return out;
}

}  // namespace wydruki::test
