// SPDX-License-Identifier: MIT
// The code pages that turn a font's bytes into characters.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gdi/code_pages.h"
#include "gdi/font_matcher.h"

namespace wydruki::platform {
namespace {

std::u32string Decode(const CodePage& page, const std::string& bytes) {
  std::u32string out;
  for (const char c : bytes) out += page.ToUnicode(static_cast<unsigned char>(c));
  return out;
}

TEST(GdiCodePagesTest, CharacterSetsChooseTheirWindowsCodePage) {
  EXPECT_EQ(CodePageForCharset(238).number, 1250);  // EASTEUROPE_CHARSET
  EXPECT_EQ(CodePageForCharset(204).number, 1251);  // RUSSIAN_CHARSET
  EXPECT_EQ(CodePageForCharset(0).number, 1252);    // ANSI_CHARSET
  EXPECT_EQ(CodePageForCharset(1).number, 1252);    // DEFAULT_CHARSET on a Western system
}

TEST(GdiCodePagesTest, PolishLettersOfWindows1250) {
  const CodePage& page = CodePageForCharset(238);
  EXPECT_EQ(Decode(page, "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF"), U"ąćęłńóśźż");
  EXPECT_EQ(Decode(page, "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"), U"ĄĆĘŁŃÓŚŹŻ");
  EXPECT_EQ(Decode(page, "Az09 ~"), U"Az09 ~");
  EXPECT_EQ(page.ToUnicode(0x80), U'€');
  EXPECT_EQ(page.ToUnicode(0x81), U'\x81');  // undefined: the control character of its number
}

TEST(GdiCodePagesTest, SameBytesDifferBetweenCodePages) {
  EXPECT_EQ(CodePageForCharset(0).ToUnicode(0xB9), U'¹');
  EXPECT_EQ(CodePageForCharset(0).ToUnicode(0x9C), U'œ');
  EXPECT_EQ(CodePageForCharset(204).ToUnicode(0xC0), U'А');
  EXPECT_EQ(CodePageForCharset(204).ToUnicode(0xFF), U'я');
  EXPECT_EQ(CodePageForCharset(0).ToUnicode(0xFF), U'ÿ');
}

TEST(GdiCodePagesTest, FaceNamesAreReadInTheirCharacterSet) {
  LOGFONTA font{};
  font.lfCharSet = 238;
  const char name[] = "Czcionka \xB3\xB9ka";
  std::memcpy(font.lfFaceName, name, sizeof name);
  EXPECT_EQ(FaceNameUtf8(font), "Czcionka łąka");
  std::memset(font.lfFaceName, 'A', LF_FACESIZE);  // no terminator: the whole field
  EXPECT_EQ(FaceNameUtf8(font), std::string(LF_FACESIZE, 'A'));
}

}  // namespace
}  // namespace wydruki::platform
