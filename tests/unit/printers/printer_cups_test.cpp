// SPDX-License-Identifier: MIT
// The printer object through a real spooler: a private CUPS scheduler with a queue whose
// documents land in a file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "Printers/Printer.h"
#include "test_support/cups_scheduler.h"
#include "test_support/temp_dir.h"

namespace wydruki::printers {
namespace {

using test::CupsScheduler;
using test::ScopedEnv;
using test::TempDir;

std::string PdfText(const std::string& path) {
  std::string text;
  FILE* pipe = ::popen(("pdftotext '" + path + "' - 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  ::pclose(pipe);
  return text;
}

TEST(PrinterThroughCups, ATwoPageDocumentReachesTheDefaultQueueAsOneJob) {
  if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
  TempDir files;
  CupsScheduler scheduler;
  scheduler.AddQueue("biuro");
  scheduler.SetDefault("biuro");
  ScopedEnv profile("WYDRUKI_INI", files.Write("win.ini", ""));
  ScopedEnv lpdest("LPDEST", nullptr);
  ScopedEnv printer_env("PRINTER", nullptr);
  {
    TPrinter printer;
    printer.DocumentTitle = "C:\\D95\\FAKTURA.TXT";
    printer.SetPageOrientation(TPrinterOrientation::poPortrait);
    printer.StartDocument();
    auto& canvas = printer.PrintCanvas();
    canvas.Font().SetName("Courier New");
    canvas.Font().SetCharset(238);
    canvas.Font().SetSize(12);
    canvas.WriteText(0, 0, "Faktura VAT nr 12/2026");
    printer.NextPage();
    canvas.WriteText(0, 0,
                     "Razem do zap\xB3"
                     "aty: 1234,56 z\xB3");
    printer.FinishDocument();
  }
  ASSERT_TRUE(scheduler.WaitUntilIdle()) << scheduler.Log();
  const std::string text = PdfText(scheduler.OutputPath("biuro"));
  const auto form_feed = text.find('\f');
  ASSERT_NE(form_feed, std::string::npos) << text << scheduler.Log();
  EXPECT_LT(text.find("Faktura VAT nr 12/2026"), form_feed);
  EXPECT_GT(text.find("Razem do zapłaty: 1234,56 zł"), form_feed) << text;
}

}  // namespace
}  // namespace wydruki::printers
