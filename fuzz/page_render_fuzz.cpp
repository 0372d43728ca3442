// SPDX-License-Identifier: MIT
// Page rendering over arbitrary bytes on the trace printer: every byte sequence, escape
// commands included, is drawn without a fault, on both font paths.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Printers/Printer.h"
#include "fuzz_support.h"
#include "pp1/PagePrinter.h"
#include "pp2/FontSettings.h"

namespace {

struct Setup {
  Setup() {
    const std::string ini = wydruki::fuzz::WorkDirectory() + "/win.ini";
    FILE* file = std::fopen(ini.c_str(), "w");
    std::fprintf(file, "[windows]\ndevice=trace-file,builtin,/dev/null\n[trace-file]\nport=/dev/null\n");
    std::fclose(file);
    ::setenv("WYDRUKI_INI", ini.c_str(), 1);
    ::setenv("CUPS_SERVER", "127.0.0.1:1", 1);
    wydruki::pp2::BuildPrintLogFont("Courier New", "120", 3);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Setup setup;
  if (size == 0) return 0;
  auto& printer = wydruki::printers::ActivePrinter();
  bool cancel = false;
  wydruki::pp1::PagePrinter pages(printer, [] {}, cancel);
  // The first byte chooses the path and the job's lines per page; the rest are the lines.
  const bool standard = (data[0] & 1) != 0;
  const int job_lines = static_cast<std::int8_t>(data[0]) / 2;
  std::vector<std::string> lines(1);
  for (std::size_t i = 1; i < size; ++i) {
    if (data[i] == '\r') {
      lines.emplace_back();
    } else {
      lines.back().push_back(static_cast<char>(data[i]));
    }
  }
  printer.StartDocument();
  if (standard) {
    pages.WydrukStartOld(CreateFontIndirectA(&wydruki::pp2::PrintLogFont), job_lines);
    pages.Wydruk1StronyOld(lines, static_cast<int>(lines.size()));
  } else {
    pages.WydrukStart(job_lines);
    pages.Wydruk1Strony(lines, static_cast<int>(lines.size()));
  }
  printer.FinishDocument();
  return 0;
}
