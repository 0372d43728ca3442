#include "user/gtk/gtk_text.h"

#include <glib.h>

#include <algorithm>

namespace wydruki::platform::gtk {
namespace {

std::uint32_t Read32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::uint16_t Read16(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::string Convert(const std::string& text, const char* to, const char* from) {
  gsize written = 0;
  gchar* converted = g_convert_with_fallback(text.data(), static_cast<gssize>(text.size()), to,
                                             from, "?", nullptr, &written, nullptr);
  if (converted == nullptr) {
    // Without the converter (or with bytes that are not text) keep what ASCII there is.
    std::string ascii;
    for (const char c : text) ascii += static_cast<unsigned char>(c) < 0x80 ? c : '?';
    return ascii;
  }
  std::string result(converted, written);
  g_free(converted);
  return result;
}

}  // namespace

std::string ToUtf8(const std::string& bytes) { return Convert(bytes, "UTF-8", "WINDOWS-1250"); }

std::string FromUtf8(const std::string& utf8) { return Convert(utf8, "WINDOWS-1250", "UTF-8"); }

std::string MnemonicLabel(const std::string& bytes) {
  std::string label;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '_') {
      label += "__";
    } else if (c == '&' && i + 1 < bytes.size() && bytes[i + 1] == '&') {
      label += '&';
      ++i;
    } else if (c == '&' && i + 1 < bytes.size()) {
      label += '_';
    } else {
      label += c;
    }
  }
  return ToUtf8(label);
}

Rgba IconPixels(const std::vector<std::uint8_t>& bits) {
  if (bits.size() < 40 || Read32(bits, 0) != 40) return {};
  const auto width = static_cast<std::int32_t>(Read32(bits, 4));
  // The height counts the colour rows and the mask rows.
  const auto height = static_cast<std::int32_t>(Read32(bits, 8)) / 2;
  const int depth = Read16(bits, 14);
  if (width <= 0 || width > 256 || height <= 0 || height > 256) return {};
  if (depth != 1 && depth != 4 && depth != 8 && depth != 24 && depth != 32) return {};
  std::size_t colours = depth <= 8 ? Read32(bits, 32) : 0;
  if (depth <= 8 && colours == 0) colours = std::size_t{1} << depth;
  if (colours > 256) return {};
  const std::size_t palette = 40;
  const std::size_t stride = ((static_cast<std::size_t>(width) * depth + 31) / 32) * 4;
  const std::size_t mask_stride = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
  const std::size_t colour_at = palette + colours * 4;
  const std::size_t mask_at = colour_at + stride * static_cast<std::size_t>(height);
  const bool has_mask = bits.size() >= mask_at + mask_stride * static_cast<std::size_t>(height);
  if (bits.size() < mask_at) return {};
  Rgba image;
  image.width = width;
  image.height = height;
  image.pixels.resize(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    // Rows are stored bottom row first.
    const std::size_t row = colour_at + stride * static_cast<std::size_t>(height - 1 - y);
    const std::size_t mask_row = mask_at + mask_stride * static_cast<std::size_t>(height - 1 - y);
    for (int x = 0; x < width; ++x) {
      std::uint8_t* out = &image.pixels[(static_cast<std::size_t>(y) * width + x) * 4];
      std::uint8_t alpha = 255;
      if (depth == 32) {
        const std::size_t at = row + static_cast<std::size_t>(x) * 4;
        out[0] = bits[at + 2];
        out[1] = bits[at + 1];
        out[2] = bits[at];
        alpha = bits[at + 3];
      } else if (depth == 24) {
        const std::size_t at = row + static_cast<std::size_t>(x) * 3;
        out[0] = bits[at + 2];
        out[1] = bits[at + 1];
        out[2] = bits[at];
      } else {
        const std::size_t bit = static_cast<std::size_t>(x) * depth;
        const std::uint8_t byte = bits[row + bit / 8];
        const int shift = 8 - depth - static_cast<int>(bit % 8);
        const std::size_t index = (byte >> shift) & ((1u << depth) - 1);
        const std::size_t entry = palette + std::min(index, colours - 1) * 4;
        out[0] = bits[entry + 2];
        out[1] = bits[entry + 1];
        out[2] = bits[entry];
      }
      // Images without their own alpha are cut out by the mask: a set bit is transparent.
      if (depth != 32 && has_mask) {
        const std::uint8_t mask = bits[mask_row + static_cast<std::size_t>(x) / 8];
        if ((mask >> (7 - x % 8)) & 1) alpha = 0;
      }
      out[3] = alpha;
    }
  }
  return image;
}

}  // namespace wydruki::platform::gtk
