// SPDX-License-Identifier: MIT
#include "gdi/pdf_fonts.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_ADVANCES_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <algorithm>
#include <cmath>

#include "gdi/truetype_subset.h"

namespace wydruki::platform {
namespace {

// Glyph space of every font written here: 1000 units an em.
constexpr double kGlyphUnits = 1000;
// Glyph codes are single bytes, half the bytes of a page's text: a font resource stands for
// 256 glyphs of a face, and a face of more has a resource for each 256.
constexpr std::uint32_t kSliceGlyphs = 256;

std::string Ref(int object) { return std::to_string(object) + " 0 R"; }

void AppendHex(std::string& out, std::uint32_t value, int digits) {
  static const char kHex[] = "0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHex[(value >> shift) & 0xF];
}

// A PostScript name as a PDF name may hold it: delimiters and anything outside printable
// ASCII are left out.
std::string PdfName(const char* name) {
  std::string out;
  for (const char* c = name; c != nullptr && *c != '\0'; ++c) {
    const auto byte = static_cast<unsigned char>(*c);
    if (byte > 32 && byte < 127 && std::string_view("()<>[]{}/%#").find(*c) == std::string::npos)
      out += *c;
  }
  return out.empty() ? "Font" : out;
}

// The six capital letters that mark a subset's name, different for different subsets.
std::string SubsetTag(const std::string& name, const std::vector<std::uint32_t>& glyphs) {
  std::uint64_t hash = 14695981039346656037ull;
  const auto mix = [&hash](std::uint64_t value) { hash = (hash ^ value) * 1099511628211ull; };
  for (const char c : name) mix(static_cast<unsigned char>(c));
  for (const std::uint32_t glyph : glyphs) mix(glyph);
  std::string tag;
  for (int i = 0; i < 6; ++i, hash /= 26) tag += static_cast<char>('A' + hash % 26);
  return tag;
}

// The map from the one-byte codes of `count` glyphs from `first` on to the characters they
// stand for, as a PDF text extractor reads it.
std::string ToUnicodeMap(const std::vector<char32_t>& unicode, std::uint32_t first,
                         std::uint32_t count) {
  constexpr int code_digits = 2;
  std::string entries;
  int in_block = 0;
  std::string map =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n1 begincodespacerange\n";
  map += "<00> <FF>\n";
  map += "endcodespacerange\n";
  const auto flush = [&] {
    if (in_block == 0) return;
    map += std::to_string(in_block) + " beginbfchar\n" + entries + "endbfchar\n";
    entries.clear();
    in_block = 0;
  };
  for (std::uint32_t i = 0; i < count; ++i) {
    const char32_t c = unicode[first + i];
    if (c == 0 || c > 0x10FFFF) continue;
    entries += '<';
    AppendHex(entries, i, code_digits);
    entries += "> <";
    if (c >= 0x10000) {
      AppendHex(entries, 0xD800 + ((c - 0x10000) >> 10), 4);
      AppendHex(entries, 0xDC00 + ((c - 0x10000) & 0x3FF), 4);
    } else {
      AppendHex(entries, c, 4);
    }
    entries += ">\n";
    if (++in_block == 100) flush();
  }
  flush();
  map += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  return map;
}

// A glyph outline as a PDF path, in glyph space units.
class OutlinePath {
 public:
  OutlinePath(double scale, std::string& out) : scale_(scale), out_(out) {}

  void Decompose(FT_Outline& outline) {
    FT_Outline_Funcs funcs{};
    funcs.move_to = &MoveTo;
    funcs.line_to = &LineTo;
    funcs.conic_to = &ConicTo;
    funcs.cubic_to = &CubicTo;
    FT_Outline_Decompose(&outline, &funcs, this);
  }

 private:
  void Point(double x, double y) {
    AppendPdfNumber(out_, x * scale_);
    out_ += ' ';
    AppendPdfNumber(out_, y * scale_);
    out_ += ' ';
  }
  // Ends a segment at `to` with the operator `op`; `to` is the next segment's start.
  int EndAt(double x, double y, const char* op) {
    Point(x, y);
    out_ += op;
    x_ = x;
    y_ = y;
    return 0;
  }
  static int MoveTo(const FT_Vector* to, void* self) {
    return static_cast<OutlinePath*>(self)->EndAt(double(to->x), double(to->y), "m\n");
  }
  static int LineTo(const FT_Vector* to, void* self) {
    return static_cast<OutlinePath*>(self)->EndAt(double(to->x), double(to->y), "l\n");
  }
  // A quadratic curve is the cubic whose controls lie two thirds of the way to its one.
  static int ConicTo(const FT_Vector* control, const FT_Vector* to, void* self) {
    auto* path = static_cast<OutlinePath*>(self);
    const double cx = double(control->x), cy = double(control->y);
    const double tx = double(to->x), ty = double(to->y);
    path->Point(path->x_ + 2.0 / 3 * (cx - path->x_), path->y_ + 2.0 / 3 * (cy - path->y_));
    path->Point(tx + 2.0 / 3 * (cx - tx), ty + 2.0 / 3 * (cy - ty));
    return path->EndAt(tx, ty, "c\n");
  }
  static int CubicTo(const FT_Vector* first, const FT_Vector* second, const FT_Vector* to,
                     void* self) {
    auto* path = static_cast<OutlinePath*>(self);
    path->Point(double(first->x), double(first->y));
    path->Point(double(second->x), double(second->y));
    return path->EndAt(double(to->x), double(to->y), "c\n");
  }

  double scale_;
  std::string& out_;
  double x_ = 0, y_ = 0;
};

}  // namespace

struct PdfFonts::Face {
  const LoadedFace* loaded = nullptr;
  bool bold = false;      // Type 3 outlines are emboldened for a synthetic bold
  bool truetype = false;  // embedded as a TrueType subset, codes of two bytes
  double units_per_em = 1000;
  std::vector<std::uint32_t> numbering;  // original glyph → new number + 1 (0: not used yet)
  std::vector<std::uint32_t> glyphs;     // new number → original glyph
  std::vector<char32_t> unicode;         // new number → the character it was drawn for
  std::vector<double> advances;          // new number → advance in glyph space units
  std::vector<int> resources;            // one per 256 glyphs
};

PdfFonts::PdfFonts() = default;
PdfFonts::~PdfFonts() = default;

PdfFonts::Face& PdfFonts::FaceOf(const RealizedFont& font) {
  const LoadedFace* loaded = font.Face();
  const bool bold = font.SyntheticBold();
  const auto matches = [&](const Face& face) {
    return face.loaded == loaded && (face.truetype || face.bold == bold);
  };
  if (last_ != nullptr && matches(*last_)) return *last_;
  for (const auto& face : faces_)
    if (matches(*face)) return *(last_ = face.get());
  auto face = std::make_unique<Face>();
  face->loaded = loaded;
  face->bold = bold;
  UseFreeTypeFace(*loaded, [&face](FT_Face ft) {
    FT_ULong length = 0;
    face->truetype = FT_IS_SFNT(ft) && FT_Load_Sfnt_Table(ft, TTAG_glyf, 0, nullptr, &length) == 0;
    face->units_per_em = ft->units_per_EM > 0 ? ft->units_per_EM : 1000;
    face->numbering.assign(static_cast<std::size_t>(std::max<FT_Long>(1, ft->num_glyphs)), 0);
  });
  faces_.push_back(std::move(face));
  return *(last_ = faces_.back().get());
}

PdfFonts::Code PdfFonts::Encode(Face& face, std::uint32_t glyph, char32_t unicode) {
  if (glyph >= face.numbering.size()) glyph = 0;
  const std::uint32_t number = face.numbering[glyph];
  if (number == 0) return Add(face, glyph, unicode);
  const std::uint32_t index = number - 1;
  return {face.resources[index / kSliceGlyphs], index % kSliceGlyphs, face.truetype,
          face.advances[index] / kGlyphUnits};
}

// A glyph's first use: it gets the next number.
PdfFonts::Code PdfFonts::Add(Face& face, std::uint32_t glyph, char32_t unicode) {
  // The missing glyph stands at 0 of a TrueType subset, as the format requires.
  if (face.truetype && face.glyphs.empty() && glyph != 0) Add(face, 0, 0);
  const auto index = static_cast<std::uint32_t>(face.glyphs.size());
  face.numbering[glyph] = index + 1;
  face.glyphs.push_back(glyph);
  face.unicode.push_back(glyph == 0 ? 0 : unicode);  // the missing glyph stands for nothing
  FT_Fixed advance = 0;
  UseFreeTypeFace(*face.loaded, [&](FT_Face ft) {
    if (FT_Get_Advance(ft, glyph, FT_LOAD_NO_SCALE, &advance) != 0) advance = 0;
  });
  // Rounded as written in the font's widths, so that a reader's pen lands where ours does.
  face.advances.push_back(std::round(double(advance) * kGlyphUnits / face.units_per_em * 1e4) /
                          1e4);
  while (face.resources.size() <= index / kSliceGlyphs) face.resources.push_back(++resource_count_);
  return Encode(face, glyph, unicode);
}

namespace {

struct FaceFacts {
  std::string name;
  double bbox[4] = {0, 0, 0, 0};
  double ascent = 0, descent = 0, cap_height = 0, italic_angle = 0;
  bool fixed_pitch = false;
};

FaceFacts FactsOf(FT_Face ft, double units_per_em) {
  FaceFacts facts;
  const double scale = kGlyphUnits / units_per_em;
  facts.name = PdfName(FT_Get_Postscript_Name(ft));
  facts.bbox[0] = ft->bbox.xMin * scale;
  facts.bbox[1] = ft->bbox.yMin * scale;
  facts.bbox[2] = ft->bbox.xMax * scale;
  facts.bbox[3] = ft->bbox.yMax * scale;
  facts.ascent = ft->ascender * scale;
  facts.descent = ft->descender * scale;
  facts.cap_height = facts.ascent;
  if (const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(ft, FT_SFNT_OS2));
      os2 != nullptr && os2->version >= 2 && os2->version != 0xFFFF && os2->sCapHeight > 0)
    facts.cap_height = os2->sCapHeight * scale;
  if (const auto* post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(ft, FT_SFNT_POST)))
    facts.italic_angle = post->italicAngle / 65536.0;
  facts.fixed_pitch = FT_IS_FIXED_WIDTH(ft);
  return facts;
}

void AppendNumbers(std::string& out, std::initializer_list<double> values) {
  out += '[';
  for (const double value : values) {
    AppendPdfNumber(out, value);
    out += ' ';
  }
  out.back() = ']';
}

// The glyphs [first, first + count) of `face` that one of its fonts holds.
struct Slice {
  std::uint32_t first;
  std::uint32_t count;
};
Slice SliceOf(const PdfFonts::Face& face, std::size_t slice) {
  const auto first = static_cast<std::uint32_t>(slice * kSliceGlyphs);
  return {first, static_cast<std::uint32_t>(
                     std::min<std::size_t>(kSliceGlyphs, face.glyphs.size() - first))};
}

void WriteTrueType(PdfFile& file, std::string& resource_entries, const PdfFonts::Face& face) {
  FaceFacts facts;
  std::vector<std::uint32_t> glyphs = face.glyphs;  // the components are added to it
  std::string program;
  UseFreeTypeFace(*face.loaded, [&](FT_Face ft) {
    facts = FactsOf(ft, face.units_per_em);
    const FontTableReader read = [ft](std::uint32_t tag, std::string& table) {
      FT_ULong length = 0;
      if (FT_Load_Sfnt_Table(ft, tag, 0, nullptr, &length) != 0) return false;
      table.resize(length);
      return FT_Load_Sfnt_Table(ft, tag, 0, reinterpret_cast<FT_Byte*>(table.data()), &length) == 0;
    };
    program = SubsetTrueType(read, glyphs);
  });
  const std::string base = SubsetTag(facts.name, face.glyphs) + "+" + facts.name;
  std::string descriptor = "<< /Type /FontDescriptor /FontName /" + base;
  descriptor += " /Flags " + std::to_string(4 | (facts.fixed_pitch ? 1 : 0)) + " /FontBBox ";
  AppendNumbers(descriptor, {facts.bbox[0], facts.bbox[1], facts.bbox[2], facts.bbox[3]});
  descriptor += " /ItalicAngle ";
  AppendPdfNumber(descriptor, facts.italic_angle);
  descriptor += " /Ascent ";
  AppendPdfNumber(descriptor, facts.ascent);
  descriptor += " /Descent ";
  AppendPdfNumber(descriptor, facts.descent);
  descriptor += " /CapHeight ";
  AppendPdfNumber(descriptor, facts.cap_height);
  descriptor += " /StemV 80";
  // A font whose tables do not hold together is named, not embedded: the reader draws a
  // face of its own, and the text stays.
  if (!program.empty()) {
    const int font_file = file.Reserve();
    file.WriteStream(font_file, "/Length1 " + std::to_string(program.size()), program);
    descriptor += " /FontFile2 " + Ref(font_file);
  }
  descriptor += " >>";
  const int descriptor_object = file.Reserve();
  file.WriteObject(descriptor_object, descriptor);

  std::string widths = "[0 [";
  for (const double advance : face.advances) {
    AppendPdfNumber(widths, advance);
    widths += ' ';
  }
  widths += "]]";
  const int cid_font = file.Reserve();
  file.WriteObject(cid_font, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + base +
                                 " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                                 "/Supplement 0 >> /FontDescriptor " +
                                 Ref(descriptor_object) + " /W " + widths +
                                 " /CIDToGIDMap /Identity >>");
  // Each 256 glyphs are a font of their own, whose one-byte codes an embedded CMap maps onto
  // the glyphs' numbers (CIDs, which are the subset's glyph numbers).
  for (std::size_t slice = 0; slice < face.resources.size(); ++slice) {
    const auto [first, count] = SliceOf(face, slice);
    const std::string cmap_name = "WydrukiSlice" + std::to_string(slice);
    std::string cmap =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> def\n"
        "/CMapName /" +
        cmap_name +
        " def\n/CMapType 1 def\n1 begincodespacerange\n<00> <FF>\n"
        "endcodespacerange\n1 begincidrange\n<00> <";
    AppendHex(cmap, count - 1, 2);
    cmap += "> " + std::to_string(first) +
            "\nendcidrange\nendcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    const int encoding = file.Reserve();
    file.WriteStream(encoding,
                     "/Type /CMap /CMapName /" + cmap_name +
                         " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
                         "/Supplement 0 >>",
                     cmap);
    const int to_unicode = file.Reserve();
    file.WriteStream(to_unicode, "", ToUnicodeMap(face.unicode, first, count));
    const int font = file.Reserve();
    file.WriteObject(font, "<< /Type /Font /Subtype /Type0 /BaseFont /" + base + " /Encoding " +
                               Ref(encoding) + " /DescendantFonts [" + Ref(cid_font) +
                               "] /ToUnicode " + Ref(to_unicode) + " >>");
    resource_entries += "/F" + std::to_string(face.resources[slice]) + " " + Ref(font) + " ";
  }
}

void WriteType3(PdfFile& file, std::string& resource_entries, const PdfFonts::Face& face) {
  FaceFacts facts;
  // Each glyph a procedure drawing its outline.
  std::vector<std::string> procedures(face.glyphs.size());
  double bbox[4] = {0, 0, 0, 0};
  UseFreeTypeFace(*face.loaded, [&](FT_Face ft) {
    facts = FactsOf(ft, face.units_per_em);
    const double scale = kGlyphUnits / face.units_per_em;
    for (std::size_t i = 0; i < face.glyphs.size(); ++i) {
      std::string& proc = procedures[i];
      AppendPdfNumber(proc, face.advances[i]);
      proc += " 0 d0\n";
      if (FT_Load_Glyph(ft, face.glyphs[i],
                        FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
          ft->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
        continue;
      FT_Outline& outline = ft->glyph->outline;
      if (face.bold) {
        const FT_Pos strength = static_cast<FT_Pos>(face.units_per_em / 32);
        FT_Outline_EmboldenXY(&outline, strength, strength);
      }
      FT_BBox box{};
      FT_Outline_Get_CBox(&outline, &box);
      bbox[0] = std::min(bbox[0], box.xMin * scale);
      bbox[1] = std::min(bbox[1], box.yMin * scale);
      bbox[2] = std::max(bbox[2], box.xMax * scale);
      bbox[3] = std::max(bbox[3], box.yMax * scale);
      OutlinePath(scale, proc).Decompose(outline);
      proc += "f\n";
    }
  });
  for (std::size_t slice = 0; slice < face.resources.size(); ++slice) {
    const auto [first, count] = SliceOf(face, slice);
    std::string procs = "<< ", differences = "[0", widths = "[";
    for (std::size_t i = 0; i < count; ++i) {
      const int proc = file.Reserve();
      file.WriteStream(proc, "", procedures[first + i]);
      const std::string name = "g" + std::to_string(i);
      procs += "/" + name + " " + Ref(proc) + " ";
      differences += " /" + name;
      AppendPdfNumber(widths, face.advances[first + i]);
      widths += ' ';
    }
    procs += ">>";
    differences += "]";
    widths += "]";
    const int to_unicode = file.Reserve();
    file.WriteStream(to_unicode, "", ToUnicodeMap(face.unicode, first, count));
    std::string font = "<< /Type /Font /Subtype /Type3 /Name /" + facts.name + " /FontBBox ";
    AppendNumbers(font, {bbox[0], bbox[1], bbox[2], bbox[3]});
    font += " /FontMatrix [0.001 0 0 0.001 0 0] /CharProcs " + procs +
            " /Encoding << /Type /Encoding /Differences " + differences +
            " >> /FirstChar 0 /LastChar " + std::to_string(count - 1) + " /Widths " + widths +
            " /ToUnicode " + Ref(to_unicode) + " /Resources << >> >>";
    const int font_object = file.Reserve();
    file.WriteObject(font_object, font);
    resource_entries += "/F" + std::to_string(face.resources[slice]) + " " + Ref(font_object) + " ";
  }
}

}  // namespace

void PdfFonts::Write(PdfFile& file, int resources) {
  std::string entries;
  for (const auto& face : faces_) {
    if (face->glyphs.empty()) continue;
    if (face->truetype)
      WriteTrueType(file, entries, *face);
    else
      WriteType3(file, entries, *face);
  }
  file.WriteObject(resources, "<< /Font << " + entries + ">> >>");
}

}  // namespace wydruki::platform
