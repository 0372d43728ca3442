// SPDX-License-Identifier: MIT
// Device contexts: which devices make them, and what GetDeviceCaps reports.
#include <cstring>

#include "gdi_test_support.h"

namespace wydruki::test {
namespace {

class GdiDcTest : public GdiTest {};

TEST_F(GdiDcTest, PrinterCapabilitiesComeFromItsPage) {
  HDC dc = Printer();
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(GetDeviceCaps(dc, TECHNOLOGY), DT_RASPRINTER);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSX), 600);
  EXPECT_EQ(GetDeviceCaps(dc, LOGPIXELSY), 600);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALWIDTH), 4960);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALHEIGHT), 7015);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETX), 100);
  EXPECT_EQ(GetDeviceCaps(dc, PHYSICALOFFSETY), 100);
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 4760);
  EXPECT_EQ(GetDeviceCaps(dc, VERTRES), 6815);
  EXPECT_EQ(GetDeviceCaps(dc, HORZSIZE), 202);  // 4760 pixels at 600 per inch, in mm
  EXPECT_EQ(GetDeviceCaps(dc, VERTSIZE), 289);
  EXPECT_EQ(GetDeviceCaps(dc, PLANES), 1);
  EXPECT_EQ(GetDeviceCaps(dc, NUMCOLORS), -1);
  EXPECT_NE(GetDeviceCaps(dc, RASTERCAPS) & RC_BITBLT, 0);
  EXPECT_EQ(GetDeviceCaps(dc, 12345), 0);
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_FALSE(DeleteDC(dc));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetDeviceCaps(dc, HORZRES), 0);
}

TEST_F(GdiDcTest, ProfileAndDeviceModeShapeThePage) {
  dir_.Write("win.ini", "[pdf-file]\nLOGPIXELSX=300\nLOGPIXELSY=300\nHORZRES=2400\n");
  DEVMODEA mode{};
  mode.dmSize = sizeof mode;
  mode.dmFields = DM_ORIENTATION;
  mode.dmOrientation = DMORIENT_LANDSCAPE;
  HDC portrait = CreateICA(nullptr, "PDF-FILE", nullptr, nullptr);
  HDC landscape = CreateDCA("winspool", "pdf-file", "", &mode);
  ASSERT_NE(portrait, nullptr);
  ASSERT_NE(landscape, nullptr);
  EXPECT_EQ(GetDeviceCaps(portrait, LOGPIXELSY), 300);
  EXPECT_EQ(GetDeviceCaps(portrait, HORZRES), 2400);
  EXPECT_EQ(GetDeviceCaps(landscape, VERTRES), 2400);
  EXPECT_EQ(GetDeviceCaps(landscape, PHYSICALWIDTH), GetDeviceCaps(portrait, PHYSICALHEIGHT));
  EXPECT_EQ(GetDeviceCaps(portrait, TECHNOLOGY), DT_RASPRINTER);
  DeleteDC(portrait);
  DeleteDC(landscape);
}

TEST_F(GdiDcTest, UnknownOrMissingDevicesMakeNoContext) {
  SetLastError(0);
  EXPECT_EQ(CreateDCA(nullptr, "no such printer", nullptr, nullptr), nullptr);
  EXPECT_NE(GetLastError(), 0u);
  SetLastError(0);
  EXPECT_EQ(CreateICA(nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_NE(GetLastError(), 0u);
  EXPECT_EQ(CreateDCA(nullptr, "", nullptr, nullptr), nullptr);
}

TEST_F(GdiDcTest, ScreenContextsAreTheDisplayAt96PixelsPerInch) {
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1024);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 768);
  EXPECT_EQ(GetDeviceCaps(screen, TECHNOLOGY), DT_RASDISPLAY);
  EXPECT_EQ(GetDeviceCaps(screen, PHYSICALWIDTH), 0);
  // Drawing on the screen succeeds; it keeps no pixels here.
  EXPECT_TRUE(TextOutA(screen, 0, 0, "abc", 3));
  const RECT rect{0, 0, 10, 10};
  EXPECT_NE(FillRect(screen, &rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH))), 0);
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(display, nullptr);
  EXPECT_EQ(GetDeviceCaps(display, LOGPIXELSX), 96);
  HDC memory = CreateCompatibleDC(nullptr);
  ASSERT_NE(memory, nullptr);
  EXPECT_EQ(GetDeviceCaps(memory, LOGPIXELSX), 96);
  // A context from GetDC goes back with ReleaseDC, others with DeleteDC.
  EXPECT_EQ(ReleaseDC(nullptr, display), 0);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
  EXPECT_TRUE(DeleteDC(display));
  EXPECT_TRUE(DeleteDC(memory));
  EXPECT_EQ(CreateCompatibleDC(reinterpret_cast<HDC>(0x4242)), nullptr);
}

}  // namespace
}  // namespace wydruki::test
