// SPDX-License-Identifier: MIT
#include "Printers/Printer.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include "Forms/Application.h"
#include "test_support/temp_dir.h"

namespace wydruki::printers {
namespace {

using test::ScopedEnv;
using test::TempDir;

// A profile whose default printer is "trace-file", with a page of the given resolution, and no
// reachable CUPS scheduler: the printer list is just the built-in printers.
class PrinterTest : public ::testing::Test {
 protected:
  void UseProfile(const std::string& device_line, int dpi = 600) {
    ini_.reset();  // the previous profile's variable is put back before the new one is set
    profile_ = dir_.Write(
        "win.ini", "[windows]\ndevice=" + device_line + "\n[trace-file]\nport=" + trace_ +
                       "\nLOGPIXELSX=" + std::to_string(dpi) + "\nLOGPIXELSY=" +
                       std::to_string(dpi) + "\nPHYSICALWIDTH=4800\nPHYSICALHEIGHT=6600" +
                       "\nPHYSICALOFFSETX=100\nPHYSICALOFFSETY=100" +
                       "\nHORZRES=4600\nVERTRES=6400\n[pdf-file]\nport=" + dir_.Path("pdf") + "\n");
    ini_ = std::make_unique<ScopedEnv>("WYDRUKI_INI", profile_);
  }
  void SetUp() override { UseProfile("trace-file,builtin,x"); }

  std::vector<std::string> TraceLines() const {
    std::vector<std::string> lines;
    std::string line;
    for (char c : dir_.Read("trace.txt")) {
      if (c == '\n') {
        lines.push_back(line);
        line.clear();
      } else {
        line += c;
      }
    }
    return lines;
  }
  static std::string Message(const std::function<void()>& action) {
    try {
      action();
    } catch (const EPrinter& e) {
      return e.what();
    }
    return "(no error)";
  }

  TempDir dir_;
  std::string trace_ = dir_.Path("trace.txt");
  std::string profile_;
  ScopedEnv cups_{"CUPS_SERVER", "127.0.0.1:1"};
  std::unique_ptr<ScopedEnv> ini_;
};

TEST(NextCommaField, SplitsPortListsAndStopsAtTheFirstEmptyField) {
  char text[] = " LPT1:,,LPT2:";
  char* cursor = text;
  EXPECT_STREQ(NextCommaField(cursor), "LPT1:");
  EXPECT_STREQ(NextCommaField(cursor), "");
  EXPECT_STREQ(NextCommaField(cursor), "LPT2:");
  EXPECT_STREQ(NextCommaField(cursor), "");
  char* none = nullptr;
  EXPECT_EQ(NextCommaField(none), nullptr);
  EXPECT_TRUE(TPrinterDevice("drv", "Laser", "LPT1:").SameDevice("other", "Laser", "LPT1:"));
  EXPECT_FALSE(TPrinterDevice("", "Laser", "LPT1:").SameDevice("", "laser", "LPT1:"));
}

TEST_F(PrinterTest, RefreshLooksThePrintersUpAgain) {
  std::filesystem::create_directories(dir_.Path("pdf"));
  TPrinter printer;
  const auto print_one = [&] {
    printer.StartDocument();
    printer.FinishDocument();
  };
  const auto traced = [&] {
    const auto lines = TraceLines();
    return std::count(lines.begin(), lines.end(), "ENDDOC");
  };
  print_one();
  // The default printer changes (another queue, a print system back): the printer chosen
  // before stays until the printers are looked up again.
  UseProfile("pdf-file,builtin,x");
  print_one();
  EXPECT_EQ(traced(), 2);
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path("pdf")));
  printer.Refresh();
  print_one();
  EXPECT_EQ(traced(), 2);
  EXPECT_FALSE(std::filesystem::is_empty(dir_.Path("pdf")));
  // Not in the middle of a document.
  printer.StartDocument();
  EXPECT_EQ(Message([&] { printer.Refresh(); }), "Printing in progress");
  printer.FinishDocument();
}

TEST_F(PrinterTest, TheProfilesPrinterNameIgnoresLetterCase) {
  UseProfile("TRACE-File,builtin,x");
  TPrinter printer;
  const int index = printer.SelectedIndex();
  ASSERT_GE(index, 0);
  EXPECT_EQ(printer.PrinterList()[index].device->DeviceName, "trace-file");
}

TEST_F(PrinterTest, WithoutAMatchingDefaultPrinterEveryPrinterOperationIsRefused) {
  UseProfile("Trace-Filer,builtin,x");  // no such printer
  TPrinter printer;
  EXPECT_EQ(Message([&] { printer.PrintableWidth(); }),
            "There is no default printer currently selected");
  EXPECT_EQ(Message([&] { printer.StartDocument(); }),
            "There is no default printer currently selected");
  EXPECT_EQ(Message([&] { printer.SetPageOrientation(TPrinterOrientation::poPortrait); }),
            "There is no default printer currently selected");
  EXPECT_FALSE(printer.IsPrinting());
}

TEST_F(PrinterTest, TheDefaultPrinterIsFoundInTheListAndIndexesAreChecked) {
  TPrinter printer;
  const int index = printer.SelectedIndex();
  ASSERT_GE(index, 0);
  EXPECT_EQ(printer.PrinterList()[index].device->DeviceName, "trace-file");
  EXPECT_EQ(printer.PrinterList()[index].display_name, "trace-file");
  EXPECT_EQ(
      Message([&] { printer.SetSelectedIndex(static_cast<int>(printer.PrinterList().size())); }),
      "Printer index out of range");
  EXPECT_EQ(Message([&] { printer.SetSelectedIndex(-2); }), "Printer index out of range");
  EXPECT_EQ(printer.SelectedIndex(), index);
}

TEST_F(PrinterTest, MisuseIsRefusedWithItsMessageAndChangesNothing) {
  TPrinter printer;
  EXPECT_EQ(Message([&] { printer.NextPage(); }), "Printer is not currently printing");
  EXPECT_EQ(Message([&] { printer.FinishDocument(); }), "Printer is not currently printing");
  EXPECT_EQ(Message([&] { printer.CancelDocument(); }), "Printer is not currently printing");
  EXPECT_EQ(Message([&] { printer.PrintCanvas().WriteText(0, 0, "x"); }),
            "Printer is not currently printing");
  EXPECT_GT(printer.PrintCanvas().MeasureWidth("abc"), 0) << "measuring needs no document";
  EXPECT_EQ(printer.State(), TPrinter::HandleState::InformationHandle);

  printer.StartDocument();
  EXPECT_EQ(Message([&] { printer.StartDocument(); }), "Printing in progress");
  EXPECT_EQ(Message([&] { printer.SetPageOrientation(TPrinterOrientation::poLandscape); }),
            "Printing in progress");
  EXPECT_EQ(Message([&] { printer.SetHandleState(TPrinter::HandleState::NoHandle); }),
            "Printing in progress");
  EXPECT_EQ(printer.CurrentPage(), 1);
  EXPECT_EQ(printer.DeviceModeView()->dmOrientation, DMORIENT_PORTRAIT);
  printer.FinishDocument();
  EXPECT_EQ(printer.CurrentPage(), 0);
}

TEST_F(PrinterTest, ADocumentIsSpooledUnderItsWholeTitleWithItsPages) {
  TPrinter printer;
  printer.DocumentTitle = std::string("C:\\D95\\") + std::string(33, 'A');  // 40 characters
  printer.StartDocument();
  printer.PrintCanvas().Font().SetName("Courier New");
  printer.PrintCanvas().WriteText(10, 20, "ab");
  printer.NextPage();
  EXPECT_EQ(printer.CurrentPage(), 2);
  printer.PrintCanvas().WriteText(30, 40, "c");
  printer.FinishDocument();
  const auto lines = TraceLines();
  ASSERT_EQ(lines.size(), 6u);
  // Not cut after 31 characters: the system names the output after the file at its end.
  EXPECT_EQ(lines[0], "DOC C:\\D95\\" + std::string(33, 'A'));
  EXPECT_EQ(lines[1], "PAGE 1");
  EXPECT_EQ(lines[2].substr(0, 11), "TEXT 10 20 ");
  EXPECT_NE(lines[2].find("Courier New|-67|"), std::string::npos) << lines[2];
  EXPECT_EQ(lines[2].substr(lines[2].size() - 5), " 6162");
  EXPECT_EQ(lines[3], "PAGE 2");
  EXPECT_EQ(lines[5], "ENDDOC");
}

TEST_F(PrinterTest, CancellingAbortsWithoutEndingTheDocumentAndResetsTheState) {
  TPrinter printer;
  printer.DocumentTitle = "";
  printer.StartDocument();
  printer.PrintCanvas().WriteText(0, 0, "x");
  printer.CancelDocument();
  EXPECT_FALSE(printer.IsPrinting());
  EXPECT_FALSE(printer.IsCancelled());
  EXPECT_EQ(printer.CurrentPage(), 0);
  EXPECT_EQ(Message([&] { printer.FinishDocument(); }), "Printer is not currently printing");
  const auto lines = TraceLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "DOC ");
  EXPECT_EQ(lines.back(), "ABORTDOC");
  for (const auto& line : lines) EXPECT_NE(line, "ENDDOC");
}

// A page the printer cannot take, or a document it cannot hand over, fails the document with
// the system's reason; nothing of it is kept, and the object is ready for the next one.
TEST_F(PrinterTest, AFailedPageEndOrDocumentEndLeavesNoDocumentOpen) {
  {
    // Files may not grow past 64 KB: the first page's record is longer, so its end fails.
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{64 * 1024, limit.rlim_max};
    const auto previous_handler = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    TPrinter printer;
    printer.StartDocument();
    for (int i = 0; i < 4000; ++i) printer.PrintCanvas().WriteText(i, i, "x");
    const std::string failure = Message([&] { printer.NextPage(); });
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous_handler);
    EXPECT_NE(failure, "(no error)");
    EXPECT_FALSE(printer.IsPrinting());
    EXPECT_NE(printer.LastSystemError(), static_cast<DWORD>(ERROR_SUCCESS));
  }

  // The PDF directory goes away while the document is made: handing it over fails.
  UseProfile("pdf-file,builtin,x");
  std::filesystem::create_directories(dir_.Path("pdf"));
  TPrinter pdf;
  pdf.StartDocument();
  pdf.PrintCanvas().WriteText(0, 0, "x");
  std::filesystem::remove_all(dir_.Path("pdf"));
  EXPECT_NE(Message([&] { pdf.FinishDocument(); }), "(no error)");
  EXPECT_FALSE(pdf.IsPrinting());
  EXPECT_FALSE(std::filesystem::exists(dir_.Path("pdf"))) << "nothing was written";
  const auto lines = TraceLines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "ENDDOC"), 0);
  std::filesystem::create_directories(dir_.Path("pdf"));
  pdf.StartDocument();
  pdf.FinishDocument();
  EXPECT_FALSE(std::filesystem::is_empty(dir_.Path("pdf"))) << "the next document prints";
}

// The user's session ends with a document open: it is aborted, never spooled cut short (the job
// is printed whole at the next session).
TEST_F(PrinterTest, TheEndOfTheSessionAbortsTheOpenDocument) {
  EXPECT_EXIT(
      {
#ifdef __SANITIZE_ADDRESS__
        // The program ends from inside a message handler: what it still holds is not a leak.
        __lsan_disable();
#endif
        forms::TApplication application;
        application.OnSessionEnd = [] { AbortOpenDocument(); };
        ActivePrinter().StartDocument();
        ActivePrinter().PrintCanvas().WriteText(0, 0, "half");
        SendMessageA(application.Handle(), WM_ENDSESSION, TRUE, 0);
        std::exit(3);  // not reached: the session's end ends the program
      },
      ::testing::ExitedWithCode(0), "");
  const auto lines = TraceLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "ABORTDOC");
  for (const auto& line : lines) EXPECT_NE(line, "ENDDOC");
}

TEST_F(PrinterTest, ContextsAreKeptBetweenDocumentsAndRemadeForANewOrientation) {
  TPrinter printer;
  EXPECT_EQ(printer.PrintableWidth(), 4600);
  EXPECT_EQ(printer.PrintableHeight(), 6400);
  printer.StartDocument();
  const HDC first = printer.DeviceContext();
  printer.FinishDocument();
  printer.StartDocument();
  EXPECT_EQ(printer.DeviceContext(), first);
  printer.FinishDocument();
  printer.SetPageOrientation(TPrinterOrientation::poLandscape);
  EXPECT_EQ(printer.State(), TPrinter::HandleState::NoHandle);
  EXPECT_EQ(printer.PrintableWidth(), 6400);
  printer.StartDocument();
  EXPECT_EQ(printer.PrintableHeight(), 4600);
  printer.FinishDocument();
}

TEST_F(PrinterTest, TheCanvasFontKeepsItsPointSizeAtThePrintersResolution) {
  {
    TPrinter printer;
    printer.PrintCanvas().Font().SetSize(10);
    printer.StartDocument();
    EXPECT_EQ(printer.PrintCanvas().Font().Height(), -83);
    EXPECT_EQ(printer.PrintCanvas().Font().Size(), 10);
    printer.FinishDocument();
  }
  UseProfile("trace-file,builtin,x", 300);
  TPrinter printer;
  printer.PrintCanvas().Font().SetSize(10);
  printer.PrintCanvas().MeasureWidth("x");
  EXPECT_EQ(printer.PrintCanvas().Font().Height(), -42);
}

TEST_F(PrinterTest, AnOpenDocumentIsFinishedNotCancelledWhenThePrinterGoesAway) {
  {
    TPrinter printer;
    printer.DocumentTitle = "open";
    printer.StartDocument();
    printer.PrintCanvas().WriteText(0, 0, "x");
  }
  const auto lines = TraceLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), "ENDDOC");
}

TEST_F(PrinterTest, ATwoPageDocumentThroughThePrinterObjectReachesAPdf) {
  UseProfile("pdf-file,builtin," + dir_.Path("pdf"));
  std::filesystem::create_directories(dir_.path() / "pdf");
  TPrinter printer;
  printer.DocumentTitle = "C:\\D95\\RAPORT.TXT";
  printer.SetPageOrientation(TPrinterOrientation::poPortrait);
  printer.StartDocument();
  auto& canvas = printer.PrintCanvas();
  canvas.Font().SetName("Courier New");
  canvas.Font().SetCharset(238);
  canvas.Font().SetSize(12);
  canvas.WriteText(0, 0, "Raport dzienny");
  printer.NextPage();
  canvas.WriteText(0, 0,
                   "Ko\xF1"
                   "cowa strona: \xBF\xF3\xB3w");
  printer.FinishDocument();
  const std::string pdf = dir_.Path("pdf/RAPORT.TXT.pdf");
  ASSERT_TRUE(std::filesystem::exists(pdf));
  FILE* pipe = ::popen(("pdftotext '" + pdf + "' -").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string text;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  ::pclose(pipe);
  const auto form_feed = text.find('\f');
  ASSERT_NE(form_feed, std::string::npos);
  EXPECT_LT(text.find("Raport dzienny"), form_feed);
  EXPECT_GT(text.find("Końcowa strona: żółw"), form_feed) << text;
}

}  // namespace
}  // namespace wydruki::printers
