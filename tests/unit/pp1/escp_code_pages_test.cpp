// SPDX-License-Identifier: MIT
// The printer tables against the code pages' own definitions: glibc's converters for 852, 1250,
// ISO 8859-2 and 437, and Mazovia's published table for its Polish letters.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "pp1/EscpCodePages.h"

namespace wydruki::pp1 {
namespace {

// `text` converted by glibc; empty when the target has no such character.
std::string Convert(const char* from, const char* to, std::string in) {
  const iconv_t converter = iconv_open(to, from);
  std::string out(64, '\0');
  char *source = in.data(), *target = out.data();
  std::size_t left = in.size(), room = out.size();
  const bool done = iconv(converter, &source, &left, &target, &room) != static_cast<size_t>(-1);
  iconv_close(converter);
  out.resize(done ? out.size() - room : 0);
  return out;
}

// Each byte of 852 lands on the same character in the printer's table, or, where the table has
// none (or a place in `taken` holds another), on the ASCII stand-in. Characters in `skip` are
// left out.
void ExpectAgreesWith(EscpCodePage page, const char* table, const std::string& taken = "",
                      const std::string& skip = "") {
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    const auto b = static_cast<unsigned char>(byte);
    const std::string character = Convert("CP852", "UTF-8", std::string(1, static_cast<char>(b)));
    ASSERT_FALSE(character.empty());
    if (skip.find(character) != std::string::npos) continue;
    std::string want = Convert("UTF-8", table, character);
    if (!want.empty() && taken.find(want[0]) != std::string::npos) want.clear();
    const unsigned char got = PrinterByte(page, b);
    if (!want.empty())
      EXPECT_EQ(got, static_cast<unsigned char>(want[0])) << table << " for 852 byte " << byte;
    else
      EXPECT_EQ(got, PrinterByte(EscpCodePage::kAscii, b)) << table << " lacks 852 byte " << byte;
  }
}

TEST(EscpCodePages, WindowsAndIsoTablesAgreeWithTheirCodePages) {
  ExpectAgreesWith(EscpCodePage::k1250, "CP1250");
  ExpectAgreesWith(EscpCodePage::kLatin2, "ISO-8859-2");
  for (int byte = 0; byte <= 0xFF; ++byte)
    EXPECT_EQ(PrinterByte(EscpCodePage::k852, static_cast<unsigned char>(byte)), byte);
}

TEST(EscpCodePages, MazoviaHasThePolishLettersOfItsPublishedTableAndTheRestOf437) {
  // Mazovia, code page 667 (FreeDOS 790), as published: its 18 Polish letters.
  const std::pair<const char*, unsigned char> kPolish[] = {
      {"ą", 0x86}, {"ć", 0x8D}, {"Ą", 0x8F}, {"Ę", 0x90}, {"ę", 0x91}, {"ł", 0x92},
      {"Ć", 0x95}, {"Ś", 0x98}, {"Ł", 0x9C}, {"ś", 0x9E}, {"Ź", 0xA0}, {"Ż", 0xA1},
      {"ó", 0xA2}, {"Ó", 0xA3}, {"ń", 0xA4}, {"Ń", 0xA5}, {"ź", 0xA6}, {"ż", 0xA7}};
  std::string taken, letters;
  for (const auto& [letter, mazovia] : kPolish) {
    const auto in852 = static_cast<unsigned char>(Convert("UTF-8", "CP852", letter).at(0));
    EXPECT_EQ(PrinterByte(EscpCodePage::kMazovia, in852), mazovia) << letter;
    if (std::string(letter) != "ó") taken += static_cast<char>(mazovia);  // 437 has ó there
    letters += letter;
  }
  // Every other character stands where code page 437 has it, unless a Polish letter took that
  // place.
  ExpectAgreesWith(EscpCodePage::kMazovia, "CP437", taken, letters);
}

TEST(EscpCodePages, AsciiDropsTheMarks) {
  std::string plain;
  for (const char c : Convert("UTF-8", "CP852", "ĄĆĘŁŃÓŚŹŻąćęłńóśźż"))
    plain += static_cast<char>(PrinterByte(EscpCodePage::kAscii, static_cast<unsigned char>(c)));
  EXPECT_EQ(plain, "ACELNOSZZacelnoszz");
  for (int byte = 0x80; byte <= 0xFF; ++byte)
    EXPECT_LT(PrinterByte(EscpCodePage::kAscii, static_cast<unsigned char>(byte)), 0x80);
}

}  // namespace
}  // namespace wydruki::pp1
