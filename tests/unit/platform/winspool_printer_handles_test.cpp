// SPDX-License-Identifier: MIT
// OpenPrinterA, ClosePrinter and DocumentPropertiesA, on CUPS queues and built-in printers.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/winapi.h"
#include "unit/platform/winspool_cups_fixture.h"

namespace wydruki::test {
namespace {

using PrinterHandlesTest = CupsPrintersTest;

// The device mode the driver reports for `name`, the way the program asks for it.
DEVMODEA CurrentMode(const char* name) {
  HANDLE printer = nullptr;
  EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>(name), &printer, nullptr));
  const LONG size =
      DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>(name), nullptr, nullptr, 0);
  EXPECT_EQ(size, static_cast<LONG>(sizeof(DEVMODEA)));
  DEVMODEA mode;
  std::memset(&mode, 0xCD, sizeof mode);
  EXPECT_EQ(
      DocumentPropertiesA(nullptr, printer, const_cast<LPSTR>(name), &mode, nullptr, DM_OUT_BUFFER),
      1);
  EXPECT_TRUE(ClosePrinter(printer));
  return mode;
}

TEST_F(PrinterHandlesTest, OpenAndCloseFailuresGiveWindowsErrors) {
  HANDLE printer = reinterpret_cast<HANDLE>(0x1234);
  SetLastError(0);
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("gamma"), &printer, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  EXPECT_EQ(printer, nullptr);
  EXPECT_FALSE(OpenPrinterA(nullptr, &printer, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("alpha"), nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("ALPHA"), &printer, &defaults));
  ASSERT_NE(printer, nullptr);
  EXPECT_TRUE(ClosePrinter(printer));
  // A handle closed already, a made-up one and none at all are refused.
  SetLastError(0);
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  int not_a_printer = 0;
  EXPECT_FALSE(ClosePrinter(&not_a_printer));
  EXPECT_FALSE(ClosePrinter(nullptr));
  EXPECT_EQ(DocumentPropertiesA(nullptr, printer, nullptr, nullptr, nullptr, 0), -1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(PrinterHandlesTest, DriverModeDescribesTheQueue) {
  const DEVMODEA alpha = CurrentMode("alpha");
  EXPECT_STREQ(reinterpret_cast<const char*>(alpha.dmDeviceName), "alpha");
  EXPECT_EQ(alpha.dmSpecVersion, DM_SPECVERSION);
  EXPECT_EQ(alpha.dmSize, 156);
  EXPECT_EQ(alpha.dmDriverExtra, 0);
  const DWORD expected = DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH |
                         DM_COPIES | DM_YRESOLUTION | DM_PRINTQUALITY;
  EXPECT_EQ(alpha.dmFields, expected);
  EXPECT_EQ(alpha.dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(alpha.dmPaperSize, DMPAPER_A4);
  EXPECT_EQ(alpha.dmPaperWidth, 2100);
  EXPECT_EQ(alpha.dmPaperLength, 2970);
  EXPECT_EQ(alpha.dmCopies, 1);
  EXPECT_EQ(alpha.dmPrintQuality, 300);
  EXPECT_EQ(alpha.dmYResolution, 300);

  // Beta prints landscape on Letter at 600 dpi by default.
  const DEVMODEA beta = CurrentMode("Beta");
  EXPECT_EQ(beta.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(beta.dmPaperSize, DMPAPER_LETTER);
  EXPECT_EQ(beta.dmPaperWidth, 2159);
  EXPECT_EQ(beta.dmPaperLength, 2794);
  EXPECT_EQ(beta.dmPrintQuality, 600);

  const DEVMODEA pdf = CurrentMode("pdf-file");
  EXPECT_STREQ(reinterpret_cast<const char*>(pdf.dmDeviceName), "pdf-file");
  EXPECT_EQ(pdf.dmPaperSize, DMPAPER_A4);
  EXPECT_EQ(pdf.dmPrintQuality, 600);
}

TEST_F(PrinterHandlesTest, LongNamesAreCutToThirtyOneCharacters) {
  const std::string name = "a-queue-with-a-name-longer-than-the-field";
  scheduler().AddQueue(name);
  const DEVMODEA mode = CurrentMode(name.c_str());
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(mode.dmDeviceName)), name.substr(0, 31));
}

TEST_F(PrinterHandlesTest, InputModeIsMergedByItsFields) {
  HANDLE printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("alpha"), &printer, nullptr));
  DEVMODEA changes;
  std::memset(&changes, 0, sizeof changes);
  changes.dmSize = sizeof changes;
  changes.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES;
  changes.dmOrientation = DMORIENT_LANDSCAPE;
  changes.dmPaperSize = DMPAPER_A5;
  changes.dmCopies = 3;
  changes.dmPrintQuality = 1200;  // not marked: must not be taken
  DEVMODEA merged;
  EXPECT_EQ(DocumentPropertiesA(nullptr, printer, nullptr, &merged, &changes,
                                DM_IN_BUFFER | DM_OUT_BUFFER),
            1);
  EXPECT_EQ(merged.dmOrientation, DMORIENT_LANDSCAPE);
  EXPECT_EQ(merged.dmPaperSize, DMPAPER_A5);
  EXPECT_EQ(merged.dmPaperWidth, 1480);
  EXPECT_EQ(merged.dmPaperLength, 2100);
  EXPECT_EQ(merged.dmCopies, 3);
  EXPECT_EQ(merged.dmPrintQuality, 300);

  // The same buffer as input and output, as programs often pass it; nonsense is ignored.
  changes.dmFields = DM_ORIENTATION | DM_PAPERSIZE;
  changes.dmOrientation = 7;
  changes.dmPaperSize = 9999;
  EXPECT_EQ(DocumentPropertiesA(nullptr, printer, nullptr, &changes, &changes,
                                DM_IN_BUFFER | DM_OUT_BUFFER),
            1);
  EXPECT_EQ(changes.dmOrientation, DMORIENT_PORTRAIT);
  EXPECT_EQ(changes.dmPaperSize, DMPAPER_A4);

  // An input whose size says it ends before its fields contributes nothing.
  DEVMODEA tiny = changes;
  tiny.dmSize = 8;
  tiny.dmFields = DM_ORIENTATION;
  tiny.dmOrientation = DMORIENT_LANDSCAPE;
  EXPECT_EQ(
      DocumentPropertiesA(nullptr, printer, nullptr, &merged, &tiny, DM_IN_BUFFER | DM_OUT_BUFFER),
      1);
  EXPECT_EQ(merged.dmOrientation, DMORIENT_PORTRAIT);

  SetLastError(0);
  EXPECT_LT(DocumentPropertiesA(nullptr, printer, nullptr, nullptr, nullptr, DM_OUT_BUFFER), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(ClosePrinter(printer));
}

}  // namespace
}  // namespace wydruki::test
