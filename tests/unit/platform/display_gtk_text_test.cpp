// SPDX-License-Identifier: MIT
// What crosses from the program to GTK: Windows-1250 captions with "&" mnemonics, and icon
// bitmaps with their masks. No display is needed for any of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "user/gtk/gtk_text.h"

namespace wydruki::test {
namespace {

using platform::gtk::FromUtf8;
using platform::gtk::IconPixels;
using platform::gtk::MnemonicLabel;
using platform::gtk::ToUtf8;

TEST(GtkText, PolishLettersCrossBothWays) {
  // "Wybór Fontów", "Wysokość", "ĄŚŹ" in Windows-1250, and the same in UTF-8.
  EXPECT_EQ(ToUtf8("Wyb\xF3r Font\xF3w"), "Wyb\xC3\xB3r Font\xC3\xB3w");
  EXPECT_EQ(ToUtf8("Wysoko\x9C\xE6"), "Wysoko\xC5\x9B\xC4\x87");
  EXPECT_EQ(ToUtf8("\xA5\x8C\x8F"), "\xC4\x84\xC5\x9A\xC5\xB9");
  EXPECT_EQ(FromUtf8("Wysoko\xC5\x9B\xC4\x87"), "Wysoko\x9C\xE6");
  // A letter the code page lacks ("ж") becomes a question mark, not a cut-off text.
  EXPECT_EQ(FromUtf8("a\xD0\xB6z"), "a?z");
}

TEST(GtkText, AmpersandMnemonicsBecomeUnderscoresAndLiteralsSurvive) {
  EXPECT_EQ(MnemonicLabel("&Anuluj"), "_Anuluj");
  EXPECT_EQ(MnemonicLabel("K&onfiguracja"), "K_onfiguracja");
  // "&&" is a literal ampersand; a literal underscore must not turn into a mnemonic.
  EXPECT_EQ(MnemonicLabel("A&&B"), "A&B");
  EXPECT_EQ(MnemonicLabel("plik_1"), "plik__1");
  // A trailing "&" has nothing to mark and is shown.
  EXPECT_EQ(MnemonicLabel("Koniec&"), "Koniec&");
  EXPECT_EQ(MnemonicLabel("&Zastosuj \xB3"), "_Zastosuj \xC5\x82");
}

// A 2 × 2 icon image: header, colour rows bottom row first, then the AND mask rows.
std::vector<std::uint8_t> Icon(int depth, const std::vector<std::uint8_t>& palette,
                               const std::vector<std::uint8_t>& rows,
                               const std::vector<std::uint8_t>& mask) {
  std::vector<std::uint8_t> bits(40, 0);
  bits[0] = 40;
  bits[4] = 2;
  bits[8] = 4;  // colour and mask
  bits[12] = 1;
  bits[14] = static_cast<std::uint8_t>(depth);
  bits[32] = static_cast<std::uint8_t>(palette.size() / 4);
  bits.insert(bits.end(), palette.begin(), palette.end());
  bits.insert(bits.end(), rows.begin(), rows.end());
  bits.insert(bits.end(), mask.begin(), mask.end());
  return bits;
}

TEST(GtkText, IconRowsAreTurnedTopUpAndTheMaskCutsOut) {
  // 24 bits: bottom row blue, white; top row red, green. Rows padded to 4 bytes.
  const auto bits = Icon(24, {},
                         {0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0, 0,  // bottom: blue, white
                          0, 0, 0xFF, 0, 0xFF, 0, 0, 0},       // top: red, green
                         {0x40, 0, 0, 0,                       // bottom: white is cut out
                          0x00, 0, 0, 0});
  const auto image = IconPixels(bits);
  ASSERT_EQ(image.width, 2);
  ASSERT_EQ(image.height, 2);
  const std::vector<std::uint8_t> expected{
      0xFF, 0, 0,    0xFF, 0, 0xFF, 0, 0xFF,  // top: red, green, opaque
      0,    0, 0xFF, 0xFF, 0, 0,    0, 0};    // bottom: blue opaque, white cut out
  EXPECT_EQ(image.pixels, expected);
}

TEST(GtkText, PalettedAndAlphaIconsKeepTheirColours) {
  // 4 bits: two palette entries (BGR0), indexes 1,0 on both rows.
  const auto paletted = Icon(4, {0, 0, 0, 0, 0x10, 0x20, 0x30, 0}, {0x10, 0, 0, 0, 0x10, 0, 0, 0},
                             {0, 0, 0, 0, 0, 0, 0, 0});
  const auto image = IconPixels(paletted);
  ASSERT_EQ(image.pixels.size(), 16u);
  EXPECT_EQ(std::vector<std::uint8_t>(image.pixels.begin(), image.pixels.begin() + 8),
            (std::vector<std::uint8_t>{0x30, 0x20, 0x10, 0xFF, 0, 0, 0, 0xFF}));
  // 32 bits carry their own alpha, and the mask is not applied over it.
  const auto alpha = Icon(32, {}, {1, 2, 3, 0x80, 1, 2, 3, 0x80, 4, 5, 6, 0x00, 4, 5, 6, 0xFF},
                          {0xC0, 0, 0, 0, 0xC0, 0, 0, 0});
  const auto rgba = IconPixels(alpha);
  ASSERT_EQ(rgba.pixels.size(), 16u);
  EXPECT_EQ(std::vector<std::uint8_t>(rgba.pixels.begin(), rgba.pixels.begin() + 8),
            (std::vector<std::uint8_t>{6, 5, 4, 0x00, 6, 5, 4, 0xFF}));
}

TEST(GtkText, MalformedIconsGiveNoPicture) {
  EXPECT_TRUE(IconPixels({}).pixels.empty());
  auto bits = Icon(24, {}, {0, 0, 0, 0, 0, 0, 0, 0}, {});
  bits.resize(50);  // the colour rows are cut short
  EXPECT_TRUE(IconPixels(bits).pixels.empty());
  auto deep = Icon(16, {}, std::vector<std::uint8_t>(16, 0), std::vector<std::uint8_t>(8, 0));
  EXPECT_TRUE(IconPixels(deep).pixels.empty());  // 16 bits a pixel is not an icon format
  auto huge = Icon(24, {}, std::vector<std::uint8_t>(16, 0), std::vector<std::uint8_t>(8, 0));
  huge[5] = 0x10;  // 4098 pixels wide
  EXPECT_TRUE(IconPixels(huge).pixels.empty());
}

}  // namespace
}  // namespace wydruki::test
