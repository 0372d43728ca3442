// SPDX-License-Identifier: MIT
// The print-out the job benchmarks print: pages of 58 lines of 80 letters, with escape commands
// on four lines of each page (ESC B, ESC b, ESC C, ESC c) and a form feed between pages.
#pragma once

#include <string>

namespace wydruki::bench {

inline std::string MakeJobText(int pages) {
  std::string text;
  for (int page = 0; page < pages; ++page) {
    for (int line = 0; line < 58; ++line) {
      const char command = line == 0    ? 'B'
                           : line == 1  ? 'b'
                           : line == 20 ? 'C'
                           : line == 30 ? 'c'
                                        : 0;
      if (command != 0) text += std::string(1, '\x1B') + command;
      for (int column = 0; column < 80; ++column)
        text += static_cast<char>('A' + (page + line + column) % 26);
      if (line == 57 && page + 1 < pages) text += '\x0C';
      text += "\r\n";
    }
  }
  return text;
}

}  // namespace wydruki::bench
