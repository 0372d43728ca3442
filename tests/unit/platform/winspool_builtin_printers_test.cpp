// SPDX-License-Identifier: MIT
// The built-in printers: their page from the profile, and pdf-file's documents.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "common/printer_backend.h"
#include "platform/winapi.h"
#include "test_support/temp_dir.h"

namespace wydruki::test {
namespace {

using platform::OpenDocumentOutput;
using platform::PrinterKind;
using platform::ResolvePrinter;

class BuiltinPrintersTest : public ::testing::Test {
 protected:
  void UseProfile(const std::string& text) {
    profile_.reset();  // restores the variable before it is set anew
    profile_ = std::make_unique<ScopedEnv>("WYDRUKI_INI", files_.Write("custom.ini", text));
  }
  TempDir files_;
  ScopedEnv documents_{"XDG_DOCUMENTS_DIR", files_.path().string()};
  ScopedEnv server_{"CUPS_SERVER", "127.0.0.1:9"};
  std::unique_ptr<ScopedEnv> profile_ =
      std::make_unique<ScopedEnv>("WYDRUKI_INI", files_.Write("win.ini", ""));
};

TEST_F(BuiltinPrintersTest, PageComesFromTheProfileOrA4Defaults) {
  auto pdf = ResolvePrinter("pdf-file", nullptr);
  ASSERT_TRUE(pdf.has_value());
  EXPECT_EQ(pdf->caps.log_pixels_x, 600);
  EXPECT_EQ(pdf->caps.physical_width, 600 * 2100 / 254);
  EXPECT_EQ(pdf->caps.physical_offset_x, 100);
  EXPECT_EQ(pdf->caps.horz_res, pdf->caps.physical_width - 200);
  EXPECT_EQ(pdf->port, files_.path().string());

  UseProfile(
      "[trace-file]\nLOGPIXELSX=300\nLOGPIXELSY=300\nPHYSICALWIDTH=2550\nPHYSICALHEIGHT=3300\n"
      "PHYSICALOFFSETX=30\nPHYSICALOFFSETY=oops\nport=" +
      files_.Path("trace.txt") + "\n");
  auto trace = ResolvePrinter("Trace-File", nullptr);
  ASSERT_TRUE(trace.has_value());
  EXPECT_EQ(trace->kind, PrinterKind::kTraceFile);
  EXPECT_EQ(trace->name, "trace-file");
  EXPECT_EQ(trace->port, files_.Path("trace.txt"));
  EXPECT_EQ(trace->caps.physical_width, 2550);
  EXPECT_EQ(trace->caps.physical_offset_x, 30);
  EXPECT_EQ(trace->caps.physical_offset_y, 50) << "a malformed value keeps its default";
  EXPECT_EQ(trace->caps.horz_res, 2550 - 60);
  EXPECT_EQ(trace->caps.vert_res, 3300 - 100);

  DEVMODEA landscape{};
  landscape.dmSize = sizeof landscape;
  landscape.dmFields = DM_ORIENTATION;
  landscape.dmOrientation = DMORIENT_LANDSCAPE;
  auto turned = ResolvePrinter("trace-file", &landscape);
  ASSERT_TRUE(turned.has_value());
  EXPECT_EQ(turned->caps.physical_width, 3300);
  EXPECT_EQ(turned->caps.physical_height, 2550);
  EXPECT_EQ(turned->caps.horz_res, 3300 - 100);
}

TEST_F(BuiltinPrintersTest, PdfFileNeverOverwritesAnEarlierPrintOut) {
  const auto target = ResolvePrinter("pdf-file", nullptr);
  ASSERT_TRUE(target.has_value());
  files_.Write("raport.pdf", "earlier");
  for (const std::string text : {"first", "second"}) {
    auto output = OpenDocumentOutput(*target, "C:\\DANE\\raport");
    ASSERT_NE(output, nullptr);
    ASSERT_TRUE(output->Write(reinterpret_cast<const unsigned char*>(text.data()), text.size()));
    ASSERT_TRUE(output->Finish());
  }
  EXPECT_EQ(files_.Read("raport.pdf"), "earlier");
  EXPECT_EQ(files_.Read("raport-2.pdf"), "first");
  EXPECT_EQ(files_.Read("raport-3.pdf"), "second");

  // An aborted document leaves no file, not even a half-written one.
  auto aborted = OpenDocumentOutput(*target, "raport");
  ASSERT_NE(aborted, nullptr);
  ASSERT_TRUE(aborted->Write(reinterpret_cast<const unsigned char*>("x"), 1));
  aborted->Abort();
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(files_.path()))
    if (entry.path().extension() == ".pdf" || entry.path().filename().string()[0] == '.') ++files;
  EXPECT_EQ(files, 3);
}

TEST_F(BuiltinPrintersTest, PdfFileFindsAFreeNameOnceAllNumberedNamesAreTaken) {
  const auto target = ResolvePrinter("pdf-file", nullptr);
  ASSERT_TRUE(target.has_value());
  files_.Write("raport.pdf", "earlier");
  for (int n = 2; n <= 9999; ++n)
    std::filesystem::create_hard_link(files_.Path("raport.pdf"),
                                      files_.Path("raport-" + std::to_string(n) + ".pdf"));
  for (const std::string text : {"late", "next"}) {
    auto output = OpenDocumentOutput(*target, "raport");
    ASSERT_TRUE(output && output->Write(reinterpret_cast<const unsigned char*>(text.data()), 4));
    ASSERT_TRUE(output->Finish()) << "a print-out after raport-9999.pdf";
  }
  std::set<std::string> texts;  // of the names beyond the numbered ones
  for (const auto& entry : std::filesystem::directory_iterator(files_.path()))
    if (entry.path().filename().string().size() > 16)
      texts.insert(files_.Read(entry.path().filename()));
  EXPECT_EQ(texts, (std::set<std::string>{"late", "next"}));
  EXPECT_EQ(files_.Read("raport-9999.pdf"), "earlier");
}

TEST_F(BuiltinPrintersTest, MissingPortDirectoryFailsToOpen) {
  UseProfile("[pdf-file]\nport=" + files_.Path("no/such/dir") + "\n");
  const auto target = ResolvePrinter("pdf-file", nullptr);
  ASSERT_TRUE(target.has_value());
  SetLastError(0);
  EXPECT_EQ(OpenDocumentOutput(*target, "x"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

}  // namespace
}  // namespace wydruki::test
