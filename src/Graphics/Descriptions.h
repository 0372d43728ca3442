// SPDX-License-Identifier: MIT
// The values that identify a font, a pen and a brush in their caches. Equal descriptions share
// one system object.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "Graphics/Colors.h"
#include "Graphics/FontCharset.h"
#include "platform/winapi.h"

namespace wydruki::graphics {

enum class TFontPitch : std::uint8_t { fpDefault = 0, fpVariable = 1, fpFixed = 2 };

enum TFontStyle : std::uint8_t { fsBold = 0, fsItalic = 1, fsUnderline = 2, fsStrikeOut = 3 };

// A set of TFontStyle values, one bit each.
class TFontStyles {
 public:
  constexpr TFontStyles() = default;
  constexpr TFontStyles(std::initializer_list<TFontStyle> styles) {
    for (auto s : styles) bits_ |= static_cast<std::uint8_t>(1u << s);
  }
  constexpr bool Contains(TFontStyle s) const { return (bits_ >> s) & 1u; }
  constexpr TFontStyles With(TFontStyle s) const {
    TFontStyles r = *this;
    r.bits_ |= static_cast<std::uint8_t>(1u << s);
    return r;
  }
  constexpr TFontStyles Without(TFontStyle s) const {
    TFontStyles r = *this;
    r.bits_ &= static_cast<std::uint8_t>(~(1u << s));
    return r;
  }
  constexpr std::uint8_t Bits() const { return bits_; }
  constexpr bool operator==(const TFontStyles&) const = default;

 private:
  std::uint8_t bits_ = 0;
};

inline constexpr std::size_t kMaxFontNameLength = 31;

struct FontDescription {
  HFONT origin = nullptr;  // the handle this description was read from, if any
  std::int32_t Height = 0;
  TFontPitch Pitch = TFontPitch::fpDefault;
  TFontStyles Style;
  TFontCharset Charset = 1;
  std::string Name;  // at most kMaxFontNameLength characters

  bool operator==(const FontDescription&) const = default;
  // The cache's 16-bit hash over every field, in order.
  std::uint16_t Hash() const;
};

enum class TPenStyle : std::uint8_t {
  psSolid,
  psDash,
  psDot,
  psDashDot,
  psDashDotDot,
  psClear,
  psInsideFrame
};

enum class TPenMode : std::uint8_t {
  pmBlack,
  pmWhite,
  pmNop,
  pmNot,
  pmCopy,
  pmNotCopy,
  pmMergePenNot,
  pmMaskPenNot,
  pmMergeNotPen,
  pmMaskNotPen,
  pmMerge,
  pmNotMerge,
  pmMask,
  pmNotMask,
  pmXor,
  pmNotXor
};

// The R2_ mix mode for a pen mode.
int PenModeToRop2(TPenMode mode);

struct PenDescription {
  HPEN origin = nullptr;
  TColor Color = clBlack;
  std::int32_t Width = 1;
  TPenStyle Style = TPenStyle::psSolid;

  bool operator==(const PenDescription&) const = default;
  std::uint16_t Hash() const;
};

enum class TBrushStyle : std::uint8_t {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

// The pattern bitmap of a brush is never used by this program and is left out.
struct BrushDescription {
  HBRUSH origin = nullptr;
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;

  bool operator==(const BrushDescription&) const = default;
  std::uint16_t Hash() const;
};

// 16-bit hash: for each byte, rotate left by 5 within 16 bits, then exclusive-or the byte.
// It only speeds up the search; equality is decided on the fields.
class DescriptionHash {
 public:
  DescriptionHash() = default;
  DescriptionHash(const void* bytes, std::size_t count) { Add(bytes, count); }
  DescriptionHash& Add(const void* bytes, std::size_t count) {
    const auto* p = static_cast<const std::uint8_t*>(bytes);
    for (std::size_t i = 0; i < count; ++i) {
      value_ = static_cast<std::uint16_t>((value_ << 5) | (value_ >> 11));
      value_ = static_cast<std::uint16_t>(value_ ^ p[i]);
    }
    return *this;
  }
  template <typename T>
  DescriptionHash& AddValue(const T& value) {
    return Add(&value, sizeof value);
  }
  std::uint16_t Value() const { return value_; }

 private:
  std::uint16_t value_ = 0;
};

}  // namespace wydruki::graphics
