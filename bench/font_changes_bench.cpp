// SPDX-License-Identifier: MIT
// Setting font properties again and again, as page rendering does at every control sequence:
// 1,000,000 Style/Size changes cycling among 4 descriptions. Equal descriptions are found in
// the cache, so no system font is made. Prints changes per second and the fonts made.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "Graphics/GraphicsObject.h"
#include "Graphics/GraphicsStartUp.h"

using namespace wydruki::graphics;

int main(int argc, char** argv) {
  TFont font;
  font.SetName("Courier New");
  font.SetResolution(600);
  // Four fonts hold the four descriptions, as the fonts of a job's set-up do, so each change
  // finds an existing entry and its system font.
  TFont keepers[4];
  for (int i = 0; i < 4; ++i) {
    keepers[i].SetName("Courier New");
    keepers[i].SetResolution(600);
    keepers[i].SetStyle((i & 1) ? TFontStyles{fsBold} : TFontStyles{});
    keepers[i].SetSize((i & 2) ? 12 : 10);
    keepers[i].FontHandle();
  }
  const int kChanges = argc > 1 ? std::atoi(argv[1]) : 1'000'000;
  const auto made_before = FontCache().HandlesMade();
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kChanges / 2; ++i) {
    font.SetStyle((i & 1) ? TFontStyles{fsBold} : TFontStyles{});
    font.SetSize((i & 2) ? 12 : 10);
  }
  font.FontHandle();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  std::printf("font property changes: %d in %.3f s = %.0f changes/s; system fonts made: %zu\n",
              kChanges, elapsed.count(), kChanges / elapsed.count(),
              FontCache().HandlesMade() - made_before);
  return 0;
}
