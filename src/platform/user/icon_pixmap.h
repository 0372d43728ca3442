// SPDX-License-Identifier: MIT
// An icon's image as the desktop wants it: the notification hosts and GTK.
//
// The program's icons are kept as Windows stores them: a BITMAPINFOHEADER whose height counts
// the colour rows and the mask rows together, a palette for 1, 4 and 8 bits per pixel, then
// colour rows and a one-bit transparency mask (1 = transparent), both bottom-up and padded to
// four bytes. A 32-bit image carries its own alpha, which wins over the mask when any pixel
// has one. Notification hosts take ARGB32 in network byte order (A, R, G, B bytes), rows
// top-down, alpha not multiplied in; a GdkPixbuf takes R, G, B, A. Both are made here from one
// decoded picture so that what an SNI host and an XEmbed tray show is the same.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace wydruki::platform {

// Straight-alpha pixels, rows top-down, one 32-bit value 0xAARRGGBB per pixel.
struct IconPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> argb;

  std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y) * width + x]; }
};

// Decodes an icon image (header, palette, colour rows, mask); nothing for a damaged one.
std::optional<IconPicture> DecodeIconImage(const std::vector<std::uint8_t>& bits);

// The picture resampled to size × size by area averaging with alpha weighting, so that a
// transparent pixel's colour does not bleed into its neighbours.
IconPicture ScaleIconPicture(const IconPicture& picture, int size);

// ARGB32 in network byte order: A, R, G, B bytes per pixel.
std::vector<std::uint8_t> NetworkOrderArgb(const IconPicture& picture);

// R, G, B, A bytes per pixel, as a non-premultiplied GdkPixbuf holds them.
std::vector<std::uint8_t> RgbaBytes(const IconPicture& picture);

}  // namespace wydruki::platform
