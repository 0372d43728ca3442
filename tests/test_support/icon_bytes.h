// SPDX-License-Identifier: MIT
// A standard icon file of one 16×16 image at 24 bits per pixel with its mask (894 bytes),
// filled with one colour, for tests that need real icon images.
#pragma once

#include <cstdint>
#include <vector>

namespace wydruki::test {

inline std::vector<std::uint8_t> SolidIconFile(std::uint8_t red, std::uint8_t green,
                                               std::uint8_t blue) {
  std::vector<std::uint8_t> bytes;
  const auto word = [&](unsigned v) {
    bytes.push_back(static_cast<std::uint8_t>(v));
    bytes.push_back(static_cast<std::uint8_t>(v >> 8));
  };
  const auto dword = [&](unsigned v) {
    word(v & 0xFFFF);
    word(v >> 16);
  };
  constexpr unsigned kImageSize = 40 + 16 * 16 * 3 + 16 * 4;
  word(0);  // reserved
  word(1);  // icon
  word(1);  // one image
  bytes.insert(bytes.end(), {16, 16, 0, 0});
  word(1);   // planes
  word(24);  // bits per pixel
  dword(kImageSize);
  dword(6 + 16);
  dword(40);  // BITMAPINFOHEADER
  dword(16);  // width
  dword(32);  // height: colour rows and mask rows
  word(1);    // planes
  word(24);   // bits per pixel
  dword(0);   // no compression
  dword(16 * 16 * 3 + 16 * 4);
  dword(0);
  dword(0);
  dword(0);
  dword(0);
  for (int pixel = 0; pixel < 16 * 16; ++pixel) bytes.insert(bytes.end(), {blue, green, red});
  bytes.insert(bytes.end(), 16 * 4, 0);  // every pixel opaque
  return bytes;
}

}  // namespace wydruki::test
