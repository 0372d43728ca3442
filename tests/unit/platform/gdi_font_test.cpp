// SPDX-License-Identifier: MIT
// Fonts: creation and reading back, sizes and metrics at the device's resolution, the
// monospace filter, and enumeration.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "gdi_test_support.h"

namespace wydruki::test {
namespace {

class GdiFontTest : public GdiTest {};

TEST_F(GdiFontTest, LogfontKeepsTheWindowsLayoutAndReadsBackUnchanged) {
  EXPECT_EQ(sizeof(LOGFONTA), 60u);
  EXPECT_EQ(offsetof(LOGFONTA, lfFaceName), 28u);
  LOGFONTA font = MakeFont("Courier New", -83, 41, EASTEUROPE_CHARSET, FW_BOLD);
  font.lfItalic = 255;
  font.lfQuality = PROOF_QUALITY;
  std::memset(font.lfFaceName + 12, 'x', 8);  // bytes after the terminator come back too
  HFONT handle = CreateFontIndirectA(&font);
  ASSERT_NE(handle, nullptr);
  LOGFONTA back{};
  EXPECT_EQ(GetObjectA(handle, sizeof back, &back), 60);
  EXPECT_EQ(std::memcmp(&back, &font, sizeof font), 0);
  EXPECT_EQ(GetObjectA(handle, 0, nullptr), 60);  // no buffer: the size needed
  LOGFONTA part{};
  EXPECT_EQ(GetObjectA(handle, 8, &part), 8);  // a short buffer takes what fits
  EXPECT_EQ(part.lfHeight, -83);
  EXPECT_EQ(part.lfWidth, 41);
  EXPECT_EQ(part.lfWeight, 0);
  EXPECT_TRUE(DeleteObject(handle));
  EXPECT_EQ(GetObjectA(handle, sizeof back, &back), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(GdiFontTest, HeightSignChoosesCharacterOrCellHeight) {
  HDC dc = Printer();
  ASSERT_NE(dc, nullptr);
  ASSERT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 600);
  // Negative: the character (em) height, without internal leading.
  LOGFONTA em = MakeFont("Courier New", -83);
  HFONT em_font = CreateFontIndirectA(&em);
  HGDIOBJ old = SelectObject(dc, em_font);
  ASSERT_NE(old, nullptr);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 83);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, tm.tmHeight);
  EXPECT_GT(tm.tmInternalLeading, 0);
  const LONG em_cell = tm.tmHeight;

  // Positive: the cell height, ascent plus descent.
  LOGFONTA cell = MakeFont("Courier New", 131);
  HFONT cell_font = CreateFontIndirectA(&cell);
  EXPECT_EQ(SelectObject(dc, cell_font), em_font);
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_EQ(tm.tmHeight, 131);
  EXPECT_EQ(tm.tmAscent + tm.tmDescent, 131);
  EXPECT_LT(tm.tmHeight - tm.tmInternalLeading, 131);

  // Zero: a default size, sensible on this device.
  LOGFONTA zero = MakeFont("Courier New", 0);
  HFONT zero_font = CreateFontIndirectA(&zero);
  SelectObject(dc, zero_font);
  ASSERT_TRUE(GetTextMetricsA(dc, &tm));
  EXPECT_GT(tm.tmHeight, 50);
  EXPECT_LT(tm.tmHeight, 200);
  EXPECT_GT(em_cell, 83);

  SelectObject(dc, old);
  for (HFONT font : {em_font, cell_font, zero_font}) EXPECT_TRUE(DeleteObject(font));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST_F(GdiFontTest, WidthStretchesMonospacedAdvancesToTheCell) {
  HDC dc = Printer();
  ASSERT_NE(dc, nullptr);
  const std::string line(80, 'W');
  for (LONG width : {55L, 41L, 28L}) {
    LOGFONTA font = MakeFont("Courier New", 131, width);
    HFONT handle = CreateFontIndirectA(&font);
    HGDIOBJ old = SelectObject(dc, handle);
    SIZE size{};
    ASSERT_TRUE(GetTextExtentPointA(dc, line.c_str(), 80, &size));
    EXPECT_EQ(size.cx, 80 * width) << width;
    EXPECT_EQ(size.cy, 131);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(dc, &tm));
    EXPECT_EQ(tm.tmAveCharWidth, width);
    // Polish letters are as wide as any other character of a monospaced face.
    const char polish[] = "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF";
    ASSERT_TRUE(GetTextExtentPoint32A(dc, polish, 9, &size));
    EXPECT_EQ(size.cx, 9 * width);
    SelectObject(dc, old);
    DeleteObject(handle);
  }
  // Natural width: the face's own proportions, narrower than the height.
  LOGFONTA natural = MakeFont("Courier New", -100);
  HFONT handle = CreateFontIndirectA(&natural);
  SelectObject(dc, handle);
  SIZE size{};
  ASSERT_TRUE(GetTextExtentPointA(dc, "MMMMMMMMMM", 10, &size));
  EXPECT_EQ(size.cx, 600);  // Courier metrics: 0.6 em a character
  ASSERT_TRUE(GetTextExtentPointA(dc, "", 0, &size));
  EXPECT_EQ(size.cx, 0);
  EXPECT_GT(size.cy, 100);
  DeleteDC(dc);
  DeleteObject(handle);
}

TEST_F(GdiFontTest, PitchAndFamilyFollowsWindowsForMonospacedAndProportionalFaces) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  const auto pitch_of = [&](const char* face) {
    LOGFONTA font = MakeFont(face, 28);
    HFONT handle = CreateFontIndirectA(&font);
    HGDIOBJ old = SelectObject(screen, handle);
    TEXTMETRICA tm{};
    const BOOL ok = GetTextMetricsA(screen, &tm);
    SelectObject(screen, old);
    DeleteObject(handle);
    return ok ? int(tm.tmPitchAndFamily) : -1;
  };
  EXPECT_EQ(pitch_of("Courier New"), 0x36);
  EXPECT_EQ(pitch_of("Liberation Mono"), 0x36);
  EXPECT_EQ(pitch_of("DejaVu Sans Mono"), 0x36);
  EXPECT_EQ(pitch_of("Liberation Sans"), 0x27);  // FF_SWISS, variable pitch
  EXPECT_EQ(pitch_of("Arial"), 0x27);
  EXPECT_EQ(pitch_of("Times New Roman"), 0x17);  // FF_ROMAN
  ReleaseDC(nullptr, screen);
}

TEST_F(GdiFontTest, TextFaceNamesTheInstalledFaceTheMapperChose) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  const auto face_of = [&](const char* face, BYTE pitch_and_family) {
    LOGFONTA font = MakeFont(face, 28);
    font.lfPitchAndFamily = pitch_and_family;
    HFONT handle = CreateFontIndirectA(&font);
    HGDIOBJ old = SelectObject(screen, handle);
    char name[LF_FACESIZE] = {};
    const int length = GetTextFaceA(screen, sizeof name, name);
    TEXTMETRICA tm{};
    GetTextMetricsA(screen, &tm);
    SelectObject(screen, old);
    DeleteObject(handle);
    EXPECT_EQ(length, static_cast<int>(std::strlen(name)) + 1) << "counts the terminator";
    return std::make_pair(std::string(name), int(tm.tmPitchAndFamily));
  };
  EXPECT_EQ(face_of("DejaVu Sans Mono", 0).first, "DejaVu Sans Mono");
  // A face that is not installed, asked for with a fixed pitch: an installed monospaced face.
  const auto [fallback, pitch] = face_of("No Such Face", FIXED_PITCH | FF_MODERN);
  EXPECT_FALSE(fallback.empty());
  EXPECT_NE(fallback, "No Such Face");
  EXPECT_EQ(pitch, 0x36) << fallback;

  char small[5] = {'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(GetTextFaceA(screen, sizeof small, small), 5) << "cut to the buffer";
  EXPECT_EQ(small[4], '\0');
  EXPECT_GT(GetTextFaceA(screen, 0, nullptr), 1) << "no buffer: the size needed";
  EXPECT_EQ(GetTextFaceA(screen, 0, small), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(GetTextFaceA(nullptr, sizeof small, small), 0);
}

TEST_F(GdiFontTest, MetricsReportWeightStyleAndCharacterSet) {
  HDC screen = GetDC(nullptr);
  LOGFONTA font = MakeFont("Courier New", -16, 0, DEFAULT_CHARSET, FW_BOLD);
  font.lfItalic = 1;
  font.lfUnderline = 1;
  HFONT handle = CreateFontIndirectA(&font);
  SelectObject(screen, handle);
  TEXTMETRICA tm{};
  ASSERT_TRUE(GetTextMetricsA(screen, &tm));
  EXPECT_EQ(tm.tmWeight, FW_BOLD);
  EXPECT_NE(tm.tmItalic, 0);
  EXPECT_NE(tm.tmUnderlined, 0);
  EXPECT_EQ(tm.tmStruckOut, 0);
  EXPECT_EQ(tm.tmCharSet, ANSI_CHARSET);  // the default set is the system's ANSI set
  EXPECT_EQ(tm.tmDigitizedAspectY, 96);
  EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, 16);
  // The stock system font answers too.
  SelectObject(screen, GetStockObject(SYSTEM_FONT));
  ASSERT_TRUE(GetTextMetricsA(screen, &tm));
  EXPECT_EQ(tm.tmCharSet, ANSI_CHARSET);
  EXPECT_GT(tm.tmHeight, 0);
  ReleaseDC(nullptr, screen);
  DeleteObject(handle);
}

struct Listed {
  std::vector<std::string> faces;
  std::vector<int> pitch;
  int calls = 0;
  int stop_after = 1 << 30;
};

int CALLBACK Collect(const LOGFONTA* font, const TEXTMETRICA* metrics, DWORD type, LPARAM data) {
  auto* listed = reinterpret_cast<Listed*>(data);
  listed->faces.push_back(font->lfFaceName);
  listed->pitch.push_back(metrics->tmPitchAndFamily);
  EXPECT_EQ(type, static_cast<DWORD>(TRUETYPE_FONTTYPE));
  // The records behind the pointers are the extended ones.
  const auto* extended = reinterpret_cast<const ENUMLOGFONTEXA*>(font);
  EXPECT_STREQ(reinterpret_cast<const char*>(extended->elfFullName), font->lfFaceName);
  const auto* ntm = reinterpret_cast<const NEWTEXTMETRICEXA*>(metrics);
  EXPECT_GT(ntm->ntmTm.ntmSizeEM, 0u);
  return ++listed->calls < listed->stop_after ? 1 : 0;
}

TEST_F(GdiFontTest, EnumerationOffersCourierNewAndTheMonospaceFilterFindsIt) {
  HDC screen = GetDC(nullptr);
  LOGFONTA query{};
  query.lfCharSet = DEFAULT_CHARSET;
  Listed listed;
  EXPECT_EQ(EnumFontFamiliesExA(screen, &query, Collect, reinterpret_cast<LPARAM>(&listed), 0), 1);
  std::vector<std::string> monospaced;
  for (std::size_t i = 0; i < listed.faces.size(); ++i)
    if (listed.pitch[i] == 0x36) monospaced.push_back(listed.faces[i]);
  const auto has = [](const std::vector<std::string>& list, const char* face) {
    return std::find(list.begin(), list.end(), face) != list.end();
  };
  EXPECT_TRUE(has(listed.faces, "Courier New"));
  EXPECT_TRUE(has(listed.faces, "Liberation Sans"));
  EXPECT_TRUE(has(monospaced, "Courier New"));
  EXPECT_TRUE(has(monospaced, "Liberation Mono"));
  EXPECT_FALSE(has(monospaced, "Liberation Sans"));
  EXPECT_FALSE(has(monospaced, "Arial"));
  // One call per family: no duplicates.
  auto sorted = listed.faces;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());

  // A face name narrows the list to that family; Central European asks for Polish letters.
  std::snprintf(query.lfFaceName, LF_FACESIZE, "courier new");
  query.lfCharSet = EASTEUROPE_CHARSET;
  Listed one;
  EnumFontFamiliesExA(screen, &query, Collect, reinterpret_cast<LPARAM>(&one), 0);
  ASSERT_EQ(one.faces.size(), 1u);
  EXPECT_EQ(one.faces[0], "Courier New");

  // The callback's 0 stops the enumeration and is returned.
  query = {};
  query.lfCharSet = DEFAULT_CHARSET;
  Listed stopped;
  stopped.stop_after = 2;
  EXPECT_EQ(EnumFontFamiliesExA(screen, &query, Collect, reinterpret_cast<LPARAM>(&stopped), 0), 0);
  EXPECT_EQ(stopped.calls, 2);

  EXPECT_EQ(EnumFontFamiliesExA(screen, nullptr, Collect, 0, 0), 0);
  EXPECT_EQ(EnumFontFamiliesExA(screen, &query, nullptr, 0, 0), 0);
  EXPECT_EQ(EnumFontFamiliesExA(reinterpret_cast<HDC>(0x7777), &query, Collect, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  ReleaseDC(nullptr, screen);
}

}  // namespace
}  // namespace wydruki::test
