// SPDX-License-Identifier: MIT
#include "Graphics/GraphicsStartUp.h"

namespace wydruki::graphics {
namespace {

constexpr TFontCharset kShiftJisCharset = 128;

struct StartUpValues {
  int screen_resolution = 96;
  HPEN neutral_pen = nullptr;
  HBRUSH neutral_brush = nullptr;
  HFONT neutral_font = nullptr;
  FontDescription default_font;

  StartUpValues() {
    TFontCharset system_charset = 1;  // DEFAULT_CHARSET when anything below fails
    if (HDC screen = GetDC(nullptr)) {
      const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
      if (dpi > 0) screen_resolution = dpi;
      HGDIOBJ previous = SelectObject(screen, GetStockObject(SYSTEM_FONT));
      TEXTMETRICA metrics{};
      if (previous != nullptr && GetTextMetricsA(screen, &metrics))
        system_charset = metrics.tmCharSet;
      if (previous != nullptr) SelectObject(screen, previous);
      ReleaseDC(nullptr, screen);
    }
    neutral_pen = static_cast<HPEN>(GetStockObject(BLACK_PEN));
    neutral_brush = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    neutral_font = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    default_font = MakeDefaultFontDescription(screen_resolution, system_charset);
  }
};

const StartUpValues& Values() {
  static const StartUpValues values;
  return values;
}

}  // namespace

FontDescription MakeDefaultFontDescription(int screen_resolution, TFontCharset system_charset) {
  FontDescription d;
  d.Height = -MulDiv(8, screen_resolution, 72);
  d.Pitch = TFontPitch::fpDefault;
  d.Charset = 1;
  d.Name = "MS Sans Serif";
  if (system_charset == kShiftJisCharset) {
    // The Japanese proportional Gothic face, in Shift-JIS.
    d.Name = "\x82\x6C\x82\x72\x20\x82\x6F\x83\x53\x83\x56\x83\x62\x83\x4E";
    d.Height = -MulDiv(9, screen_resolution, 72);
    d.Charset = kShiftJisCharset;
  }
  return d;
}

int ScreenResolution() { return Values().screen_resolution; }
const FontDescription& DefaultFontDescription() { return Values().default_font; }
HPEN NeutralPen() { return Values().neutral_pen; }
HBRUSH NeutralBrush() { return Values().neutral_brush; }
HFONT NeutralFont() { return Values().neutral_font; }

// The caches are made after the start-up values, so they are destroyed before them.
TResourceManager<FontDescription>& FontCache() {
  Values();
  static TResourceManager<FontDescription> cache;
  return cache;
}
TResourceManager<PenDescription>& PenCache() {
  Values();
  static TResourceManager<PenDescription> cache;
  return cache;
}
TResourceManager<BrushDescription>& BrushCache() {
  Values();
  static TResourceManager<BrushDescription> cache;
  return cache;
}

}  // namespace wydruki::graphics
