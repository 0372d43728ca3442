// SPDX-License-Identifier: MIT
// Loads or saves the font settings the way the agent does, from wherever this program file
// lies: "load" prints the face name that was read, "save FACE" saves FACE as the face.
#include <cstdio>
#include <cstring>

#include "pp2/FontSettings.h"

int main(int argc, char** argv) {
  using namespace wydruki::pp2;
  FontChoice choice("", "100", 0);
  if (argc == 2 && std::strcmp(argv[1], "load") == 0) {
    LoadFontSettings(&choice);
    std::printf("%s\n", choice.face.c_str());
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "save") == 0) {
    choice.face = argv[2];
    return SaveFontSettings(choice) ? 0 : 1;
  }
  std::fprintf(stderr, "usage: settings_location load | save FACE\n");
  return 2;
}
