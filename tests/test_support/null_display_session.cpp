// SPDX-License-Identifier: MIT
// Linked into every unit test program: the tests run on the null display even when started
// from a desktop session, where a message box would otherwise wait for a person and windows
// would flash on the screen. The desktop is forgotten before main, so before any test can
// make the program choose its display.
#include <stdlib.h>

namespace {

const bool forgotten = [] {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  return true;
}();

}  // namespace
