// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstring>

#include "Graphics/Colors.h"
#include "Graphics/FontCharset.h"
#include "Graphics/GraphicsObject.h"
#include "Graphics/GraphicsStartUp.h"

namespace wydruki::graphics {
namespace {

LOGFONTA LogFontOf(HFONT font) {
  LOGFONTA lf{};
  EXPECT_EQ(GetObjectA(font, sizeof lf, &lf), static_cast<int>(sizeof lf));
  return lf;
}

HFONT MakeFont(int weight, BYTE italic = 0, const char* face = "Courier New") {
  LOGFONTA lf{};
  lf.lfHeight = -40;
  lf.lfWeight = weight;
  lf.lfItalic = italic;
  lf.lfCharSet = 238;
  lf.lfPitchAndFamily = FIXED_PITCH;
  std::strcpy(lf.lfFaceName, face);
  return CreateFontIndirectA(&lf);
}

bool HandleAlive(HFONT font) {
  LOGFONTA lf{};
  return GetObjectA(font, sizeof lf, &lf) != 0;
}

TEST(DescriptionHash, RotatesFiveBitsAndMixesEachByte) {
  EXPECT_EQ(DescriptionHash("abc", 3).Value(), 0x8822);
  EXPECT_EQ(DescriptionHash().Value(), 0);
  // The rotation wraps within 16 bits: the high bit of 0x80 comes back in at bit 1.
  EXPECT_EQ(DescriptionHash("\x80\x00\x00", 3).Value(), 0x0002);
}

TEST(Colors, NamesAndSystemColours) {
  EXPECT_EQ(ColorFromName("clMaroon").value(), 0x000080);
  EXPECT_EQ(ColorFromName("clBtnFace").value(), static_cast<TColor>(0x8000000F));
  EXPECT_EQ(ColorFromName("clInfoBk").value(), static_cast<TColor>(0x80000018));
  EXPECT_EQ(ColorFromName("clNone").value(), 0x1FFFFFFF);
  EXPECT_FALSE(ColorFromName("clwhite").has_value());
  EXPECT_EQ(ResolveColor(clRed), 0x0000FFu);
  EXPECT_EQ(ResolveColor(clWindowText), static_cast<std::uint32_t>(GetSysColor(COLOR_WINDOWTEXT)));
  EXPECT_EQ(ResolveColor(clBtnFace), static_cast<std::uint32_t>(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(CharsetFromName("EASTEUROPE_CHARSET").value(), 238);
  EXPECT_EQ(CharsetFromName("OEM_CHARSET").value(), 255);
  EXPECT_FALSE(CharsetFromName("POLISH_CHARSET").has_value());
}

TEST(DefaultFont, EightPointsOfTheDefaultFaceAndTheFarEasternVariant) {
  const FontDescription western = MakeDefaultFontDescription(96, 0);
  EXPECT_EQ(western.Height, -11);
  EXPECT_EQ(western.Name, "MS Sans Serif");
  EXPECT_EQ(western.Charset, 1);
  const FontDescription japanese = MakeDefaultFontDescription(96, 128);
  EXPECT_EQ(japanese.Height, -12);
  EXPECT_EQ(japanese.Charset, 128);
  EXPECT_EQ(japanese.Name.size(), 15u);
  EXPECT_EQ(DefaultFontDescription().Height, -MulDiv(8, ScreenResolution(), 72));
}

TEST(FontSize, PointsAndPixelsFollowTheResolution) {
  TFont font;
  font.SetResolution(600);
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -83);
  EXPECT_EQ(font.Size(), 10);
  font.SetResolution(300);
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -42);
  font.SetResolution(96);
  font.SetSize(8);
  EXPECT_EQ(font.Height(), -11);
  // A positive height is a cell height: it reads as a negative size, and writing that size back
  // at another resolution gives a positive height again.
  font.SetHeight(28);
  EXPECT_EQ(font.Size(), -21);
  const int size = font.Size();
  font.SetResolution(600);
  font.SetSize(size);
  EXPECT_EQ(font.Height(), 175);
}

TEST(FontName, EmptyIgnoredLongCutAndDefaultMeansTheDefaultFace) {
  TFont font;
  font.SetName("Courier New");
  font.SetName("");
  EXPECT_EQ(font.Name(), "Courier New");
  font.SetName(std::string(40, 'x'));
  EXPECT_EQ(font.Name(), std::string(31, 'x'));
  font.SetName("default");
  EXPECT_EQ(font.Name(), "default");
  EXPECT_STREQ(LogFontOf(font.FontHandle()).lfFaceName, DefaultFontDescription().Name.c_str());
}

TEST(FontSharing, EqualDescriptionsShareOneSystemFontAndRepeatsMakeNoNewOne) {
  TFont a, b;
  for (TFont* f : {&a, &b}) {
    f->SetName("Courier New");
    f->SetResolution(600);
    f->SetSize(12);
    f->SetStyle({fsBold});
    f->SetCharset(238);
    f->SetPitch(TFontPitch::fpFixed);
  }
  EXPECT_EQ(a.FontHandle(), b.FontHandle());
  const LOGFONTA lf = LogFontOf(a.FontHandle());
  EXPECT_EQ(lf.lfHeight, -100);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_EQ(lf.lfCharSet, 238);
  EXPECT_EQ(lf.lfPitchAndFamily, FIXED_PITCH);

  // Setting the same values again, as page rendering does at every control sequence, finds the
  // same entry and makes no new system font.
  const auto made = FontCache().HandlesMade();
  const HFONT handle = a.FontHandle();
  for (int i = 0; i < 1000; ++i) {
    a.SetStyle({fsBold});
    a.SetSize(12);
  }
  EXPECT_EQ(a.FontHandle(), handle);
  EXPECT_EQ(FontCache().HandlesMade(), made);
}

TEST(FontChange, UnchangedValuesNotifyNobodyAndChangesNotifyOnce) {
  TFont font;
  int notified = 0;
  font.ChangeListener = [&](TGraphicsObject&) { ++notified; };
  font.SetStyle(font.Style());
  font.SetColor(font.Color());
  EXPECT_EQ(notified, 0);
  font.SetStyle({fsItalic});
  EXPECT_EQ(notified, 1);
  font.SetColor(clRed);
  EXPECT_EQ(notified, 2);
}

TEST(FontAdoption, WeightsAboveBoldCountAsBoldAndOnlyAnItalicByteOfOneIsItalic) {
  TFont heavy;
  heavy.SetFontHandle(MakeFont(800));
  EXPECT_TRUE(heavy.Style().Contains(fsBold));
  EXPECT_EQ(LogFontOf(heavy.FontHandle()).lfWeight, 800);
  heavy.SetSize(heavy.Size() + 1);
  EXPECT_EQ(LogFontOf(heavy.FontHandle()).lfWeight, FW_BOLD);

  TFont semibold;
  semibold.SetFontHandle(MakeFont(600));
  EXPECT_FALSE(semibold.Style().Contains(fsBold));
  semibold.SetSize(semibold.Size() + 1);
  EXPECT_EQ(LogFontOf(semibold.FontHandle()).lfWeight, FW_NORMAL);

  TFont slanted;
  slanted.SetFontHandle(MakeFont(400, 255));
  EXPECT_FALSE(slanted.Style().Contains(fsItalic));
}

// 700 is the boundary itself: a font of exactly that weight is bold.
TEST(FontAdoption, WeightSevenHundredItselfIsBold) {
  TFont bold;
  bold.SetFontHandle(MakeFont(700));
  EXPECT_TRUE(bold.Style().Contains(fsBold));
  TFont below;
  below.SetFontHandle(MakeFont(699));
  EXPECT_FALSE(below.Style().Contains(fsBold));
}

// The standard-font set-up adopts the preview font's handle, which the preview font's cache
// entry made and owns. Taking it over gave the handle two owners: when the printer font moved
// on to another size, the handle was deleted under the preview font, and the next job adopted a
// dead handle and printed in the default face.
TEST(FontAdoption, AHandleThatACacheEntryOwnsIsCopiedNotTakenOver) {
  TFont preview;
  preview.SetName("Courier New");
  preview.SetCharset(238);
  preview.SetHeight(-40);
  const HFONT owned = preview.FontHandle();
  for (int job = 0; job < 3; ++job) {
    TFont printer;
    printer.SetFontHandle(owned);
    EXPECT_EQ(printer.Name(), "Courier New");
    EXPECT_EQ(printer.Charset(), 238);
    printer.SetSize(printer.Size() + 5);  // the set-up fits its sizes
    ASSERT_TRUE(HandleAlive(owned)) << "job " << job;
  }
  EXPECT_EQ(preview.FontHandle(), owned);
  EXPECT_STREQ(LogFontOf(owned).lfFaceName, "Courier New");
}

TEST(FontAdoption, AnAdoptedHandleLivesUntilTheLastFontLetsGo) {
  const HFONT shared = MakeFont(400);
  auto first = std::make_unique<TFont>();
  TFont second;
  first->SetFontHandle(shared);
  second.SetFontHandle(shared);
  EXPECT_EQ(first->FontHandle(), shared);
  EXPECT_EQ(second.FontHandle(), shared);
  second.SetSize(20);  // moves on to a description of its own
  EXPECT_TRUE(HandleAlive(shared));
  first.reset();
  EXPECT_FALSE(HandleAlive(shared));
}

TEST(FontAdoption, AnUnreadableHandleGivesTheDefaultAndIsNotTakenOver) {
  TFont font;
  font.SetName("Courier New");
  font.SetFontHandle(reinterpret_cast<HFONT>(static_cast<std::uintptr_t>(0x1234)));
  EXPECT_EQ(font.Name(), DefaultFontDescription().Name);
  EXPECT_EQ(font.Height(), DefaultFontDescription().Height);
}

TEST(FontCopy, ACopySharesEvenAnAdoptedHandleAndKeepsThePointSizeAcrossResolutions) {
  const HFONT adopted = MakeFont(400);
  auto source = std::make_unique<TFont>();
  source->SetFontHandle(adopted);
  auto copy = std::make_unique<TFont>();
  copy->CopyFrom(*source);
  EXPECT_EQ(copy->FontHandle(), adopted);
  source.reset();
  EXPECT_TRUE(HandleAlive(adopted));
  copy.reset();
  EXPECT_FALSE(HandleAlive(adopted));

  TFont screen, printer;
  screen.SetResolution(96);
  screen.SetSize(10);
  screen.SetColor(clMaroon);
  printer.SetResolution(600);
  printer.CopyFrom(screen);
  EXPECT_EQ(printer.Height(), -83);
  EXPECT_EQ(printer.Color(), clMaroon);
  EXPECT_EQ(printer.Resolution(), 600);
}

TEST(Brush, ClearBrushesAreWhiteAndAColourMakesThemSolid) {
  TBrush brush;
  brush.SetColor(clWhite);
  brush.SetStyle(TBrushStyle::bsClear);
  EXPECT_EQ(brush.Style(), TBrushStyle::bsClear);
  brush.SetStyle(TBrushStyle::bsClear);
  brush.SetColor(clRed);
  EXPECT_EQ(brush.Style(), TBrushStyle::bsSolid);
  EXPECT_EQ(brush.Color(), clRed);
  brush.SetColor(clLime);
  brush.SetStyle(TBrushStyle::bsClear);
  EXPECT_EQ(brush.Color(), clWhite);

  LOGBRUSH lb{};
  ASSERT_NE(GetObjectA(brush.BrushHandle(), sizeof lb, &lb), 0);
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_HOLLOW));
  brush.SetStyle(TBrushStyle::bsCross);
  ASSERT_NE(GetObjectA(brush.BrushHandle(), sizeof lb, &lb), 0);
  EXPECT_EQ(lb.lbStyle, static_cast<UINT>(BS_HATCHED));
  EXPECT_EQ(lb.lbHatch, 4u);
}

TEST(Pen, DescriptionMakesThePenAndModeIsOutsideIt) {
  TPen pen;
  int notified = 0;
  pen.ChangeListener = [&](TGraphicsObject&) { ++notified; };
  pen.SetColor(clBlue);
  pen.SetWidth(3);
  pen.SetStyle(TPenStyle::psClear);
  LOGPEN lp{};
  ASSERT_NE(GetObjectA(pen.PenHandle(), sizeof lp, &lp), 0);
  EXPECT_EQ(lp.lopnStyle, static_cast<UINT>(PS_NULL));
  EXPECT_EQ(lp.lopnWidth.x, 3);
  EXPECT_EQ(lp.lopnColor, 0xFF0000u);
  EXPECT_EQ(notified, 3);
  pen.SetMode(TPenMode::pmXor);
  EXPECT_EQ(notified, 4);
  EXPECT_EQ(PenModeToRop2(pen.Mode()), R2_XORPEN);
  EXPECT_EQ(PenModeToRop2(TPenMode::pmCopy), R2_COPYPEN);
}

}  // namespace
}  // namespace wydruki::graphics
