// SPDX-License-Identifier: MIT
#include "kernel/command_line.h"

namespace wydruki::platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

ProgramAndArguments SplitProgramName(std::string_view command_line) {
  std::size_t i = 0;
  while (i < command_line.size() && IsBlank(command_line[i])) ++i;
  ProgramAndArguments result;
  if (i < command_line.size() && command_line[i] == '"') {
    const std::size_t close = command_line.find('"', i + 1);
    const std::size_t end = close == std::string_view::npos ? command_line.size() : close;
    result.program = std::string(command_line.substr(i + 1, end - i - 1));
    i = close == std::string_view::npos ? command_line.size() : close + 1;
  } else {
    const std::size_t start = i;
    while (i < command_line.size() && !IsBlank(command_line[i])) ++i;
    result.program = std::string(command_line.substr(start, i - start));
  }
  result.rest = command_line.substr(i);
  return result;
}

std::vector<std::string> SplitArguments(std::string_view arguments) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  std::size_t i = 0;
  while (i < arguments.size()) {
    const char c = arguments[i];
    if (IsBlank(c) && !quoted) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
      ++i;
      continue;
    }
    in_word = true;
    if (c == '\\') {
      std::size_t count = 0;
      while (i < arguments.size() && arguments[i] == '\\') {
        ++count;
        ++i;
      }
      if (i < arguments.size() && arguments[i] == '"') {
        word.append(count / 2, '\\');
        if (count % 2 == 1) {
          word.push_back('"');
          ++i;
        }
        // An even count leaves the quote to the next round, where it opens or closes.
      } else {
        word.append(count, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < arguments.size() && arguments[i + 1] == '"') {
        word.push_back('"');
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    word.push_back(c);
    ++i;
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

std::vector<std::string> SplitOnBlanks(std::string_view command_line) {
  std::vector<std::string> words;
  std::string word;
  bool in_word = false;
  bool quoted = false;
  for (const char c : command_line) {
    if (c == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (IsBlank(c) && !quoted) {
      if (in_word) words.push_back(std::move(word));
      word.clear();
      in_word = false;
    } else {
      word.push_back(c);
      in_word = true;
    }
  }
  if (in_word) words.push_back(std::move(word));
  return words;
}

}  // namespace wydruki::platform
