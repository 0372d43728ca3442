// SPDX-License-Identifier: MIT
// Which display shows the program's windows on Linux (on Windows the system does).
//
// The profile's [display] driver= names it: "gtk" (the desktop, through GTK 3) or "null"
// (nothing is shown; headless use and tests). Without it, "gtk" when DISPLAY or
// WAYLAND_DISPLAY is set and GTK can open the display, else "null", which is said once on
// the standard error. The choice is made at the first call that needs a display and kept.
#pragma once

namespace wydruki::platform {

// "gtk" or "null": the driver in force (choosing it now if nothing has yet).
const char* DisplayDriverName();

}  // namespace wydruki::platform
