// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_text.h"

#include <glib.h>

#include "user/icon_pixmap.h"

namespace wydruki::platform::gtk {
namespace {

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
  const auto picture = DecodeIconImage(bits);
  if (!picture) return {};
  return Rgba{picture->width, picture->height, RgbaBytes(*picture)};
}

}  // namespace wydruki::platform::gtk
