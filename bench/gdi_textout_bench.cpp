// SPDX-License-Identifier: MIT
// Throughput and memory of printing a long character-grid document to "pdf-file": pages of
// 58 lines of 80 one-character TextOutA calls, as the agent draws them, in a temporary
// directory. Prints calls per second and the peak resident set size.
//
// Usage: gdi_textout_bench [pages]   (default 200)
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/winapi.h"

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  char pattern[] = "/tmp/wydruki-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path dir = pattern;
  {
    std::ofstream ini(dir / "win.ini");
    ini << "[pdf-file]\nport=" << dir.string() << "\n";
  }
  ::setenv("WYDRUKI_INI", (dir / "win.ini").c_str(), 1);

  HDC dc = CreateDCA(nullptr, "pdf-file", nullptr, nullptr);
  if (dc == nullptr) return 1;
  const int width = GetDeviceCaps(dc, HORZRES);
  const int height = GetDeviceCaps(dc, VERTRES);
  const int cell = width / 80;
  const int line_height = height / 58;
  LOGFONTA font{};
  font.lfHeight = 2 * cell;
  font.lfWidth = cell;
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = EASTEUROPE_CHARSET;
  std::snprintf(font.lfFaceName, LF_FACESIZE, "Courier New");
  HFONT handle = CreateFontIndirectA(&font);
  SelectObject(dc, handle);
  SetBkMode(dc, TRANSPARENT);

  const std::string text =
      "Zak\xB3"
      "ad Us\xB3ug Informatycznych: faktura VAT nr 2024/123, pozycja "
      "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF 0123456789";
  const auto start = std::chrono::steady_clock::now();
  DOCINFOA info{};
  info.cbSize = sizeof info;
  info.lpszDocName = "bench";
  long calls = 0;
  long refused = 0;
  StartDocA(dc, &info);
  for (int page = 0; page < pages; ++page) {
    StartPage(dc);
    for (int line = 0; line < 58; ++line) {
      for (int column = 0; column < 80; ++column) {
        const char* c = &text[(line + column) % text.size()];
        if (!TextOutA(dc, column * cell, line * line_height, c, 1)) ++refused;
        ++calls;
      }
    }
    EndPage(dc);
  }
  const int job = EndDoc(dc);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  DeleteDC(dc);
  DeleteObject(handle);

  struct rusage usage {};
  ::getrusage(RUSAGE_SELF, &usage);
  std::uintmax_t pdf_size = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.path().extension() == ".pdf") pdf_size = entry.file_size();
  std::printf(
      "pages %d  calls %ld  seconds %.3f  calls/s %.0f  peak RSS %ld KiB  pdf %ju bytes%s\n", pages,
      calls, seconds, calls / seconds, usage.ru_maxrss, pdf_size,
      job > 0 ? "" : "  (EndDoc failed)");
  if (refused > 0) std::printf("%ld calls refused\n", refused);
  std::filesystem::remove_all(dir);
  return job > 0 && refused == 0 ? 0 : 1;
}
