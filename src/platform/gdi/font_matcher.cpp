// SPDX-License-Identifier: MIT
#include "gdi/font_matcher.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "common/ascii_case.h"
#include "gdi/code_pages.h"

namespace wydruki::platform {
namespace {

// Windows core faces and the installed families made to their metrics. fontconfig's own
// aliases usually say the same; listing them here keeps the default face working where a
// system's configuration lacks those aliases.
struct Substitute {
  const char* windows_face;
  const char* substitute;
};
constexpr Substitute kSubstitutes[] = {
    {"Courier New", "Liberation Mono"},   {"Courier", "Liberation Mono"},
    {"Arial", "Liberation Sans"},         {"Helvetica", "Liberation Sans"},
    {"MS Sans Serif", "Liberation Sans"}, {"MS Shell Dlg", "Liberation Sans"},
    {"System", "Liberation Sans"},        {"Times New Roman", "Liberation Serif"},
    {"Times", "Liberation Serif"},
};
// The core faces that enumeration offers under their own names.
constexpr const char* kListedCoreFaces[] = {"Courier New", "Arial", "Times New Roman"};

const char* SubstituteFor(const std::string& face) {
  for (const auto& entry : kSubstitutes)
    if (EqualsIgnoreCase(face, entry.windows_face)) return entry.substitute;
  return nullptr;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
}

// The generic family fontconfig understands for a LOGFONTA without a face name.
const char* GenericFamily(BYTE pitch_and_family) {
  if ((pitch_and_family & 0x03) == FIXED_PITCH) return "monospace";
  switch (pitch_and_family & 0xF0) {
    case FF_MODERN:
      return "monospace";
    case FF_ROMAN:
      return "serif";
    default:
      return "sans-serif";
  }
}

FcPattern* MatchedPattern(const std::string& face, const LOGFONTA& font) {
  FcPattern* pattern = FcPatternCreate();
  if (pattern == nullptr) return nullptr;
  if (!face.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    if (const char* substitute = SubstituteFor(face))
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(substitute));
    // A face that is not installed gives way to one of the pitch and family asked for, as the
    // Windows mapper weighs pitch above everything but the name.
    if (font.lfPitchAndFamily != 0)
      FcPatternAddString(pattern, FC_FAMILY,
                         reinterpret_cast<const FcChar8*>(GenericFamily(font.lfPitchAndFamily)));
  } else {
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(GenericFamily(font.lfPitchAndFamily)));
  }
  const int weight = font.lfWeight <= 0 ? FW_NORMAL : std::min<int>(font.lfWeight, 1000);
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
  FcPatternAddInteger(pattern, FC_SLANT, font.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  return match;
}

std::string FirstFamily(FcPattern* pattern) {
  FcChar8* family = nullptr;
  if (FcPatternGetString(pattern, FC_FAMILY, 0, &family) != FcResultMatch || family == nullptr)
    return {};
  return reinterpret_cast<const char*>(family);
}

std::mutex& FontconfigLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace

std::string FaceNameUtf8(const LOGFONTA& font) {
  const CodePage& page = CodePageForCharset(font.lfCharSet);
  std::string name;
  for (int i = 0; i < LF_FACESIZE && font.lfFaceName[i] != '\0'; ++i)
    AppendUtf8(name, page.ToUnicode(static_cast<unsigned char>(font.lfFaceName[i])));
  return name;
}

std::optional<FaceMatch> MatchFace(const LOGFONTA& font) {
  std::lock_guard<std::mutex> guard(FontconfigLock());
  FcPattern* match = MatchedPattern(FaceNameUtf8(font), font);
  if (match == nullptr) return std::nullopt;
  FaceMatch face;
  FcChar8* file = nullptr;
  if (FcPatternGetString(match, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
    FcPatternDestroy(match);
    return std::nullopt;
  }
  face.file = reinterpret_cast<const char*>(file);
  FcPatternGetInteger(match, FC_INDEX, 0, &face.index);
  face.family = FirstFamily(match);
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
  FcPatternGetInteger(match, FC_SLANT, 0, &slant);
  face.synthetic_bold = font.lfWeight >= FW_SEMIBOLD && weight < FC_WEIGHT_DEMIBOLD;
  face.synthetic_italic = font.lfItalic != 0 && slant == FC_SLANT_ROMAN;
  FcPatternDestroy(match);
  return face;
}

std::vector<std::string> InstalledFamilies() {
  std::vector<std::string> families;
  {
    std::lock_guard<std::mutex> guard(FontconfigLock());
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcFontSet* set = (pattern && objects) ? FcFontList(nullptr, pattern, objects) : nullptr;
    for (int i = 0; set != nullptr && i < set->nfont; ++i) {
      std::string family = FirstFamily(set->fonts[i]);
      const bool ascii =
          std::all_of(family.begin(), family.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
      if (!family.empty() && family.size() < LF_FACESIZE && ascii) families.push_back(family);
    }
    if (set != nullptr) FcFontSetDestroy(set);
    if (objects != nullptr) FcObjectSetDestroy(objects);
    if (pattern != nullptr) FcPatternDestroy(pattern);
  }
  for (const char* core : kListedCoreFaces) {
    LOGFONTA font{};
    std::strncpy(font.lfFaceName, core, LF_FACESIZE - 1);
    const auto match = MatchFace(font);
    const char* substitute = SubstituteFor(core);
    if (match && substitute != nullptr &&
        (EqualsIgnoreCase(match->family, substitute) || EqualsIgnoreCase(match->family, core)))
      families.push_back(core);
  }
  std::sort(families.begin(), families.end(), LessIgnoreCase);
  families.erase(std::unique(families.begin(), families.end(), EqualsIgnoreCase), families.end());
  return families;
}

bool FamilyCoversCharset(const std::string& family, unsigned char charset) {
  LOGFONTA font{};
  std::strncpy(font.lfFaceName, family.c_str(), LF_FACESIZE - 1);
  std::lock_guard<std::mutex> guard(FontconfigLock());
  FcPattern* match = MatchedPattern(family, font);
  if (match == nullptr) return false;
  FcCharSet* coverage = nullptr;
  bool covers = FcPatternGetCharSet(match, FC_CHARSET, 0, &coverage) == FcResultMatch;
  const CodePage& page = CodePageForCharset(charset);
  // The letters are what a document needs; punctuation in the upper half varies by face.
  for (int byte = 0xC0; covers && byte <= 0xFF; ++byte)
    covers = FcCharSetHasChar(coverage, page.ToUnicode(static_cast<unsigned char>(byte)));
  FcPatternDestroy(match);
  return covers;
}

}  // namespace wydruki::platform

// fontconfig keeps a block from parsing its configuration files for the life of the process
// and never frees it: the library's own, once per process, not a leak of the program. Every
// program built with the leak checker that uses fonts is told so here, beside the code that
// calls fontconfig.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define WYDRUKI_LEAK_CHECKER 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(WYDRUKI_LEAK_CHECKER)
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
// The checker would otherwise list the suppression it used on standard error at every exit,
// in the middle of what the agent itself says there.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
