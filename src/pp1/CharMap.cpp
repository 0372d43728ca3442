// SPDX-License-Identifier: MIT
#include "pp1/CharMap.h"

#include <array>

namespace wydruki::pp1 {
namespace {

struct CharPair {
  unsigned char from;  // code page 852
  unsigned char to;    // Windows-1250
};

// The 18 Polish letters and the horizontal line (printed as an em dash).
constexpr CharPair kCharMap[] = {
    {0xA4, 0xA5}, {0x8F, 0xC6}, {0xA8, 0xCA}, {0x9D, 0xA3}, {0xE3, 0xD1},
    {0xE0, 0xD3}, {0x97, 0x8C}, {0xBD, 0xAF}, {0x8D, 0x8F}, {0xA5, 0xB9},
    {0x86, 0xE6}, {0xA9, 0xEA}, {0x88, 0xB3}, {0xE4, 0xF1}, {0xA2, 0xF3},
    {0x98, 0x9C}, {0xBE, 0xBF}, {0xAB, 0x9F}, {0xC4, 0x97},
};

constexpr std::array<unsigned char, 256> BuildTable() {
  std::array<unsigned char, 256> table{};
  for (int i = 0; i < 256; ++i) table[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i);
  for (const CharPair& pair : kCharMap) table[pair.from] = pair.to;
  return table;
}

constexpr std::array<unsigned char, 256> kTable = BuildTable();

}  // namespace

std::string ConvertLine(std::string_view line) {
  std::string converted(line.size(), '\0');
  for (std::size_t i = 0; i < line.size(); ++i)
    converted[i] = static_cast<char>(kTable[static_cast<unsigned char>(line[i])]);
  return converted;
}

}  // namespace wydruki::pp1
