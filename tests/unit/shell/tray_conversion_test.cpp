// SPDX-License-Identifier: MIT
// What the desktop is given for the program's icon, tip, menu and clicks.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/api/user.h"
#include "user/icon_pixmap.h"
#include "shell/tray_text.h"

namespace wydruki::platform {
namespace {

// A 16×16 icon image as the program keeps it: header, colour rows bottom-up, then the mask
// rows bottom-up (1 = transparent). `colour(x, y)` gives B, G, R for a top-down position.
template <typename Colour, typename Transparent>
std::vector<std::uint8_t> Image24(Colour colour, Transparent transparent) {
  std::vector<std::uint8_t> b(40, 0);
  b[0] = 40;
  b[4] = 16;
  b[8] = 32;
  b[12] = 1;
  b[14] = 24;
  for (int row = 15; row >= 0; --row)
    for (int x = 0; x < 16; ++x) {
      const auto [blue, green, red] = colour(x, row);
      b.insert(b.end(), {blue, green, red});
    }
  for (int row = 15; row >= 0; --row) {
    std::uint8_t line[4] = {0, 0, 0, 0};
    for (int x = 0; x < 16; ++x)
      if (transparent(x, row)) line[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    b.insert(b.end(), line, line + 4);
  }
  return b;
}

struct Bgr {
  std::uint8_t b, g, r;
};

TEST(IconPixmapTest, RowsComeOutTopDownWithTheMaskAsAlpha) {
  // Top row red, the rest blue; the top-left pixel is transparent. A decoder that forgets the
  // rows are stored bottom-up puts red at the bottom.
  const auto bits = Image24(
      [](int, int y) {
        return y == 0 ? Bgr{0, 0, 0xFF} : Bgr{0xFF, 0, 0};
      },
      [](int x, int y) { return x == 0 && y == 0; });
  const auto picture = DecodeIconImage(bits);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->width, 16);
  EXPECT_EQ(picture->height, 16);
  EXPECT_EQ(picture->At(0, 0), 0x00000000u);
  EXPECT_EQ(picture->At(1, 0), 0xFFFF0000u);
  EXPECT_EQ(picture->At(5, 15), 0xFF0000FFu);
  // Network byte order: alpha, red, green, blue.
  const auto bytes = NetworkOrderArgb(*picture);
  ASSERT_EQ(bytes.size(), 16u * 16u * 4u);
  EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 4, bytes.begin() + 8)),
            (std::vector<std::uint8_t>{0xFF, 0xFF, 0x00, 0x00}));
  EXPECT_EQ((std::vector<std::uint8_t>(bytes.end() - 4, bytes.end())),
            (std::vector<std::uint8_t>{0xFF, 0x00, 0x00, 0xFF}));
  const auto rgba = RgbaBytes(*picture);
  EXPECT_EQ((std::vector<std::uint8_t>(rgba.begin() + 4, rgba.begin() + 8)),
            (std::vector<std::uint8_t>{0xFF, 0x00, 0x00, 0xFF}));
}

TEST(IconPixmapTest, AlphaOfA32BitImageWinsOverItsMask) {
  std::vector<std::uint8_t> bits(40, 0);
  bits[0] = 40;
  bits[4] = 2;
  bits[8] = 2;  // one row of two pixels
  bits[12] = 1;
  bits[14] = 32;
  bits.insert(bits.end(), {0x10, 0x20, 0x30, 0x80, 0x01, 0x02, 0x03, 0x00});  // B G R A
  bits.insert(bits.end(), {0x00, 0, 0, 0});  // mask says both opaque
  const auto picture = DecodeIconImage(bits);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 0), 0x80302010u);
  EXPECT_EQ(picture->At(1, 0), 0x00030201u);
}

TEST(IconPixmapTest, PaletteImagesAreDecoded) {
  // 4 bits per pixel, 8×1 (padded rows), palette: 0 black, 1 green.
  std::vector<std::uint8_t> bits(40, 0);
  bits[0] = 40;
  bits[4] = 8;
  bits[8] = 2;
  bits[12] = 1;
  bits[14] = 4;
  bits[32] = 2;  // two palette entries
  bits.insert(bits.end(), {0, 0, 0, 0, 0, 0xFF, 0, 0});
  bits.insert(bits.end(), {0x01, 0x00, 0x00, 0x10});  // pixels 0..7: 0,1,0,0,0,0,1,0
  bits.insert(bits.end(), {0x80, 0, 0, 0});           // first pixel transparent
  const auto picture = DecodeIconImage(bits);
  ASSERT_TRUE(picture);
  EXPECT_EQ(picture->At(0, 0), 0u);
  EXPECT_EQ(picture->At(1, 0), 0xFF00FF00u);
  EXPECT_EQ(picture->At(2, 0), 0xFF000000u);
  EXPECT_EQ(picture->At(6, 0), 0xFF00FF00u);
}

TEST(IconPixmapTest, DamagedImagesAreRefusedNotRead) {
  auto bits = Image24([](int, int) { return Bgr{1, 2, 3}; }, [](int, int) { return false; });
  EXPECT_TRUE(DecodeIconImage(bits));
  auto cut = bits;
  cut.pop_back();  // the mask's last byte is missing
  EXPECT_FALSE(DecodeIconImage(cut));
  auto huge = bits;
  huge[5] = 0x10;  // width 4112
  EXPECT_FALSE(DecodeIconImage(huge));
  auto odd = bits;
  odd[14] = 7;  // 7 bits per pixel
  EXPECT_FALSE(DecodeIconImage(odd));
  EXPECT_FALSE(DecodeIconImage(std::vector<std::uint8_t>(12, 0)));
}

TEST(IconPixmapTest, ScalingKeepsColoursAndDoesNotBleedTransparentBlack) {
  // Left half transparent (colour black), right half opaque white.
  const auto bits = Image24(
      [](int x, int) {
        return x < 8 ? Bgr{0, 0, 0} : Bgr{255, 255, 255};
      },
      [](int x, int) { return x < 8; });
  const auto picture = *DecodeIconImage(bits);
  const auto big = ScaleIconPicture(picture, 32);
  EXPECT_EQ(big.At(0, 0), 0u);
  EXPECT_EQ(big.At(31, 31), 0xFFFFFFFFu);
  EXPECT_EQ(big.At(16, 5), 0xFFFFFFFFu);
  const auto mid = ScaleIconPicture(picture, 22);
  // Target column 11 covers source x 8.0 to 8.73, all white; column 10 covers 7.27 to 8.0,
  // all transparent. Any column that straddles the edge is white at partial alpha, never
  // grey.
  EXPECT_EQ(mid.At(11, 3), 0xFFFFFFFFu);
  for (int x = 0; x < 22; ++x) {
    const std::uint32_t p = mid.At(x, 10);
    if ((p >> 24) != 0) {
      EXPECT_EQ(p & 0xFFFFFF, 0xFFFFFFu) << "column " << x;
    }
  }
  EXPECT_EQ(ScaleIconPicture(picture, 16).argb, picture.argb);
}

TEST(TrayTextTest, TipsBecomeUtf8AndMarkupIsEscaped) {
  EXPECT_EQ(Windows1250ToUtf8("Wydruk dla D'95 Drukowanie :37%"),
            "Wydruk dla D'95 Drukowanie :37%");
  EXPECT_EQ(Windows1250ToUtf8("\xB3\xB9\x9C\xAF"), "łąśŻ");
  EXPECT_EQ(EscapeMarkup("D'95 <b>&\""), "D'95 &lt;b&gt;&amp;\"");
  // A control byte would make the bus refuse the whole string.
  EXPECT_EQ(Windows1250ToUtf8("a\tb\x01"), "ab");
}

TEST(TrayTextTest, MenuMnemonicsMoveFromAmpersandToUnderscore) {
  EXPECT_EQ(MenuLabel("&Anuluj wydruk"), "_Anuluj wydruk");
  EXPECT_EQ(MenuLabel("K&onfiguracja"), "K_onfiguracja");
  EXPECT_EQ(MenuLabel("Drukuj && zamknij"), "Drukuj & zamknij");
  EXPECT_EQ(MenuLabel("plik_1"), "plik__1");
  EXPECT_EQ(MenuLabel("&Zako\xF1"
                      "cz"),
            "_Zakończ");
  EXPECT_EQ(MenuLabel("ko\xF1iec&"), "końiec");
}

TEST(MouseSequenceTest, TwoClicksWithinTheDoubleClickTimeAreADoubleClick) {
  MouseSequence clicks(400);
  EXPECT_EQ(clicks.Click(TrayButton::kLeft, 1000),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(clicks.Click(TrayButton::kLeft, 1400),
            (std::vector<UINT>{WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
  // The click after a double click starts afresh, even when quick.
  EXPECT_EQ(clicks.Click(TrayButton::kLeft, 1500),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  // Too slow: two single clicks.
  EXPECT_EQ(clicks.Click(TrayButton::kLeft, 1901),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

TEST(MouseSequenceTest, ADifferentButtonBetweenBreaksTheDoubleClick) {
  MouseSequence clicks(400);
  clicks.Click(TrayButton::kLeft, 0);
  EXPECT_EQ(clicks.Click(TrayButton::kRight, 10),
            (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
  EXPECT_EQ(clicks.Click(TrayButton::kLeft, 20), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(clicks.Press(TrayButton::kMiddle, 30), static_cast<UINT>(WM_MBUTTONDOWN));
  EXPECT_EQ(clicks.Press(TrayButton::kMiddle, 40), static_cast<UINT>(WM_MBUTTONDBLCLK));
  clicks.Click(TrayButton::kLeft, 50);
  clicks.Forget();
  EXPECT_EQ(clicks.Press(TrayButton::kLeft, 60), static_cast<UINT>(WM_LBUTTONDOWN));
}

}  // namespace
}  // namespace wydruki::platform
