// SPDX-License-Identifier: MIT
// The platform layer end to end: a separate program prints a two-page document with Polish
// text, and the output is read back as a user's printer would receive it.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support/temp_dir.h"

namespace {

using wydruki::test::ScopedEnv;
using wydruki::test::TempDir;

// Runs a command line through the shell and returns its exit status and standard output.
std::pair<int, std::string> RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, output};
  std::array<char, 4096> buffer{};
  size_t n = 0;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string current;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  return lines;
}

std::string Hex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(PlatformPrintEndToEnd, TraceFileRecordsEveryCallOfTheDocument) {
  TempDir dir;
  const auto trace = dir.Path("trace.txt");
  const auto ini = dir.Write("win.ini", "[windows]\ndevice=trace-file,builtin," + trace + "\n");
  ScopedEnv env("WYDRUKI_INI", ini);
  const auto [status, out] = RunCommand(std::string(PRINT_TWO_PAGES) + " 'C:\\D95\\WYDRUK.TXT'");
  ASSERT_EQ(status, 0) << out;
  const std::string font = "Courier New|-100|0|400|0|238";
  const std::vector<std::string> expected = {
      "DOC C:\\D95\\WYDRUK.TXT",
      "PAGE 1",
      "TEXT 600 600 " + font + " " + Hex("Strona pierwsza"),
      "TEXT 600 800 " + font + " " + Hex("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1"),
      "PAGE 2",
      "TEXT 600 600 " + font + " " + Hex("Strona druga"),
      "TEXT 600 800 " + font + " " + Hex("\xAF\xD3\xA3TA \xA3\xA5KA"),
      "ENDDOC",
  };
  EXPECT_EQ(Lines(dir.Read("trace.txt")), expected);
}

TEST(PlatformPrintEndToEnd, PdfFileHoldsBothPagesWithTheirPolishText) {
  TempDir dir;
  std::filesystem::create_directories(dir.path() / "out");
  const auto ini =
      dir.Write("win.ini", "[windows]\ndevice=pdf-file,builtin," + dir.Path("out") + "\n");
  ScopedEnv env("WYDRUKI_INI", ini);
  const auto [status, out] = RunCommand(std::string(PRINT_TWO_PAGES) + " 'C:\\D95\\WYDRUK.TXT'");
  ASSERT_EQ(status, 0) << out;
  const auto pdf = dir.Path("out/WYDRUK.TXT.pdf");
  ASSERT_TRUE(std::filesystem::exists(pdf));
  const auto [text_status, text] = RunCommand("pdftotext -layout '" + pdf + "' -");
  ASSERT_EQ(text_status, 0);
  EXPECT_NE(text.find("Strona pierwsza"), std::string::npos) << text;
  EXPECT_NE(text.find("Zażółć gęślą jaźń"), std::string::npos) << text;
  EXPECT_NE(text.find("ŻÓŁTA ŁĄKA"), std::string::npos) << text;
  // Pages are separated by form feeds: the first page's text comes before the first one.
  const auto form_feed = text.find('\f');
  ASSERT_NE(form_feed, std::string::npos);
  EXPECT_LT(text.find("Zażółć"), form_feed);
  EXPECT_GT(text.find("ŻÓŁTA"), form_feed);
  const auto [info_status, info] = RunCommand("pdfinfo '" + pdf + "'");
  ASSERT_EQ(info_status, 0);
  EXPECT_NE(info.find("\nPages:           2\n"), std::string::npos) << info;
}

TEST(PlatformPrintEndToEnd, ThePrintersChannelSaysWhatBecameOfEachDocumentOnlyWhenAskedTo) {
  TempDir dir;
  const auto ini =
      dir.Write("win.ini", "[windows]\ndevice=trace-file,builtin," + dir.Path("trace.txt") + "\n");
  ScopedEnv env("WYDRUKI_INI", ini);
  const std::string program = std::string(PRINT_TWO_PAGES) + " 'C:\\D95\\A.TXT' 2>&1";
  const auto [quiet_status, quiet] = RunCommand(program);
  ASSERT_EQ(quiet_status, 0);
  EXPECT_EQ(quiet.find("wydrukid95["), std::string::npos) << quiet;

  ScopedEnv debug("WYDRUKI_DEBUG", "files,Printers");
  const auto [status, out] = RunCommand(program);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("wydrukid95[printers]: document 1 \"C:\\D95\\A.TXT\" started on "
                     "\"trace-file\""),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("wydrukid95[printers]: document 1 of 2 pages handed over"), std::string::npos)
      << out;
}

TEST(PlatformPrintEndToEnd, AnUnknownPrinterIsReportedAndNothingIsWritten) {
  TempDir dir;
  const auto ini = dir.Write("win.ini", "[windows]\ndevice=no-such-printer,cups,no-such-printer\n");
  ScopedEnv env("WYDRUKI_INI", ini);
  ScopedEnv cups("CUPS_SERVER", "127.0.0.1:1");  // nothing listens there
  const auto [status, out] = RunCommand(std::string(PRINT_TWO_PAGES) + " 2>&1");
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("no printer"), std::string::npos) << out;
}

}  // namespace
