// SPDX-License-Identifier: MIT
// A window whose pixels the display keeps: GetDC on it draws into its surface with the
// printer's faces; a window without one draws nowhere, as on the null display.
#include <cairo.h>

#include <cstring>

#include "gdi/window_canvas.h"
#include "gdi_test_support.h"

namespace wydruki::test {
namespace {

class WindowCanvasTest : public GdiTest {
 protected:
  static void Drawn(HWND window) { last_drawn_ = window; }

  // Pixels of the surface that are not white.
  static int Inked(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    int inked = 0;
    for (int y = 0; y < cairo_image_surface_get_height(surface); ++y)
      for (int x = 0; x < cairo_image_surface_get_width(surface); ++x) {
        const auto* pixel = data + y * stride + x * 4;
        inked += (pixel[0] & pixel[1] & pixel[2]) != 0xFF;
      }
    return inked;
  }

  static inline HWND last_drawn_ = nullptr;
};

TEST_F(WindowCanvasTest, TextDrawnThroughGetDcLandsInTheWindowsSurface) {
  const HWND window = reinterpret_cast<HWND>(0x5151);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 200, 60);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  platform::AttachWindowSurface(window, surface, &Drawn);

  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  LOGFONTA font{};
  font.lfHeight = -28;
  font.lfCharSet = 238;
  std::strcpy(font.lfFaceName, "Courier New");
  HFONT handle = CreateFontIndirectA(&font);
  SelectObject(dc, handle);
  last_drawn_ = nullptr;
  EXPECT_EQ(Inked(surface), 0);
  ASSERT_TRUE(TextOutA(dc, 10, 10,
                       "Przyk\xB3"
                       "ad",
                       8));
  EXPECT_EQ(last_drawn_, window) << "the display is not told to show the new pixels";
  const int text = Inked(surface);
  EXPECT_GT(text, 100) << "no glyphs reached the window's surface";

  // A red fill covers a known area: 20 × 10 pixels.
  RECT area{150, 40, 170, 50};
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  ASSERT_TRUE(FillRect(dc, &area, red));
  EXPECT_EQ(Inked(surface), text + 200);
  ReleaseDC(window, dc);
  DeleteObject(red);

  // Once the window lets its surface go, its contexts draw nowhere and report success.
  platform::DetachWindowSurface(window);
  HDC later = GetDC(window);
  SelectObject(later, handle);
  EXPECT_TRUE(TextOutA(later, 10, 10, "XXXX", 4));
  EXPECT_EQ(Inked(surface), text + 200);
  ReleaseDC(window, later);
  DeleteObject(handle);
  cairo_surface_destroy(surface);
}

// The canvas rides on the context's document slot: the document calls must still see a
// screen context, not a document they may end or cancel.
TEST_F(WindowCanvasTest, DocumentCallsOnAWindowContextFailAndLeaveItsDrawingAlone) {
  const HWND window = reinterpret_cast<HWND>(0x5152);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 40, 40);
  platform::AttachWindowSurface(window, surface, nullptr);
  HDC dc = GetDC(window);
  ASSERT_NE(dc, nullptr);
  DOCINFOA doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = "x";
  EXPECT_LE(StartDocA(dc, &doc), 0);
  EXPECT_LE(StartPage(dc), 0);
  EXPECT_LE(EndPage(dc), 0);
  EXPECT_LE(EndDoc(dc), 0);
  EXPECT_LE(AbortDoc(dc), 0);
  RECT all{0, 0, 40, 40};
  HBRUSH black = CreateSolidBrush(RGB(0, 0, 0));
  EXPECT_TRUE(FillRect(dc, &all, black));
  EXPECT_EQ(Inked(surface), 1600);
  ReleaseDC(window, dc);
  DeleteObject(black);
  platform::DetachWindowSurface(window);
  cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace wydruki::test
