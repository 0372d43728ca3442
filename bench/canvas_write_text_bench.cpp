// SPDX-License-Identifier: MIT
// 200 pages of 58 lines x 80 one-character WriteText calls (928,000 calls) on the printer
// canvas into the "pdf-file" printer, as page rendering draws a job. Prints calls per second
// and the peak resident memory.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Printers/Printer.h"

using namespace wydruki::printers;

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::atoi(argv[1]) : 200;
  const auto dir =
      std::filesystem::temp_directory_path() / ("wydruki-bench-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const auto ini = dir / "win.ini";
  std::ofstream(ini) << "[windows]\ndevice=pdf-file,builtin," << dir.string() << "\n";
  ::setenv("WYDRUKI_INI", ini.c_str(), 1);

  TPrinter& printer = ActivePrinter();
  printer.DocumentTitle = "bench";
  auto& canvas = printer.PrintCanvas();
  const auto start = std::chrono::steady_clock::now();
  printer.StartDocument();
  canvas.Font().SetName("Courier New");
  canvas.Font().SetCharset(238);
  canvas.Font().SetSize(10);
  canvas.Brush().SetStyle(wydruki::graphics::TBrushStyle::bsClear);  // as page rendering draws
  long calls = 0;
  for (int page = 0; page < pages; ++page) {
    if (page > 0) printer.NextPage();
    for (int line = 0; line < 58; ++line) {
      for (int column = 0; column < 80; ++column) {
        const char c = static_cast<char>('!' + (line * 80 + column + page) % 90);
        canvas.WriteText(column * 55, line * 110, std::string_view(&c, 1));
        ++calls;
      }
    }
  }
  printer.FinishDocument();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf(
      "printer canvas WriteText: %ld calls on %d pages in %.3f s = %.0f calls/s; "
      "peak RSS %.1f MB\n",
      calls, pages, elapsed.count(), calls / elapsed.count(), usage.ru_maxrss / 1024.0);
  std::filesystem::remove_all(dir);
  return 0;
}
