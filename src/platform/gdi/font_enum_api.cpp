// SPDX-License-Identifier: MIT
// EnumFontFamiliesExA: the installed font families, one callback each.
#include <cstring>
#include <string>
#include <vector>

#include "common/ascii_case.h"
#include "gdi/font_matcher.h"
#include "gdi/gdi_tables.h"
#include "platform/winapi.h"

using wydruki::platform::EqualsIgnoreCase;
using wydruki::platform::GdiTables;
using wydruki::platform::RealizedFont;

namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

const char* ScriptName(BYTE charset) {
  switch (charset) {
    case EASTEUROPE_CHARSET:
      return "Central European";
    case RUSSIAN_CHARSET:
      return "Cyrillic";
    default:
      return "Western";
  }
}

struct Entry {
  ENUMLOGFONTEXA font{};
  NEWTEXTMETRICEXA metrics{};
};

// What the callback receives for one family: its logical font at a 12-point size on the
// context's resolution, and the metrics of that font.
bool Describe(const std::string& family, BYTE charset, int dpi, Entry& entry) {
  LOGFONTA& lf = entry.font.elfLogFont;
  lf = {};
  std::strncpy(lf.lfFaceName, family.c_str(), LF_FACESIZE - 1);
  lf.lfHeight = -(12 * dpi + 36) / 72;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = charset;
  const auto realized = RealizedFont::Realize(lf, dpi);
  if (!realized) return false;
  const TEXTMETRICA& tm = realized->Metrics();
  lf.lfHeight = tm.tmHeight;
  lf.lfWidth = tm.tmAveCharWidth;
  lf.lfOutPrecision = OUT_STROKE_PRECIS;
  lf.lfClipPrecision = CLIP_STROKE_PRECIS;
  lf.lfQuality = DRAFT_QUALITY;
  // LOGFONT pitch: FIXED_PITCH for monospaced faces (the opposite of the TMPF bit).
  lf.lfPitchAndFamily =
      static_cast<BYTE>((tm.tmPitchAndFamily & 0xF0) |
                        ((tm.tmPitchAndFamily & TMPF_FIXED_PITCH) ? VARIABLE_PITCH : FIXED_PITCH));
  std::strncpy(reinterpret_cast<char*>(entry.font.elfFullName), family.c_str(),
               LF_FULLFACESIZE - 1);
  std::strncpy(reinterpret_cast<char*>(entry.font.elfStyle), "Regular", LF_FACESIZE - 1);
  std::strncpy(reinterpret_cast<char*>(entry.font.elfScript), ScriptName(charset), LF_FACESIZE - 1);
  NEWTEXTMETRICA& ntm = entry.metrics.ntmTm;
  std::memcpy(&ntm, &tm, sizeof tm);
  ntm.ntmFlags = NTM_REGULAR;
  ntm.ntmSizeEM = realized->UnitsPerEm();
  ntm.ntmCellHeight = realized->CellUnits();
  ntm.ntmAvgWidth = realized->AverageWidthUnits();
  entry.metrics.ntmFontSig = {};
  entry.metrics.ntmFontSig.fsCsb[0] = charset == EASTEUROPE_CHARSET ? 0x2 : 0x1;
  return true;
}

}  // namespace

int WINAPI EnumFontFamiliesExA(HDC hdc, LPLOGFONTA lpLogfont, FONTENUMPROCA lpProc, LPARAM lParam,
                               DWORD) {
  int dpi = 96;
  {
    Lock lock(GdiTables::Instance().Lock());
    const auto* dc = GdiTables::Instance().FindDCOrFail(hdc);
    if (dc == nullptr) return 0;
    dpi = dc->target.caps.log_pixels_y;
  }
  if (lpLogfont == nullptr || lpProc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const BYTE wanted = lpLogfont->lfCharSet;
  const std::string face(lpLogfont->lfFaceName, strnlen(lpLogfont->lfFaceName, LF_FACESIZE));
  std::vector<std::string> families;
  for (const std::string& family : wydruki::platform::InstalledFamilies()) {
    if (!face.empty() && !EqualsIgnoreCase(family, face.c_str())) continue;
    if (wanted != DEFAULT_CHARSET && !wydruki::platform::FamilyCoversCharset(family, wanted))
      continue;
    families.push_back(family);
  }
  // The callback runs without any lock held: it may create fonts and measure with them.
  int result = 0;
  for (const std::string& family : families) {
    Entry entry;
    const BYTE charset = wanted == DEFAULT_CHARSET ? ANSI_CHARSET : wanted;
    if (!Describe(family, charset, dpi, entry)) continue;
    result = lpProc(&entry.font.elfLogFont, reinterpret_cast<const TEXTMETRICA*>(&entry.metrics),
                    TRUETYPE_FONTTYPE, lParam);
    if (result == 0) break;
  }
  return result;
}
