// SPDX-License-Identifier: MIT
// The fonts a printer document embeds are cut down from the installed faces. A reader must
// draw from them the glyphs the faces have, where the calls put them, and read the text back.
// The reference is cairo drawing the same glyphs of the same face into a PDF of its own: both
// pages are rasterized by poppler and compared pixel by pixel.
#include <cairo-ft.h>
#include <cairo-pdf.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "gdi/font_realizer.h"
#include "gdi_test_support.h"

namespace wydruki::test {
namespace {

// "ĄĆĘŁŃÓŚŹŻ ząb@&Wg" in Windows-1250: composite glyphs (letters with marks) among them.
const std::string kSample =
    "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF z\xB9"
    "b@&Wg";

struct Raster {
  int width = 0, height = 0;
  std::vector<unsigned char> pixels;
  int At(int x, int y) const {
    x = std::clamp(x, 0, width - 1);
    y = std::clamp(y, 0, height - 1);
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
};

// The grey levels of a page rasterized by pdftoppm, at 100 pixels an inch.
Raster Rasterize(const std::string& pdf) {
  const std::string base = pdf.substr(0, pdf.size() - 4);
  if (std::system(("pdftoppm -r 100 -gray -singlefile '" + pdf + "' '" + base + "'").c_str()) != 0)
    return {};
  FILE* file = std::fopen((base + ".pgm").c_str(), "rb");
  if (file == nullptr) return {};
  Raster raster;
  int depth = 0;
  if (std::fscanf(file, "P5 %d %d %d", &raster.width, &raster.height, &depth) == 3 &&
      std::fgetc(file) != EOF) {
    raster.pixels.resize(static_cast<std::size_t>(raster.width) * raster.height);
    if (std::fread(raster.pixels.data(), 1, raster.pixels.size(), file) != raster.pixels.size())
      raster = {};
  }
  std::fclose(file);
  return raster;
}

// Every entry of the file's cross-reference table points at its object, and the table is where
// the trailer says: a reader that trusts the table (a printer's own PDF interpreter) finds
// every object, where poppler would quietly rebuild a broken table.
void ExpectCrossReferencesHold(const std::string& pdf) {
  const auto startxref = pdf.rfind("startxref\n");
  ASSERT_NE(startxref, std::string::npos);
  const std::size_t table = std::stoul(pdf.substr(startxref + 10));
  ASSERT_EQ(pdf.compare(table, 5, "xref\n"), 0);
  std::istringstream in(pdf.substr(table + 5));
  int first = -1, count = -1;
  ASSERT_TRUE(in >> first >> count);
  ASSERT_EQ(first, 0);
  ASSERT_GT(count, 1);
  for (int object = 0; object < count; ++object) {
    std::string offset, generation, kind;
    ASSERT_TRUE(in >> offset >> generation >> kind);
    ASSERT_EQ(offset.size(), 10u);
    if (object == 0) continue;
    EXPECT_EQ(kind, "n");
    const std::string header = std::to_string(object) + " 0 obj\n";
    EXPECT_EQ(pdf.compare(std::stoul(offset), header.size(), header), 0) << "object " << object;
  }
  EXPECT_NE(pdf.find("/Size " + std::to_string(count) + " "), std::string::npos);
}

class PdfFontsTest : public GdiTest {};

TEST_F(PdfFontsTest, EmbeddedFacesDrawWhatTheInstalledFacesDrawAndKeepTheText) {
  // A TrueType face becomes a TrueType subset; a CFF one is drawn from its outlines.
  const struct {
    const char* face;
    const char* pdf_font_type;
  } kFaces[] = {{"Liberation Mono", "CID TrueType"}, {"Nimbus Mono PS", "Type 3"}};
  for (const auto& [face_name, pdf_font_type] : kFaces) {
    SCOPED_TRACE(face_name);
    HDC dc = Printer();
    const LOGFONTA logfont = MakeFont(face_name, -300);
    HFONT font = CreateFontIndirectA(&logfont);
    SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    const double x_points = 72.0 / GetDeviceCaps(dc, LOGPIXELSX);
    const double y_points = 72.0 / GetDeviceCaps(dc, LOGPIXELSY);
    const double width = GetDeviceCaps(dc, PHYSICALWIDTH) * x_points;
    const double height = GetDeviceCaps(dc, PHYSICALHEIGHT) * y_points;
    const double offset_x = GetDeviceCaps(dc, PHYSICALOFFSETX);
    const double offset_y = GetDeviceCaps(dc, PHYSICALOFFSETY);
    const std::string ours = std::string("ours ") + face_name;
    const DOCINFOA info = Doc(ours.c_str());
    ASSERT_GT(StartDocA(dc, &info), 0);
    ASSERT_GT(StartPage(dc), 0);
    ASSERT_TRUE(TextOutA(dc, 100, 400, kSample.data(), static_cast<int>(kSample.size())));
    ASSERT_GT(EndDoc(dc), 0);
    DeleteDC(dc);
    DeleteObject(font);

    const auto realized = platform::RealizedFont::Realize(logfont, 600);
    ASSERT_NE(realized, nullptr);
    ASSERT_NE(realized->Family().find(face_name), std::string::npos) << realized->Family();
    cairo_surface_t* surface =
        cairo_pdf_surface_create(dir_.Path("cairo " + ours + ".pdf").c_str(), width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_scale(cr, x_points, y_points);
    cairo_translate(cr, offset_x, offset_y);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    std::vector<cairo_glyph_t> glyphs;
    double x = 100;
    for (const char c : kSample) {
      const auto byte = static_cast<unsigned char>(c);
      glyphs.push_back({realized->Glyph(byte), x, 400.0 + realized->Metrics().tmAscent});
      x += realized->Advance(byte);
    }
    platform::UseFreeTypeFace(*realized->Face(), [&](FT_FaceRec_* ft) {
      cairo_font_face_t* face = cairo_ft_font_face_create_for_ft_face(ft, FT_LOAD_NO_HINTING);
      cairo_set_font_face(cr, face);
      cairo_set_font_matrix(cr, &realized->FontMatrix());
      cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
      cairo_destroy(cr);
      cairo_surface_destroy(surface);  // written out while the face is still ours
      cairo_font_face_destroy(face);
    });

    const Raster drawn = Rasterize(dir_.Path(ours + ".pdf"));
    const Raster reference = Rasterize(dir_.Path("cairo " + ours + ".pdf"));
    ASSERT_EQ(drawn.pixels.size(), reference.pixels.size());
    ASSERT_FALSE(drawn.pixels.empty());
    // A pixel differs when nothing within a pixel of it in the reference is alike: renderers
    // may round a glyph's origin or its edges apart, but a glyph missing, moved or misshapen
    // differs over whole strokes.
    std::size_t inked = 0, differing = 0;
    for (int y = 0; y < drawn.height; ++y) {
      for (int x = 0; x < drawn.width; ++x) {
        inked += reference.At(x, y) < 128;
        bool alike = false;
        for (int dy = -1; dy <= 1 && !alike; ++dy)
          for (int dx = -1; dx <= 1 && !alike; ++dx)
            alike = std::abs(drawn.At(x, y) - reference.At(x + dx, y + dy)) <= 96;
        differing += !alike;
      }
    }
    EXPECT_GT(inked, 3000u) << "the reference shows the glyphs";
    EXPECT_LT(differing, inked / 50) << differing << " of " << inked;

    ExpectCrossReferencesHold(dir_.Read(ours + ".pdf"));
    const std::string text = Run("pdftotext '" + dir_.Path(ours + ".pdf") + "' -");
    EXPECT_NE(text.find("ĄĆĘŁŃÓŚŹŻ ząb@&Wg"), std::string::npos) << text;
    const std::string fonts = Run("pdffonts '" + dir_.Path(ours + ".pdf") + "'");
    EXPECT_NE(fonts.find(pdf_font_type), std::string::npos) << fonts;
  }
}

// Three code pages of one face use more glyphs than one font of single-byte codes holds: the
// face is split over several fonts, and a line switches between them mid-run.
TEST_F(PdfFontsTest, AFaceOfMoreThan256GlyphsIsSplitAndEveryLetterReadsBack) {
  for (const char* face_name : {"DejaVu Sans Mono", "Nimbus Mono PS"}) {
    SCOPED_TRACE(face_name);
    HDC dc = Printer();
    const std::string document = std::string("many ") + face_name;
    const DOCINFOA info = Doc(document.c_str());
    ASSERT_GT(StartDocA(dc, &info), 0);
    ASSERT_GT(StartPage(dc), 0);
    SetBkMode(dc, TRANSPARENT);
    std::string all;
    for (int byte = 0x21; byte <= 0xFF; ++byte) all += static_cast<char>(byte);
    int y = 100;
    for (const BYTE charset :
         {BYTE(EASTEUROPE_CHARSET), BYTE(RUSSIAN_CHARSET), BYTE(ANSI_CHARSET)}) {
      const LOGFONTA logfont = MakeFont(face_name, -40, 0, charset);
      HFONT font = CreateFontIndirectA(&logfont);
      HGDIOBJ old = SelectObject(dc, font);
      for (std::size_t at = 0; at < all.size(); at += 60, y += 60)
        ASSERT_TRUE(TextOutA(dc, 100, y, all.data() + at,
                             static_cast<int>(std::min<std::size_t>(60, all.size() - at))));
      SelectObject(dc, old);
      DeleteObject(font);
    }
    ASSERT_GT(EndDoc(dc), 0);
    DeleteDC(dc);

    ExpectCrossReferencesHold(dir_.Read(document + ".pdf"));
    const std::string text = Run("pdftotext '" + dir_.Path(document + ".pdf") + "' -");
    // Runs of each code page's upper half, in its own order.
    for (const char* letters : {"ŔÁÂĂÄĹĆÇČÉĘË", "ąş»Ľ˝ľż", "АБВГДЕЖЗИЙ", "эюя", "ÀÁÂÃÄÅÆÇ", "þÿ"})
      EXPECT_NE(text.find(letters), std::string::npos) << letters << "\n" << text;
    std::istringstream fonts(Run("pdffonts '" + dir_.Path(document + ".pdf") + "'"));
    int listed = 0;
    for (std::string line; std::getline(fonts, line);) listed += line.find(" yes ") != line.npos;
    EXPECT_GE(listed, 2) << "one face, more than one font";
  }
}

}  // namespace
}  // namespace wydruki::test
