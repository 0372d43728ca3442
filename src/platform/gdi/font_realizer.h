// SPDX-License-Identifier: MIT
// Fonts as the device sees them: a LOGFONTA matched to an installed face with fontconfig,
// measured with FreeType the way the Windows font mapper measures TrueType faces, and drawn
// with cairo.
#pragma once

#include <cairo.h>

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "gdi/code_pages.h"
#include "platform/api/gdi.h"

struct FT_FaceRec_;  // FreeType's face, what FT_Face points to

namespace wydruki::platform {

// One LOGFONTA realized at one resolution. Immutable once made, shared by every device
// context that selects an equal font.
struct LoadedFace;

class RealizedFont {
 public:
  RealizedFont(const RealizedFont&) = delete;
  RealizedFont& operator=(const RealizedFont&) = delete;

  const TEXTMETRICA& Metrics() const { return metrics_; }
  // The installed family that stands for the requested face.
  const std::string& Family() const { return family_; }
  // Horizontal advance of a byte of the font's code page, in device units (with the lfWidth
  // stretch applied).
  int Advance(unsigned char byte) const { return advances_[byte]; }
  // The face's glyph for a byte (0, the missing glyph, when the face has none).
  unsigned long Glyph(unsigned char byte) const { return glyphs_[byte]; }
  const CodePage& Page() const { return *code_page_; }
  bool Underline() const { return metrics_.tmUnderlined != 0; }
  bool StrikeOut() const { return metrics_.tmStruckOut != 0; }
  // Offsets below the baseline (negative: above) and thickness of the two lines, device units.
  double UnderlinePosition() const { return underline_position_; }
  double StrikeOutPosition() const { return strikeout_position_; }
  double LineThickness() const { return line_thickness_; }
  // Font data sizes as NEWTEXTMETRICA reports them, in font units.
  unsigned UnitsPerEm() const { return units_per_em_; }
  unsigned CellUnits() const { return cell_units_; }
  unsigned AverageWidthUnits() const { return average_width_units_; }
  // The cairo face (with synthetic bold or oblique when the face lacks them) and the font
  // matrix that sizes it in device units. The face is made on first use, from any thread;
  // nullptr only when memory runs out.
  cairo_font_face_t* FontFace() const;
  const cairo_matrix_t& FontMatrix() const { return font_matrix_; }
  // The installed face the font is drawn with: one for every font realized from it.
  const LoadedFace* Face() const { return loaded_; }
  bool SyntheticBold() const { return (synthesis_ & 1) != 0; }
  bool SyntheticOblique() const { return (synthesis_ & 2) != 0; }

  // Realizes `font` for a device of `dpi` pixels per inch vertically (which sizes a height
  // of 0). nullptr when no face at all can be found.
  static std::shared_ptr<const RealizedFont> Realize(const LOGFONTA& font, int dpi);

 private:
  RealizedFont() = default;

  TEXTMETRICA metrics_{};
  std::string family_;
  std::array<int, 256> advances_{};
  std::array<unsigned long, 256> glyphs_{};
  const CodePage* code_page_ = nullptr;
  double underline_position_ = 0;
  double strikeout_position_ = 0;
  double line_thickness_ = 1;
  unsigned units_per_em_ = 0;
  unsigned cell_units_ = 0;
  unsigned average_width_units_ = 0;
  cairo_matrix_t font_matrix_{};
  LoadedFace* loaded_ = nullptr;  // the face store's entry (lives as long as the process)
  int synthesis_ = 0;             // synthetic bold 1, oblique 2
};

// Runs `use` on the FreeType face of `face`, under the lock of the store that keeps it: a
// document embedding the face reads its tables and outlines this way, on any thread.
void UseFreeTypeFace(const LoadedFace& face, const std::function<void(::FT_FaceRec_*)>& use);

}  // namespace wydruki::platform
