// SPDX-License-Identifier: MIT
// Texts and pictures crossing from the program to GTK: the program speaks Windows-1250 with
// "&" marking a mnemonic; GTK speaks UTF-8 with "_". Icons are device-independent bitmaps with
// an AND mask; GTK wants RGBA pixels. None of this needs a display, so it is tested alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wydruki::platform::gtk {

// Windows-1250 bytes to UTF-8 and back; a character Windows-1250 cannot hold becomes "?".
std::string ToUtf8(const std::string& bytes);
std::string FromUtf8(const std::string& utf8);

// A control caption with "&" mnemonics as a GTK mnemonic label: "&Anuluj" is "_Anuluj", "&&" is
// a literal "&", and a literal "_" is doubled so GTK does not take it for a mnemonic.
std::string MnemonicLabel(const std::string& bytes);

// An icon image (BITMAPINFOHEADER, colours, AND mask; 1, 4, 8, 24 or 32 bits a pixel) as
// non-premultiplied RGBA rows, top row first. Empty when the image is malformed.
struct Rgba {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> pixels;  // width * height * 4
};
Rgba IconPixels(const std::vector<std::uint8_t>& bits);

}  // namespace wydruki::platform::gtk
