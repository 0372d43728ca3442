// SPDX-License-Identifier: MIT
// End to end through the platform API: a two-page document with Polish text drawn on a CUPS
// queue of a test scheduler, read back from the file the queue wrote.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/winapi.h"
#include "test_support/cups_scheduler.h"
#include "test_support/temp_dir.h"

namespace wydruki::test {
namespace {

// "Zażółć gęślą jaźń" in Windows-1250, and the same in UTF-8 as pdftotext gives it.
const char kPolish1250[] = "Za\xbf\xf3\xb3\xe6 g\xea\x9cl\xb9 ja\x9f\xf1";
const char kPolishUtf8[] =
    "Za\xc5\xbc\xc3\xb3\xc5\x82\xc4\x87 g\xc4\x99\xc5\x9bl\xc4\x85 "
    "ja\xc5\xba\xc5\x84";

TEST(CupsPrintingEndToEnd, TwoPagesOfPolishTextReachTheQueue) {
  if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
  if (::access("/usr/bin/pdftotext", X_OK) != 0) GTEST_SKIP() << "no pdftotext";
  CupsScheduler scheduler;
  scheduler.AddQueue("wydruki-e2e");
  TempDir files;
  ScopedEnv profile("WYDRUKI_INI", files.Write("win.ini", ""));

  HDC dc = CreateDCA(nullptr, "wydruki-e2e", nullptr, nullptr);
  ASSERT_NE(dc, nullptr) << GetLastError();
  LOGFONTA description{};
  description.lfHeight = -(12 * GetDeviceCaps(dc, LOGPIXELSY) / 72);
  description.lfCharSet = EASTEUROPE_CHARSET;
  std::strcpy(description.lfFaceName, "Liberation Mono");
  HFONT font = CreateFontIndirectA(&description);
  ASSERT_NE(font, nullptr);
  HGDIOBJ previous = SelectObject(dc, font);

  DOCINFOA info{};
  info.cbSize = sizeof info;
  info.lpszDocName = "e2e-dokument";
  ASSERT_GT(StartDocA(dc, &info), 0);
  for (const char* page : {"Strona 1", "Strona 2"}) {
    ASSERT_GT(StartPage(dc), 0);
    EXPECT_TRUE(TextOutA(dc, 300, 300, page, static_cast<int>(std::strlen(page))));
    EXPECT_TRUE(TextOutA(dc, 300, 600, kPolish1250, static_cast<int>(std::strlen(kPolish1250))));
    ASSERT_GT(EndPage(dc), 0);
  }
  ASSERT_GT(EndDoc(dc), 0);
  SelectObject(dc, previous);
  DeleteObject(font);
  DeleteDC(dc);

  ASSERT_TRUE(scheduler.WaitUntilIdle()) << scheduler.Log();
  std::string text;
  ASSERT_EQ(
      RunProgram({"/usr/bin/pdftotext", "-enc", "UTF-8", scheduler.OutputPath("wydruki-e2e"), "-"},
                 &text),
      0);
  EXPECT_NE(text.find("Strona 1"), std::string::npos) << text;
  EXPECT_NE(text.find("Strona 2"), std::string::npos) << text;
  EXPECT_NE(text.find(kPolishUtf8), std::string::npos) << text;
  // pdftotext ends every page with a form feed.
  int pages = 0;
  for (const char c : text) pages += c == '\f';
  EXPECT_EQ(pages, 2);
}

}  // namespace
}  // namespace wydruki::test
