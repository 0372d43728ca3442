// SPDX-License-Identifier: MIT
// Command lines taken apart as Windows programs take them apart.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wydruki::platform {

struct ProgramAndArguments {
  std::string program;    // the first word, without its quotes
  std::string_view rest;  // everything after it
};

// The program name of a command line: up to the closing quote when it starts with one, else up
// to the first blank. Backslashes are path separators here, never escapes.
ProgramAndArguments SplitProgramName(std::string_view command_line);

// Arguments by the rules of the C run-time on Windows: blanks separate words outside double
// quotes; 2n backslashes before a quote give n backslashes and the quote opens or closes a
// quoted part, 2n+1 give n backslashes and a literal quote; "" inside quotes is one quote;
// other backslashes are literal.
std::vector<std::string> SplitArguments(std::string_view arguments);

// A command line from the profile: blanks separate, double quotes group (and are removed), and
// nothing else is special, so Linux paths keep their characters.
std::vector<std::string> SplitOnBlanks(std::string_view command_line);

}  // namespace wydruki::platform
