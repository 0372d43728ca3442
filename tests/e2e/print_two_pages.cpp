// SPDX-License-Identifier: MIT
// A program that prints a two-page document with Polish text on the default printer through
// the platform layer alone, as the agent does. The end-to-end tests run it as a separate
// process with a profile that names the printer.
//
// Usage: print_two_pages [document name]
// Exit code 0 when the document was handed to the printer, 1 otherwise.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/winapi.h"

int main(int argc, char** argv) {
  char line[512] = {};
  GetProfileStringA("windows", "device", "", line, sizeof line);
  std::string text = line;
  const auto first = text.find(',');
  const auto second = first == std::string::npos ? first : text.find(',', first + 1);
  const std::string device = text.substr(0, first);
  const std::string driver =
      first == std::string::npos ? "" : text.substr(first + 1, second - first - 1);
  const std::string port = second == std::string::npos ? "" : text.substr(second + 1);

  HDC dc = CreateDCA(driver.c_str(), device.c_str(), port.c_str(), nullptr);
  if (dc == nullptr) {
    std::fprintf(stderr, "no printer \"%s\"\n", device.c_str());
    return 1;
  }
  LOGFONTA lf{};
  lf.lfHeight = -100;
  lf.lfWeight = FW_NORMAL;
  lf.lfCharSet = EASTEUROPE_CHARSET;
  std::strcpy(lf.lfFaceName, "Courier New");
  HFONT font = CreateFontIndirectA(&lf);

  DOCINFOA doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = argc > 1 ? argv[1] : "C:\\D95\\WYDRUK.TXT";
  bool ok = StartDocA(dc, &doc) > 0;
  // Windows-1250: "Zażółć gęślą jaźń" on page 1, "ŻÓŁTA ŁĄKA" on page 2.
  const char* pages[2][2] = {{"Strona pierwsza", "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1"},
                             {"Strona druga", "\xAF\xD3\xA3TA \xA3\xA5KA"}};
  for (const auto& page : pages) {
    ok = ok && StartPage(dc) > 0;
    SelectObject(dc, font);
    for (int i = 0; i < 2; ++i) {
      ok = ok && TextOutA(dc, 600, 600 + i * 200, page[i], static_cast<int>(std::strlen(page[i])));
    }
    ok = ok && EndPage(dc) > 0;
  }
  ok = ok && EndDoc(dc) > 0;
  DeleteDC(dc);
  DeleteObject(font);
  return ok ? 0 : 1;
}
