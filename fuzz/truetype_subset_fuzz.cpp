// SPDX-License-Identifier: MIT
// Cutting a font file of arbitrary bytes down to a few glyphs: whatever its tables say, the
// subset is refused or holds exactly the glyphs asked for and their components.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "gdi/truetype_subset.h"

namespace {

std::uint32_t Read32(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) << 24 | std::uint32_t(std::uint8_t(s[at + 1])) << 16 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 8 | std::uint8_t(s[at + 3]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string font(reinterpret_cast<const char*>(data), size);
  // The table directory of an sfnt file, as FreeType hands tables over.
  const wydruki::platform::FontTableReader read = [&font](std::uint32_t tag, std::string& table) {
    if (font.size() < 12) return false;
    const std::size_t count = (std::uint8_t(font[4]) << 8) | std::uint8_t(font[5]);
    for (std::size_t i = 0; i < count && 12 + i * 16 + 16 <= font.size(); ++i) {
      const std::size_t record = 12 + i * 16;
      if (Read32(font, record) != tag) continue;
      const std::size_t offset = Read32(font, record + 8), length = Read32(font, record + 12);
      if (offset > font.size() || length > font.size() - offset) return false;
      table = font.substr(offset, length);
      return true;
    }
    return false;
  };
  // The glyph asked for is named by the input's last two bytes, little-endian.
  std::vector<std::uint32_t> glyphs = {0};
  if (size >= 2 && (data[size - 2] | data[size - 1]) != 0)
    glyphs.push_back(std::uint32_t(data[size - 1]) << 8 | data[size - 2]);
  const std::size_t asked = glyphs.size();
  const std::string subset = wydruki::platform::SubsetTrueType(read, glyphs);
  if (subset.empty()) return 0;
  if (glyphs.size() < asked || subset.size() < 12) std::abort();
  return 0;
}
