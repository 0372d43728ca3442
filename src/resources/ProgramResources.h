// SPDX-License-Identifier: MIT
// The program's named pictures: its icon and the glyphs of its buttons. They are .ico files
// in src/resources/icons/ (drawn by scripts/draw-icons.py); on Windows the resource script
// puts them into the program file, elsewhere InstallProgramResources hands them to the
// platform, and either way they are loaded by name from the program's module.
#pragma once

namespace wydruki::resources {

inline constexpr const char* kMainIcon = "MAINICON";
inline constexpr const char* kGlyphOk = "GLYPH_OK";          // a tick: OK, Yes, All
inline constexpr const char* kGlyphCancel = "GLYPH_CANCEL";  // a cross: Cancel, No, Abort, Close
inline constexpr const char* kGlyphHelp = "GLYPH_HELP";      // a question mark: Help, Retry, Ignore
inline constexpr const char* kGlyphFont = "GLYPH_FONT";      // a letter: the font dialog button

// Makes every picture above loadable by name. Call before the first window is made; calling
// again does no harm. On Windows the pictures are in the program file and this does nothing.
void InstallProgramResources();

}  // namespace wydruki::resources
