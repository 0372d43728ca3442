// SPDX-License-Identifier: MIT
// Which installed face stands for a LOGFONTA, found with fontconfig the way the Windows font
// mapper would pick one: by face name first (with metric-compatible substitutes for the
// Windows core faces), then by pitch and family, weight and slant.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/api/gdi.h"

namespace wydruki::platform {

struct FaceMatch {
  std::string file;
  int index = 0;
  std::string family;             // the installed family found
  bool synthetic_bold = false;    // bold asked for, the face has none
  bool synthetic_italic = false;  // italic asked for, the face has none
};

// The face for `font`; nullopt only when no scalable face is installed at all.
std::optional<FaceMatch> MatchFace(const LOGFONTA& font);

// The face name of a LOGFONTA as UTF-8: its bytes up to the first NUL (at most
// LF_FACESIZE of them) read in the code page of its character set.
std::string FaceNameUtf8(const LOGFONTA& font);

// The font families EnumFontFamiliesExA lists: every scalable family with a name of at most
// 31 ASCII characters, plus the Windows core faces ("Courier New", "Arial",
// "Times New Roman") that are not installed but resolve to their metric-compatible
// substitute, under their Windows names. Sorted without regard to letter case, no duplicates.
std::vector<std::string> InstalledFamilies();

// Whether `family` resolves to a face that has every letter of the character set's code page.
bool FamilyCoversCharset(const std::string& family, unsigned char charset);

}  // namespace wydruki::platform
