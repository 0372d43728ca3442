// SPDX-License-Identifier: MIT
#include "gdi/font_realizer.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H
#include FT_ADVANCES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "gdi/font_matcher.h"

namespace wydruki::platform {

// FreeType faces stay open for the life of the process: cairo's font faces and printer
// documents refer to them, and the set of installed font files is small. A file is opened once
// to be measured here, and read by documents embedding it, under the store's lock; when a
// window first draws with it, a second face is made for cairo alone, which uses it outside that
// lock: a FreeType face serves one thread at a time. Listing the installed faces measures them
// all but draws none, so the second face is not made for them.
struct LoadedFace {
  std::string file;
  long index = 0;
  FT_Face face = nullptr;                  // for measuring
  FT_Face draw_face = nullptr;             // for cairo
  cairo_font_face_t* synthesized[4] = {};  // cairo faces, by synthesis flags
};

namespace {

class FaceStore {
 public:
  static FaceStore& Instance() {
    static FaceStore store;
    return store;
  }

  // The face of a match, to measure with; nullptr when the file is unusable.
  LoadedFace* Open(const FaceMatch& match) {
    std::lock_guard<std::mutex> guard(lock_);
    if (library_ == nullptr && FT_Init_FreeType(&library_) != 0) return nullptr;
    const std::string key = match.file + '\n' + std::to_string(match.index);
    auto [it, inserted] = faces_.try_emplace(key);
    LoadedFace& loaded = it->second;
    if (inserted) {
      loaded.file = match.file;
      loaded.index = match.index;
      if (FT_New_Face(library_, match.file.c_str(), match.index, &loaded.face) != 0)
        loaded.face = nullptr;
    }
    return loaded.face != nullptr ? &loaded : nullptr;
  }

  // The cairo face that draws `loaded` with synthetic bold (1) and oblique (2) as flagged,
  // made on first use; nullptr only when memory runs out.
  cairo_font_face_t* CairoFace(LoadedFace& loaded, int synthesis) {
    std::lock_guard<std::mutex> guard(lock_);
    cairo_font_face_t*& face = loaded.synthesized[synthesis];
    if (face != nullptr) return face;
    if (loaded.draw_face == nullptr && !OpenDrawFace(loaded)) return nullptr;
    face = cairo_ft_font_face_create_for_ft_face(loaded.draw_face, FT_LOAD_NO_HINTING);
    unsigned flags = 0;
    if (synthesis & 1) flags |= CAIRO_FT_SYNTHESIZE_BOLD;
    if (synthesis & 2) flags |= CAIRO_FT_SYNTHESIZE_OBLIQUE;
    if (flags != 0) cairo_ft_font_face_set_synthesize(face, flags);
    return face;
  }

  std::mutex& Lock() { return lock_; }

 private:
  // The second face reads the bytes the first one has mapped, when it has (FreeType maps font
  // files on Linux): no second open, no second copy, and no failure for a file that has been
  // replaced or removed since.
  bool OpenDrawFace(LoadedFace& loaded) {
    const FT_Stream stream = loaded.face->stream;
    const FT_Error error =
        stream != nullptr && stream->base != nullptr
            ? FT_New_Memory_Face(library_, stream->base, static_cast<FT_Long>(stream->size),
                                 loaded.index, &loaded.draw_face)
            : FT_New_Face(library_, loaded.file.c_str(), loaded.index, &loaded.draw_face);
    if (error == 0) return true;
    loaded.draw_face = nullptr;
    return false;
  }

  std::mutex lock_;
  FT_Library library_ = nullptr;
  std::unordered_map<std::string, LoadedFace> faces_;
};

int Round(double value) { return static_cast<int>(std::lround(value)); }

// Family nibble of tmPitchAndFamily for a proportional face, from its PANOSE classification.
BYTE ProportionalFamily(const TT_OS2* os2, const std::string& family) {
  if (os2 != nullptr) {
    const BYTE kind = os2->panose[0];
    const BYTE serif = os2->panose[1];
    if (kind == 3) return FF_SCRIPT;
    if (kind == 4 || kind == 5) return FF_DECORATIVE;
    if (kind == 2 && serif >= 11 && serif <= 13) return FF_SWISS;
    if (kind == 2 && serif >= 2 && serif <= 10) return FF_ROMAN;
  }
  if (family.find("Serif") != std::string::npos && family.find("Sans") == std::string::npos)
    return FF_ROMAN;
  return FF_SWISS;
}

std::string CacheKey(const LOGFONTA& font, int dpi) {
  LOGFONTA normalized = font;
  // Bytes after the face name's terminator do not make another font.
  const std::size_t length = strnlen(font.lfFaceName, LF_FACESIZE);
  std::memset(normalized.lfFaceName + length, 0, LF_FACESIZE - length);
  std::string key(reinterpret_cast<const char*>(&normalized), sizeof normalized);
  if (font.lfHeight == 0) key += std::to_string(dpi);
  return key;
}

}  // namespace

void UseFreeTypeFace(const LoadedFace& face, const std::function<void(::FT_FaceRec_*)>& use) {
  std::lock_guard<std::mutex> guard(FaceStore::Instance().Lock());
  use(face.face);
}

cairo_font_face_t* RealizedFont::FontFace() const {
  return FaceStore::Instance().CairoFace(*loaded_, synthesis_);
}

std::shared_ptr<const RealizedFont> RealizedFont::Realize(const LOGFONTA& font, int dpi) {
  static std::mutex cache_lock;
  static std::unordered_map<std::string, std::shared_ptr<const RealizedFont>> cache;
  const std::string key = CacheKey(font, dpi);
  {
    std::lock_guard<std::mutex> guard(cache_lock);
    if (auto it = cache.find(key); it != cache.end()) return it->second;
  }

  const auto match = MatchFace(font);
  if (!match) return nullptr;
  LoadedFace* loaded = FaceStore::Instance().Open(*match);
  if (loaded == nullptr) return nullptr;
  const FT_Face face = loaded->face;

  std::shared_ptr<RealizedFont> realized(new RealizedFont());
  RealizedFont& r = *realized;
  r.family_ = match->family;
  r.code_page_ = &CodePageForCharset(font.lfCharSet);
  r.loaded_ = loaded;
  r.synthesis_ = (match->synthetic_bold ? 1 : 0) | (match->synthetic_italic ? 2 : 0);

  std::lock_guard<std::mutex> face_guard(FaceStore::Instance().Lock());
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const double units_per_em = face->units_per_EM > 0 ? face->units_per_EM : 1000;
  // Windows measures TrueType cells from the OS/2 "win" metrics.
  double ascent_units = face->ascender;
  double descent_units = -face->descender;
  if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    ascent_units = os2->usWinAscent;
    descent_units = os2->usWinDescent;
  }
  const double cell_units = std::max(1.0, ascent_units + descent_units);
  const bool fixed_pitch = FT_IS_FIXED_WIDTH(face);

  std::array<FT_Fixed, 256> advance_units{};
  for (int byte = 0; byte < 256; ++byte) {
    const char32_t c = r.code_page_->ToUnicode(static_cast<unsigned char>(byte));
    r.glyphs_[byte] = FT_Get_Char_Index(face, c);
    FT_Fixed advance = 0;
    if (FT_Get_Advance(face, static_cast<FT_UInt>(r.glyphs_[byte]), FT_LOAD_NO_SCALE, &advance) !=
        0)
      advance = 0;
    advance_units[byte] = advance;
  }
  double average_units = os2 != nullptr && os2->xAvgCharWidth > 0
                             ? os2->xAvgCharWidth
                             : static_cast<double>(advance_units[' ']);
  // A monospaced face's cell is its one advance; stretching to lfWidth must give exactly that.
  if (fixed_pitch && advance_units[' '] > 0) average_units = double(advance_units[' ']);
  if (average_units <= 0) average_units = units_per_em / 2;

  // Height: negative = character (em) height, positive = cell height, 0 = 12 points.
  const long long requested = font.lfHeight;
  double pixels_per_em;
  if (requested < 0)
    pixels_per_em = double(-requested);
  else if (requested > 0)
    pixels_per_em = double(requested) * units_per_em / cell_units;
  else
    pixels_per_em = std::round(12.0 * dpi / 72.0);
  // Sizes beyond any page are cut down so the arithmetic below stays in range.
  constexpr double kLargest = 32767;
  pixels_per_em = std::clamp(pixels_per_em, 0.5, kLargest);
  const double y_scale = pixels_per_em / units_per_em;
  double x_scale = y_scale;
  if (font.lfWidth != 0)
    x_scale = std::min(std::abs(double(font.lfWidth)), kLargest) / average_units;

  TEXTMETRICA& tm = r.metrics_;
  tm.tmAscent = Round(ascent_units * y_scale);
  if (requested > 0) {
    tm.tmHeight = std::min<LONG>(font.lfHeight, LONG(kLargest));
    tm.tmDescent = std::max<LONG>(0, tm.tmHeight - tm.tmAscent);
  } else {
    tm.tmDescent = Round(descent_units * y_scale);
    tm.tmHeight = tm.tmAscent + tm.tmDescent;
  }
  tm.tmInternalLeading = std::max<LONG>(0, tm.tmHeight - Round(pixels_per_em));
  tm.tmExternalLeading = std::max(0, Round((face->height - cell_units) * y_scale));
  for (int byte = 0; byte < 256; ++byte)
    r.advances_[byte] = Round(double(advance_units[byte]) * x_scale);
  tm.tmAveCharWidth = Round(average_units * x_scale);
  tm.tmMaxCharWidth = std::max<LONG>(tm.tmAveCharWidth, Round(face->max_advance_width * x_scale));
  tm.tmWeight = font.lfWeight <= 0 ? FW_NORMAL : std::min<LONG>(font.lfWeight, 1000);
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = dpi;
  tm.tmDigitizedAspectY = dpi;
  tm.tmFirstChar = 0x1E;
  tm.tmLastChar = 0xFF;
  tm.tmDefaultChar = 0x1F;
  tm.tmBreakChar = 0x20;
  tm.tmItalic = font.lfItalic ? 255 : 0;
  tm.tmUnderlined = font.lfUnderline ? 255 : 0;
  tm.tmStruckOut = font.lfStrikeOut ? 255 : 0;
  // A scalable face is an outline (vector) TrueType-class font; TMPF_FIXED_PITCH is set for
  // variable pitch.
  tm.tmPitchAndFamily = TMPF_VECTOR | TMPF_TRUETYPE;
  if (fixed_pitch)
    tm.tmPitchAndFamily |= FF_MODERN;
  else
    tm.tmPitchAndFamily |= TMPF_FIXED_PITCH | ProportionalFamily(os2, r.family_);
  tm.tmCharSet = font.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : font.lfCharSet;

  r.units_per_em_ = static_cast<unsigned>(units_per_em);
  r.cell_units_ = static_cast<unsigned>(cell_units);
  r.average_width_units_ = static_cast<unsigned>(average_units);
  r.line_thickness_ = std::max(1.0, face->underline_thickness * y_scale);
  r.underline_position_ = -face->underline_position * y_scale;
  r.strikeout_position_ = os2 != nullptr && os2->yStrikeoutPosition > 0
                              ? -os2->yStrikeoutPosition * y_scale
                              : -tm.tmAscent / 3.0;
  cairo_matrix_init(&r.font_matrix_, x_scale * units_per_em, 0, 0, pixels_per_em, 0, 0);

  std::lock_guard<std::mutex> guard(cache_lock);
  // Programs make a new font for every size they try; forget old realizations now and then
  // (device contexts keep theirs alive while selected).
  if (cache.size() >= 512) cache.clear();
  cache.emplace(key, realized);
  return realized;
}

}  // namespace wydruki::platform
