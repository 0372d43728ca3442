// SPDX-License-Identifier: MIT
// Pens, brushes, stock objects, selection and the attributes of a device context; invalid
// handles and null pointers fail the documented way.
#include <cstdint>
#include <cstring>

#include "gdi_test_support.h"

namespace wydruki::test {
namespace {

class GdiObjectsTest : public GdiTest {};

TEST_F(GdiObjectsTest, PensAndBrushesReadBackTheirRecords) {
  HPEN pen = CreatePen(PS_DASH, 3, RGB(1, 2, 3));
  ASSERT_NE(pen, nullptr);
  LOGPEN logpen{};
  EXPECT_EQ(GetObjectA(pen, sizeof logpen, &logpen), static_cast<int>(sizeof(LOGPEN)));
  EXPECT_EQ(logpen.lopnStyle, static_cast<UINT>(PS_DASH));
  EXPECT_EQ(logpen.lopnWidth.x, 3);
  EXPECT_EQ(logpen.lopnColor, RGB(1, 2, 3));
  EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));

  const LOGBRUSH hatch{BS_HATCHED, RGB(9, 8, 7), HS_CROSS};
  HBRUSH brush = CreateBrushIndirect(&hatch);
  ASSERT_NE(brush, nullptr);
  LOGBRUSH back{};
  EXPECT_EQ(GetObjectA(brush, sizeof back, &back), static_cast<int>(sizeof(LOGBRUSH)));
  EXPECT_EQ(back.lbStyle, static_cast<UINT>(BS_HATCHED));
  EXPECT_EQ(back.lbHatch, static_cast<ULONG_PTR>(HS_CROSS));
  HBRUSH solid = CreateSolidBrush(RGB(255, 0, 0));
  EXPECT_EQ(GetObjectType(solid), static_cast<DWORD>(OBJ_BRUSH));

  // Records that describe nothing GDI can make are refused.
  EXPECT_EQ(CreatePen(99, 1, 0), nullptr);
  EXPECT_EQ(CreatePen(-1, 1, 0), nullptr);
  EXPECT_EQ(CreatePenIndirect(nullptr), nullptr);
  const LOGBRUSH bad_hatch{BS_HATCHED, 0, 77};
  EXPECT_EQ(CreateBrushIndirect(&bad_hatch), nullptr);
  const LOGBRUSH pattern{3 /* BS_PATTERN */, 0, 0};
  EXPECT_EQ(CreateBrushIndirect(&pattern), nullptr);
  EXPECT_EQ(CreateBrushIndirect(nullptr), nullptr);
  EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  for (HGDIOBJ object : {HGDIOBJ(pen), HGDIOBJ(brush), HGDIOBJ(solid)})
    EXPECT_TRUE(DeleteObject(object));
  EXPECT_FALSE(DeleteObject(pen));
}

TEST_F(GdiObjectsTest, StockObjectsAreSharedAndNeverDeleted) {
  HGDIOBJ black = GetStockObject(BLACK_PEN);
  ASSERT_NE(black, nullptr);
  EXPECT_EQ(GetStockObject(BLACK_PEN), black);
  EXPECT_EQ(GetStockObject(HOLLOW_BRUSH), GetStockObject(NULL_BRUSH));
  for (int index : {WHITE_BRUSH, BLACK_BRUSH, NULL_BRUSH, WHITE_PEN, NULL_PEN, SYSTEM_FONT,
                    ANSI_FIXED_FONT, DEFAULT_GUI_FONT})
    EXPECT_NE(GetStockObject(index), nullptr) << index;
  EXPECT_EQ(GetStockObject(9), nullptr);
  EXPECT_EQ(GetStockObject(-1), nullptr);
  EXPECT_EQ(GetStockObject(1000), nullptr);
  LOGBRUSH hollow{};
  ASSERT_GT(GetObjectA(GetStockObject(NULL_BRUSH), sizeof hollow, &hollow), 0);
  EXPECT_EQ(hollow.lbStyle, static_cast<UINT>(BS_NULL));
  EXPECT_TRUE(DeleteObject(black));
  EXPECT_EQ(GetObjectType(black), static_cast<DWORD>(OBJ_PEN));  // still there
  LOGFONTA system{};
  EXPECT_EQ(GetObjectA(GetStockObject(SYSTEM_FONT), sizeof system, &system), 60);
  EXPECT_EQ(system.lfWeight, FW_BOLD);
}

TEST_F(GdiObjectsTest, SelectionReturnsThePreviousObjectOfItsKind) {
  HDC dc = Printer();
  ASSERT_NE(dc, nullptr);
  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  HBRUSH brush = CreateSolidBrush(0);
  LOGFONTA logfont = MakeFont("Arial", -20);
  HFONT font = CreateFontIndirectA(&logfont);
  // A new context starts with the black pen, the white brush and the system font.
  EXPECT_EQ(SelectObject(dc, pen), GetStockObject(BLACK_PEN));
  EXPECT_EQ(SelectObject(dc, brush), GetStockObject(WHITE_BRUSH));
  EXPECT_EQ(SelectObject(dc, font), GetStockObject(SYSTEM_FONT));
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
  EXPECT_EQ(SelectObject(dc, pen), pen);

  // An object still selected is not deleted; once deselected it can be.
  EXPECT_FALSE(DeleteObject(font));
  EXPECT_EQ(GetObjectType(font), static_cast<DWORD>(OBJ_FONT));
  EXPECT_EQ(SelectObject(dc, GetStockObject(SYSTEM_FONT)), font);
  EXPECT_TRUE(DeleteObject(font));
  // Deleting the context deselects what it held.
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(pen));
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_TRUE(UnrealizeObject(GetStockObject(NULL_BRUSH)));
  EXPECT_FALSE(UnrealizeObject(brush));
}

TEST_F(GdiObjectsTest, AttributeSettersReturnThePreviousValue) {
  HDC dc = Printer();
  EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), RGB(0, 0, 0));
  EXPECT_EQ(SetTextColor(dc, 0), RGB(1, 2, 3));
  EXPECT_EQ(SetBkColor(dc, 0x123456), RGB(255, 255, 255));
  EXPECT_EQ(GetBkColor(dc), 0x123456u);
  EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE);
  EXPECT_EQ(SetBkMode(dc, 7), 0);
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  EXPECT_EQ(SetROP2(dc, R2_XORPEN), R2_COPYPEN);
  EXPECT_EQ(SetROP2(dc, 0), 0);
  EXPECT_EQ(SetROP2(dc, 17), 0);
  EXPECT_EQ(GetROP2(dc), R2_XORPEN);
  EXPECT_EQ(SetTextAlign(dc, TA_BASELINE | TA_CENTER), static_cast<UINT>(TA_TOP | TA_LEFT));
  EXPECT_EQ(GetTextAlign(dc), static_cast<UINT>(TA_BASELINE | TA_CENTER));
  POINT previous{-1, -1};
  EXPECT_TRUE(MoveToEx(dc, 10, 20, &previous));
  EXPECT_EQ(previous.x, 0);
  EXPECT_EQ(previous.y, 0);
  POINT now{};
  EXPECT_TRUE(GetCurrentPositionEx(dc, &now));
  EXPECT_EQ(now.x, 10);
  EXPECT_EQ(now.y, 20);
  EXPECT_FALSE(GetCurrentPositionEx(dc, nullptr));
  DeleteDC(dc);
}

TEST_F(GdiObjectsTest, TextAlignmentWithCurrentPositionAdvancesIt) {
  HDC screen = GetDC(nullptr);
  LOGFONTA logfont = MakeFont("Courier New", 20, 10);
  HFONT font = CreateFontIndirectA(&logfont);
  SelectObject(screen, font);
  SetTextAlign(screen, TA_UPDATECP);
  MoveToEx(screen, 5, 7, nullptr);
  EXPECT_TRUE(TextOutA(screen, 999, 999, "abcd", 4));  // x and y are not used
  POINT now{};
  GetCurrentPositionEx(screen, &now);
  EXPECT_EQ(now.x, 45);
  EXPECT_EQ(now.y, 7);
  SelectObject(screen, GetStockObject(SYSTEM_FONT));
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
}

TEST_F(GdiObjectsTest, InvalidHandlesAndNullPointersFail) {
  const HDC bogus_dc = reinterpret_cast<HDC>(0x5151);
  const HGDIOBJ bogus = reinterpret_cast<HGDIOBJ>(0x6161);
  SIZE size{};
  TEXTMETRICA tm{};
  POINT point{};
  const RECT rect{0, 0, 1, 1};
  const DOCINFOA info{sizeof(DOCINFOA), "x", nullptr, nullptr, 0};
  SetLastError(0);
  EXPECT_EQ(SelectObject(bogus_dc, GetStockObject(BLACK_PEN)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(DeleteObject(bogus));
  EXPECT_FALSE(DeleteObject(nullptr));
  EXPECT_EQ(GetObjectA(bogus, 60, &tm), 0);
  EXPECT_EQ(GetObjectType(bogus), 0u);
  EXPECT_FALSE(TextOutA(bogus_dc, 0, 0, "a", 1));
  EXPECT_FALSE(GetTextExtentPointA(bogus_dc, "a", 1, &size));
  EXPECT_FALSE(GetTextMetricsA(bogus_dc, &tm));
  EXPECT_EQ(SetTextColor(bogus_dc, 0), CLR_INVALID);
  EXPECT_EQ(SetBkMode(bogus_dc, OPAQUE), 0);
  EXPECT_EQ(SetTextAlign(bogus_dc, 0), GDI_ERROR);
  EXPECT_FALSE(MoveToEx(bogus_dc, 0, 0, &point));
  EXPECT_FALSE(LineTo(bogus_dc, 1, 1));
  EXPECT_EQ(FillRect(bogus_dc, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
  EXPECT_EQ(StartDocA(bogus_dc, &info), SP_ERROR);
  EXPECT_EQ(StartPage(bogus_dc), SP_ERROR);
  EXPECT_EQ(EndPage(bogus_dc), SP_ERROR);
  EXPECT_EQ(EndDoc(bogus_dc), SP_ERROR);
  EXPECT_EQ(AbortDoc(bogus_dc), SP_ERROR);
  EXPECT_EQ(SetAbortProc(bogus_dc, nullptr), SP_ERROR);
  EXPECT_FALSE(DeleteDC(nullptr));

  HDC dc = Printer();
  EXPECT_EQ(SelectObject(dc, bogus), nullptr);
  EXPECT_EQ(SelectObject(dc, dc), nullptr);  // a context is not a drawing object
  EXPECT_FALSE(GetTextMetricsA(dc, nullptr));
  EXPECT_FALSE(GetTextExtentPointA(dc, nullptr, 3, &size));
  EXPECT_FALSE(GetTextExtentPointA(dc, "abc", -1, &size));
  EXPECT_FALSE(GetTextExtentPointA(dc, "abc", 3, nullptr));
  EXPECT_EQ(FillRect(dc, nullptr, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
  EXPECT_EQ(FillRect(dc, &rect, static_cast<HBRUSH>(bogus)), 0);
  ASSERT_GT(StartDocA(dc, &info), 0);
  ASSERT_GT(StartPage(dc), 0);
  EXPECT_FALSE(TextOutA(dc, 0, 0, nullptr, 2));
  EXPECT_FALSE(TextOutA(dc, 0, 0, "a", -1));
  EXPECT_TRUE(TextOutA(dc, 0, 0, nullptr, 0));
  // A system colour index + 1 stands for that colour's brush (5: COLOR_WINDOW).
  const auto window_colour = reinterpret_cast<HBRUSH>(static_cast<std::uintptr_t>(5 + 1));
  EXPECT_NE(FillRect(dc, &rect, window_colour), 0);
  EXPECT_GT(AbortDoc(dc), 0);
  DeleteDC(dc);
  // A font whose face name fills the field without a terminator is read up to its end.
  LOGFONTA unterminated = MakeFont("", -20);
  std::memset(unterminated.lfFaceName, 'Q', LF_FACESIZE);
  HFONT font = CreateFontIndirectA(&unterminated);
  HDC screen = GetDC(nullptr);
  SelectObject(screen, font);
  EXPECT_TRUE(GetTextMetricsA(screen, &tm));
  // Sizes far beyond any page are cut down rather than overflowing.
  LOGFONTA huge = MakeFont("Courier New", -2147483647 - 1, 2147483647);
  HFONT huge_font = CreateFontIndirectA(&huge);
  SelectObject(screen, huge_font);
  EXPECT_TRUE(GetTextMetricsA(screen, &tm));
  EXPECT_TRUE(GetTextExtentPointA(screen, "abc", 3, &size));
  EXPECT_GT(size.cx, 0);
  SelectObject(screen, GetStockObject(SYSTEM_FONT));
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
  DeleteObject(huge_font);
}

}  // namespace
}  // namespace wydruki::test
