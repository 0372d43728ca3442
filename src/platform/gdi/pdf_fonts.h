// SPDX-License-Identifier: MIT
// The fonts of one PDF document: each face a page draws with gets a resource name the first
// time, and each glyph a code in it, so that a page's text is written as it is drawn. The
// font programs are embedded at the document's end, cut down to the glyphs used: a TrueType
// face as a CID-keyed TrueType font, any other face (CFF, Type 1) as a Type 3 font drawn
// from its outlines. Every font carries a map to Unicode, so the text can be searched and
// extracted.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gdi/font_realizer.h"
#include "gdi/pdf_file.h"

namespace wydruki::platform {

class PdfFonts {
 public:
  PdfFonts();
  ~PdfFonts();

  // How a glyph is written in a page's text.
  struct Code {
    int resource;        // the font's name in the page resources is /F<resource>
    std::uint32_t code;  // one byte
    bool truetype;       // a TrueType font, which a synthetic bold strokes as well as fills
    double advance;  // in text space units of a font size of 1
  };
  // A face as the document embeds it; what `Encode` codes the glyphs of.
  struct Face;
  Face& FaceOf(const RealizedFont& font);
  // The code of glyph `glyph` of `face`, which stands for `unicode`.
  Code Encode(Face& face, std::uint32_t glyph, char32_t unicode);

  // Writes every font used, and the resource dictionary that names them as object `resources`.
  void Write(PdfFile& file, int resources);

 private:
  Code Add(Face& face, std::uint32_t glyph, char32_t unicode);

  std::vector<std::unique_ptr<Face>> faces_;
  Face* last_ = nullptr;  // pages draw long runs with one face
  int resource_count_ = 0;
};

}  // namespace wydruki::platform
