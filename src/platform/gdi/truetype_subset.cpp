// SPDX-License-Identifier: MIT
#include "gdi/truetype_subset.h"

#include <algorithm>
#include <map>
#include <unordered_map>
#include <utility>

namespace wydruki::platform {
namespace {

constexpr std::uint32_t Tag(const char (&name)[5]) {
  return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
         std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint32_t(std::uint8_t(name[3]));
}

std::uint32_t U16(const std::string& s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) << 8 | std::uint8_t(s[at + 1]);
}

std::uint32_t U32(const std::string& s, std::size_t at) {
  return U16(s, at) << 16 | U16(s, at + 2);
}

void Put16(std::string& s, std::size_t at, std::uint32_t value) {
  s[at] = static_cast<char>(value >> 8);
  s[at + 1] = static_cast<char>(value);
}

void Append16(std::string& s, std::uint32_t value) {
  s += static_cast<char>(value >> 8);
  s += static_cast<char>(value);
}

void Append32(std::string& s, std::uint32_t value) {
  Append16(s, value >> 16);
  Append16(s, value & 0xFFFF);
}

std::uint32_t Checksum(const std::string& table) {
  std::uint32_t sum = 0;
  std::string padded = table;
  padded.resize((table.size() + 3) & ~std::size_t{3}, '\0');
  for (std::size_t i = 0; i < padded.size(); i += 4) sum += U32(padded, i);
  return sum;
}

// The byte range of each original glyph in 'glyf', from 'loca'.
class GlyphLocations {
 public:
  bool Load(const std::string& loca, bool long_offsets, std::uint32_t glyph_count,
            std::size_t glyf_size) {
    const std::size_t entry = long_offsets ? 4 : 2;
    if (loca.size() < (std::size_t{glyph_count} + 1) * entry) return false;
    offsets_.resize(std::size_t{glyph_count} + 1);
    for (std::size_t i = 0; i <= glyph_count; ++i)
      offsets_[i] = long_offsets ? U32(loca, i * 4) : U16(loca, i * 2) * 2;
    glyf_size_ = glyf_size;
    return true;
  }
  // False for a glyph whose range lies outside 'glyf' or runs backwards.
  bool Range(std::uint32_t glyph, std::size_t& begin, std::size_t& end) const {
    if (glyph + 1 >= offsets_.size()) return false;
    begin = offsets_[glyph];
    end = offsets_[glyph + 1];
    return begin <= end && end <= glyf_size_;
  }

 private:
  std::vector<std::size_t> offsets_;
  std::size_t glyf_size_ = 0;
};

// Renumbers the components of a composite glyph in place, appending new ones to `glyphs`.
bool RenumberComponents(std::string& glyph, std::vector<std::uint32_t>& glyphs,
                        std::unordered_map<std::uint32_t, std::uint32_t>& renumbered) {
  constexpr std::uint32_t kWordArguments = 0x0001, kScale = 0x0008, kMore = 0x0020,
                          kXYScale = 0x0040, kTwoByTwo = 0x0080;
  std::size_t at = 10;  // past the contour count and the bounding box
  for (;;) {
    if (at + 4 > glyph.size()) return false;
    const std::uint32_t flags = U16(glyph, at);
    const std::uint32_t component = U16(glyph, at + 2);
    auto [it, added] = renumbered.try_emplace(component, std::uint32_t(glyphs.size()));
    if (added) glyphs.push_back(component);
    Put16(glyph, at + 2, it->second);
    at += 4 + ((flags & kWordArguments) ? 4 : 2);
    if (flags & kScale)
      at += 2;
    else if (flags & kXYScale)
      at += 4;
    else if (flags & kTwoByTwo)
      at += 8;
    if (!(flags & kMore)) return at <= glyph.size();
  }
}

}  // namespace

std::string SubsetTrueType(const FontTableReader& read, std::vector<std::uint32_t>& glyphs) {
  std::string head, hhea, maxp, hmtx, loca, glyf;
  if (!read(Tag("head"), head) || !read(Tag("hhea"), hhea) || !read(Tag("maxp"), maxp) ||
      !read(Tag("hmtx"), hmtx) || !read(Tag("loca"), loca) || !read(Tag("glyf"), glyf))
    return {};
  if (head.size() < 54 || hhea.size() < 36 || maxp.size() < 6) return {};
  const std::uint32_t glyph_count = U16(maxp, 4);
  const std::uint32_t metric_count = U16(hhea, 34);
  if (metric_count == 0 || hmtx.size() < std::size_t{metric_count} * 4) return {};
  GlyphLocations locations;
  if (!locations.Load(loca, U16(head, 50) != 0, glyph_count, glyf.size())) return {};

  std::unordered_map<std::uint32_t, std::uint32_t> renumbered;
  for (std::uint32_t i = 0; i < glyphs.size(); ++i) renumbered.emplace(glyphs[i], i);
  std::string new_glyf, new_loca, new_hmtx;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    if (glyphs.size() > 0xFFFF) return {};
    const std::uint32_t original = glyphs[i];
    std::size_t begin = 0, end = 0;
    if (original >= glyph_count || !locations.Range(original, begin, end)) return {};
    std::string glyph = glyf.substr(begin, end - begin);
    const bool composite = glyph.size() >= 10 && (U16(glyph, 0) & 0x8000) != 0;
    if (composite && !RenumberComponents(glyph, glyphs, renumbered)) return {};
    Append32(new_loca, static_cast<std::uint32_t>(new_glyf.size()));
    new_glyf += glyph;
    new_glyf.resize((new_glyf.size() + 3) & ~std::size_t{3}, '\0');
    // Glyphs past the last full metric share its advance and have a side bearing of their own.
    const std::uint32_t metric = std::min(original, metric_count - 1);
    Append16(new_hmtx, U16(hmtx, std::size_t{metric} * 4));
    const std::size_t bearing = original < metric_count
                                    ? std::size_t{original} * 4 + 2
                                    : std::size_t{metric_count} * 4 + (original - metric_count) * 2;
    Append16(new_hmtx, bearing + 2 <= hmtx.size() ? U16(hmtx, bearing) : 0);
  }
  Append32(new_loca, static_cast<std::uint32_t>(new_glyf.size()));

  const auto count = static_cast<std::uint32_t>(glyphs.size());
  Put16(head, 50, 1);                                // long 'loca' offsets
  for (std::size_t i = 8; i < 12; ++i) head[i] = 0;  // checkSumAdjustment, set below
  Put16(hhea, 34, count);
  Put16(maxp, 4, count);
  std::map<std::uint32_t, std::string> tables = {
      {Tag("head"), head},     {Tag("hhea"), hhea},     {Tag("maxp"), maxp},
      {Tag("hmtx"), new_hmtx}, {Tag("loca"), new_loca}, {Tag("glyf"), std::move(new_glyf)}};
  // The hinting programs, where the face has them, draw the glyphs as their maker meant.
  for (const char* name : {"cvt ", "fpgm", "prep"}) {
    std::string table;
    const char tag_name[5] = {name[0], name[1], name[2], name[3], '\0'};
    if (read(Tag(tag_name), table)) tables.emplace(Tag(tag_name), std::move(table));
  }

  const auto table_count = static_cast<std::uint32_t>(tables.size());
  std::uint32_t power = 1, log2 = 0;
  while (power * 2 <= table_count) {
    power *= 2;
    ++log2;
  }
  std::string font;
  Append32(font, 0x00010000);
  Append16(font, table_count);
  Append16(font, power * 16);
  Append16(font, log2);
  Append16(font, table_count * 16 - power * 16);
  std::size_t offset = 12 + std::size_t{table_count} * 16;
  std::size_t head_offset = 0;
  for (const auto& [tag, table] : tables) {
    if (tag == Tag("head")) head_offset = offset;
    Append32(font, tag);
    Append32(font, Checksum(table));
    Append32(font, static_cast<std::uint32_t>(offset));
    Append32(font, static_cast<std::uint32_t>(table.size()));
    offset += (table.size() + 3) & ~std::size_t{3};
  }
  for (const auto& [tag, table] : tables) {
    font += table;
    font.resize((font.size() + 3) & ~std::size_t{3}, '\0');
  }
  const std::uint32_t adjustment = 0xB1B0AFBA - Checksum(font);
  font[head_offset + 8] = static_cast<char>(adjustment >> 24);
  font[head_offset + 9] = static_cast<char>(adjustment >> 16);
  font[head_offset + 10] = static_cast<char>(adjustment >> 8);
  font[head_offset + 11] = static_cast<char>(adjustment);
  return font;
}

}  // namespace wydruki::platform
