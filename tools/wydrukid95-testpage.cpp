// SPDX-License-Identifier: MIT
// wydrukid95-testpage: prints one diagnostic page on the default printer through the same
// platform calls the agent uses: the printer's name and device capabilities, a column ruler,
// the Polish letters, and a few fonts and weights. It shows at a glance whether the printer,
// its page geometry and the fonts are what the agent will get.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/winapi.h"

namespace {

struct DefaultDevice {
  std::string device, driver, port;
};

// Splits the profile's "device,driver,port" line; the port may itself contain commas.
DefaultDevice ReadDefaultDevice() {
  char line[512] = {};
  GetProfileStringA("windows", "device", "", line, sizeof line);
  DefaultDevice d;
  std::string text = line;
  const auto first = text.find(',');
  d.device = text.substr(0, first);
  if (first != std::string::npos) {
    const auto second = text.find(',', first + 1);
    d.driver = text.substr(first + 1,
                           second == std::string::npos ? std::string::npos : second - first - 1);
    if (second != std::string::npos) d.port = text.substr(second + 1);
  }
  return d;
}

HFONT MakeFont(const char* face, int height, int weight, BYTE charset = EASTEUROPE_CHARSET) {
  LOGFONTA lf{};
  lf.lfHeight = -height;
  lf.lfWeight = weight;
  lf.lfCharSet = charset;
  lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  std::strncpy(lf.lfFaceName, face, sizeof lf.lfFaceName - 1);
  return CreateFontIndirectA(&lf);
}

class Page {
 public:
  explicit Page(HDC dc) : dc_(dc) {}
  // Writes one line in the given font and moves down by the font's line height.
  void Line(HFONT font, const std::string& text) {
    HGDIOBJ old = SelectObject(dc_, font);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc_, &tm);
    TextOutA(dc_, x_, y_, text.c_str(), static_cast<int>(text.size()));
    y_ += tm.tmHeight + tm.tmExternalLeading;
    SelectObject(dc_, old);
  }
  void Skip(int pixels) { y_ += pixels; }

 private:
  HDC dc_;
  int x_ = 0;
  int y_ = 0;
};

}  // namespace

int main() {
  const DefaultDevice printer = ReadDefaultDevice();
  if (printer.device.empty()) {
    std::fprintf(stderr, "wydrukid95-testpage: no default printer is configured\n");
    return 1;
  }
  HDC dc = CreateDCA(printer.driver.c_str(), printer.device.c_str(), printer.port.c_str(), nullptr);
  if (dc == nullptr) {
    std::fprintf(stderr, "wydrukid95-testpage: printer \"%s\" cannot be opened (error %lu)\n",
                 printer.device.c_str(), static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
  const int point = dpi > 0 ? dpi / 72 : 1;  // device pixels per point, roughly

  DOCINFOA doc{};
  doc.cbSize = sizeof doc;
  doc.lpszDocName = "wydrukid95 test page";
  if (StartDocA(dc, &doc) <= 0 || StartPage(dc) <= 0) {
    std::fprintf(stderr, "wydrukid95-testpage: the printer refused the document (error %lu)\n",
                 static_cast<unsigned long>(GetLastError()));
    DeleteDC(dc);
    return 1;
  }

  Page page(dc);
  HFONT title = MakeFont("Courier New", 16 * point, FW_BOLD);
  HFONT body = MakeFont("Courier New", 10 * point, FW_NORMAL);
  page.Line(title, "wydrukid95 - strona testowa");
  page.Skip(6 * point);
  page.Line(body,
            "Drukarka: " + printer.device + " (" + printer.driver + ", " + printer.port + ")");
  const struct {
    const char* name;
    int index;
  } caps[] = {{"HORZRES", HORZRES},
              {"VERTRES", VERTRES},
              {"LOGPIXELSX", LOGPIXELSX},
              {"LOGPIXELSY", LOGPIXELSY},
              {"PHYSICALWIDTH", PHYSICALWIDTH},
              {"PHYSICALHEIGHT", PHYSICALHEIGHT},
              {"PHYSICALOFFSETX", PHYSICALOFFSETX},
              {"PHYSICALOFFSETY", PHYSICALOFFSETY}};
  for (const auto& cap : caps) {
    char text[80];
    std::snprintf(text, sizeof text, "%-16s %d", cap.name, GetDeviceCaps(dc, cap.index));
    page.Line(body, text);
  }
  page.Skip(6 * point);
  // A ruler of 80 columns, as the companion lays its print-outs out.
  std::string tens, ones;
  for (int column = 1; column <= 80; ++column) {
    tens += column % 10 == 0 ? static_cast<char>('0' + (column / 10) % 10) : ' ';
    ones += static_cast<char>('0' + column % 10);
  }
  page.Line(body, tens);
  page.Line(body, ones);
  page.Skip(6 * point);
  // The Polish letters in Windows-1250: a-ogonek, c-acute, e-ogonek, l-stroke, n-acute,
  // o-acute, s-acute, z-acute, z-dot, then the capitals.
  const std::string polish_small = "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF";
  const std::string polish_capital = "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF";
  page.Line(body, "Polskie litery: " + polish_small + " " + polish_capital);
  page.Line(body, "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1.");
  page.Skip(6 * point);
  const struct {
    const char* face;
    int weight;
    const char* label;
  } samples[] = {{"Courier New", FW_THIN, "Courier New, cienka (100)"},
                 {"Courier New", FW_NORMAL, "Courier New, normalna (400)"},
                 {"Courier New", FW_BOLD, "Courier New, gruba (700)"},
                 {"Courier New", FW_HEAVY, "Courier New, najgrubsza (900)"},
                 {"Arial", FW_NORMAL, "Arial, normalna (400)"},
                 {"Times New Roman", FW_NORMAL, "Times New Roman, normalna (400)"}};
  std::vector<HFONT> fonts;
  for (const auto& sample : samples) {
    fonts.push_back(MakeFont(sample.face, 12 * point, sample.weight));
    page.Line(fonts.back(), std::string(sample.label) + ": " + polish_small + " 0123456789");
  }

  const bool ended = EndPage(dc) > 0 && EndDoc(dc) > 0;
  for (HFONT font : fonts) DeleteObject(font);
  DeleteObject(title);
  DeleteObject(body);
  DeleteDC(dc);
  if (!ended) {
    std::fprintf(stderr, "wydrukid95-testpage: the printer did not take the page (error %lu)\n",
                 static_cast<unsigned long>(GetLastError()));
    return 1;
  }
  std::printf("Test page printed on \"%s\"", printer.device.c_str());
  if (printer.driver == "builtin") std::printf(" (output: %s)", printer.port.c_str());
  std::printf(".\n");
  return 0;
}
