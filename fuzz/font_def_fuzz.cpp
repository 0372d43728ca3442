// SPDX-License-Identifier: MIT
// Loading "font.def" over arbitrary bytes, then saving and loading again: what was loaded
// survives the round trip.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "pp2/FontSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace wydruki::pp2;
  const std::string path = wydruki::fuzz::WriteInput("font.def", data, size);
  FontChoice loaded("Courier New", "120", 3);
  LoadFontSettingsFrom(path, &loaded);
  const bool standard = UseStandardFonts;
  BuildPrintLogFont(loaded.face, loaded.height_text, loaded.weight_index);
  // The face and height lines hold no line ends once saved, as the dialog's fields cannot.
  if (loaded.face.find_first_of("\r\x1A") != std::string::npos) return 0;
  const std::string saved = wydruki::fuzz::WorkDirectory() + "/saved.def";
  if (!SaveFontSettingsTo(saved, loaded)) std::abort();
  FontChoice again("x", "x", 0);
  LoadFontSettingsFrom(saved, &again);
  if (!loaded.face.empty() && again.face != loaded.face) std::abort();
  if (again.weight_index != loaded.weight_index) std::abort();
  if (UseStandardFonts != standard) std::abort();
  return 0;
}
