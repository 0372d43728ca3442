// SPDX-License-Identifier: MIT
#include "resources/TrayIcons.h"

#include <array>

namespace wydruki::resources {
namespace {

constexpr int kSize = 16;

struct Rgb {
  std::uint8_t r, g, b;
};

constexpr Rgb kBody{96, 96, 112};
constexpr Rgb kBodyLight{160, 160, 176};
constexpr Rgb kPaper{255, 255, 255};
constexpr Rgb kInk{0, 0, 0};
constexpr Rgb kIdleLight{0, 176, 0};
constexpr Rgb kBusyLight{224, 128, 0};

// The picture, top row first; unset pixels are transparent.
struct Picture {
  std::array<std::array<Rgb, kSize>, kSize> colour{};
  std::array<std::array<bool, kSize>, kSize> opaque{};
  void Set(int x, int y, Rgb c) {
    if (x < 0 || y < 0 || x >= kSize || y >= kSize) return;
    colour[y][x] = c;
    opaque[y][x] = true;
  }
  void Fill(int x0, int y0, int x1, int y1, Rgb c) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) Set(x, y, c);
  }
};

// A printer; while printing, a sheet with lines of text comes out lower in each frame.
Picture Draw(int frame) {
  Picture p;
  p.Fill(4, 0, 11, 5, kPaper);  // the sheet waiting at the back
  p.Fill(1, 6, 14, 11, kBody);
  p.Fill(2, 7, 13, 7, kBodyLight);
  p.Set(12, 9, frame == 1 ? kIdleLight : kBusyLight);
  p.Set(13, 9, frame == 1 ? kIdleLight : kBusyLight);
  if (frame > 1) {
    const int printed_rows = frame - 1;  // 1..5 rows of the sheet have come out
    p.Fill(3, 11, 12, 11 + printed_rows - 1 > 15 ? 15 : 11 + printed_rows - 1, kPaper);
    for (int row = 0; row < printed_rows; row += 2)
      p.Fill(4, 11 + row, 4 + 2 * printed_rows, 11 + row, kInk);
  }
  return p;
}

void Word(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void DoubleWord(std::vector<std::uint8_t>& out, unsigned v) {
  Word(out, v & 0xFFFF);
  Word(out, v >> 16);
}

}  // namespace

std::vector<std::uint8_t> TrayIconFile(int frame) {
  const Picture picture = Draw(frame);
  constexpr unsigned kColourBytes = kSize * kSize * 3;
  constexpr unsigned kMaskBytes = kSize * 4;  // one bit a pixel, rows padded to 32 bits
  constexpr unsigned kImageBytes = 40 + kColourBytes + kMaskBytes;
  std::vector<std::uint8_t> out;
  out.reserve(6 + 16 + kImageBytes);
  Word(out, 0);
  Word(out, 1);  // an icon
  Word(out, 1);  // with one image
  out.insert(out.end(), {kSize, kSize, 0, 0});
  Word(out, 1);
  Word(out, 24);
  DoubleWord(out, kImageBytes);
  DoubleWord(out, 6 + 16);
  DoubleWord(out, 40);
  DoubleWord(out, kSize);
  DoubleWord(out, kSize * 2);  // colour and mask rows
  Word(out, 1);
  Word(out, 24);
  DoubleWord(out, 0);
  DoubleWord(out, kColourBytes + kMaskBytes);
  for (int i = 0; i < 4; ++i) DoubleWord(out, 0);
  // Bitmap rows are stored bottom-up.
  for (int y = kSize - 1; y >= 0; --y)
    for (int x = 0; x < kSize; ++x) {
      const Rgb c = picture.opaque[y][x] ? picture.colour[y][x] : Rgb{0, 0, 0};
      out.insert(out.end(), {c.b, c.g, c.r});
    }
  for (int y = kSize - 1; y >= 0; --y) {
    std::uint8_t row[4] = {0, 0, 0, 0};
    for (int x = 0; x < kSize; ++x)
      if (!picture.opaque[y][x]) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    out.insert(out.end(), row, row + 4);
  }
  return out;
}

}  // namespace wydruki::resources
