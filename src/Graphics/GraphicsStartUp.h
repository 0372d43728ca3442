// SPDX-License-Identifier: MIT
// What the drawing tools read once at start-up: the screen's resolution, the neutral stock
// objects, the default font, and the three caches. Everything is set up on first use, so the
// order in which the program's parts start does not matter.
#pragma once

#include "Graphics/Descriptions.h"
#include "Graphics/ResourceManager.h"

namespace wydruki::graphics {

// The screen's vertical pixels per inch.
int ScreenResolution();

// The description every new font starts from: 8 points of "MS Sans Serif" on the screen (the
// far-eastern variant on a system whose stock font is Shift-JIS).
const FontDescription& DefaultFontDescription();

// Builds the default description for a screen resolution and the stock font's character set.
FontDescription MakeDefaultFontDescription(int screen_resolution, TFontCharset system_charset);

// The stock objects a device context gets when a canvas lets go of its own.
HPEN NeutralPen();
HBRUSH NeutralBrush();
HFONT NeutralFont();

TResourceManager<FontDescription>& FontCache();
TResourceManager<PenDescription>& PenCache();
TResourceManager<BrushDescription>& BrushCache();

}  // namespace wydruki::graphics
