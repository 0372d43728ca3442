// SPDX-License-Identifier: MIT
#include "user/icon_pixmap.h"

#include <algorithm>

namespace wydruki::platform {
namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t Read16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::size_t RowBytes(int width, int bits_per_pixel) {
  return ((static_cast<std::size_t>(width) * bits_per_pixel + 31) / 32) * 4;
}

}  // namespace

std::optional<IconPicture> DecodeIconImage(const std::vector<std::uint8_t>& bits) {
  if (bits.size() < 40 || Read32(bits, 0) < 40) return std::nullopt;
  const std::size_t header = Read32(bits, 0);
  const auto width = static_cast<std::int32_t>(Read32(bits, 4));
  const auto double_height = static_cast<std::int32_t>(Read32(bits, 8));
  const int bpp = Read16(bits, 14);
  const std::uint32_t compression = Read32(bits, 16);
  std::uint32_t colours_used = Read32(bits, 32);
  if (width <= 0 || width > 256 || double_height <= 0 || double_height > 512 || compression != 0)
    return std::nullopt;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
  const int height = double_height / 2;
  if (height == 0) return std::nullopt;
  std::size_t palette_entries = 0;
  if (bpp <= 8) {
    const std::uint32_t full = 1u << bpp;
    palette_entries = (colours_used == 0 || colours_used > full) ? full : colours_used;
  }
  const std::size_t palette_at = header;
  const std::size_t colour_at = palette_at + palette_entries * 4;
  const std::size_t colour_row = RowBytes(width, bpp);
  const std::size_t mask_row = RowBytes(width, 1);
  const std::size_t mask_at = colour_at + colour_row * height;
  if (header > bits.size() || mask_at + mask_row * height > bits.size()) return std::nullopt;

  IconPicture picture;
  picture.width = width;
  picture.height = height;
  picture.argb.resize(static_cast<std::size_t>(width) * height);
  bool any_alpha = false;
  for (int y = 0; y < height; ++y) {
    // Stored rows run from the bottom of the picture up.
    const std::size_t row = colour_at + colour_row * (height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint32_t blue = 0, green = 0, red = 0, alpha = 0;
      if (bpp == 32 || bpp == 24) {
        const std::size_t at = row + static_cast<std::size_t>(x) * (bpp / 8);
        blue = bits[at];
        green = bits[at + 1];
        red = bits[at + 2];
        if (bpp == 32) alpha = bits[at + 3];
      } else {
        const std::size_t bit = static_cast<std::size_t>(x) * bpp;
        const unsigned byte = bits[row + bit / 8];
        const unsigned shift = 8 - bpp - bit % 8;
        const unsigned index = (byte >> shift) & ((1u << bpp) - 1);
        if (index < palette_entries) {
          const std::size_t at = palette_at + index * 4;
          blue = bits[at];
          green = bits[at + 1];
          red = bits[at + 2];
        }
      }
      any_alpha = any_alpha || alpha != 0;
      picture.argb[static_cast<std::size_t>(y) * width + x] =
          (alpha << 24) | (red << 16) | (green << 8) | blue;
    }
  }
  if (!any_alpha) {
    for (int y = 0; y < height; ++y) {
      const std::size_t row = mask_at + mask_row * (height - 1 - y);
      for (int x = 0; x < width; ++x) {
        const bool transparent = ((bits[row + x / 8] >> (7 - x % 8)) & 1) != 0;
        auto& pixel = picture.argb[static_cast<std::size_t>(y) * width + x];
        pixel = transparent ? 0u : (pixel | 0xFF000000u);
      }
    }
  }
  return picture;
}

IconPicture ScaleIconPicture(const IconPicture& picture, int size) {
  IconPicture out;
  out.width = size;
  out.height = size;
  out.argb.assign(static_cast<std::size_t>(size) * size, 0);
  if (picture.width == 0 || picture.height == 0 || size <= 0) return out;
  // Each target pixel covers a rectangle of the source; every source pixel that overlaps it
  // counts by the overlapping area, and its colour counts by area times alpha.
  const double sx = static_cast<double>(picture.width) / size;
  const double sy = static_cast<double>(picture.height) / size;
  for (int ty = 0; ty < size; ++ty) {
    const double y0 = ty * sy, y1 = (ty + 1) * sy;
    for (int tx = 0; tx < size; ++tx) {
      const double x0 = tx * sx, x1 = (tx + 1) * sx;
      double a = 0, r = 0, g = 0, b = 0, area = 0;
      for (int y = static_cast<int>(y0); y < picture.height && y < y1; ++y) {
        const double h = std::min<double>(y + 1, y1) - std::max<double>(y, y0);
        for (int x = static_cast<int>(x0); x < picture.width && x < x1; ++x) {
          const double w = (std::min<double>(x + 1, x1) - std::max<double>(x, x0)) * h;
          if (w <= 0) continue;
          const std::uint32_t p = picture.At(x, y);
          const double pa = (p >> 24) / 255.0;
          a += w * pa;
          r += w * pa * ((p >> 16) & 0xFF);
          g += w * pa * ((p >> 8) & 0xFF);
          b += w * pa * (p & 0xFF);
          area += w;
        }
      }
      if (area <= 0 || a <= 0) continue;
      const auto channel = [](double v) {
        return static_cast<std::uint32_t>(std::clamp(v + 0.5, 0.0, 255.0));
      };
      out.argb[static_cast<std::size_t>(ty) * size + tx] = (channel(a / area * 255.0) << 24) |
                                                           (channel(r / a) << 16) |
                                                           (channel(g / a) << 8) | channel(b / a);
    }
  }
  return out;
}

std::vector<std::uint8_t> NetworkOrderArgb(const IconPicture& picture) {
  std::vector<std::uint8_t> out;
  out.reserve(picture.argb.size() * 4);
  for (const std::uint32_t p : picture.argb)
    out.insert(out.end(), {static_cast<std::uint8_t>(p >> 24), static_cast<std::uint8_t>(p >> 16),
                           static_cast<std::uint8_t>(p >> 8), static_cast<std::uint8_t>(p)});
  return out;
}

std::vector<std::uint8_t> RgbaBytes(const IconPicture& picture) {
  std::vector<std::uint8_t> out;
  out.reserve(picture.argb.size() * 4);
  for (const std::uint32_t p : picture.argb)
    out.insert(out.end(), {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
                           static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(p >> 24)});
  return out;
}

}  // namespace wydruki::platform
