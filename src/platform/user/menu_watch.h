// SPDX-License-Identifier: MIT
// Who else follows the program's popup menus. A desktop's notification area may show the
// tray icon's menu itself, from a copy it is given over D-Bus; that copy has to be made
// from the menu the program shows on a right click, and kept in step when the program
// enables or disables an entry. Both calls run on the thread that owns the menus; `changed`
// runs with the (recursive) user lock held, so it may read the menu but must not wait.
#pragma once

#include <functional>

#include "platform/api/types.h"

namespace wydruki::platform {

struct MenuWatch {
  // At TrackPopupMenu, before anything is shown: true takes the menu without showing it (no
  // command is chosen).
  std::function<bool(HMENU menu, HWND owner)> popup;
  // After a menu's items or their states changed, or the menu was destroyed.
  std::function<void(HMENU menu)> changed;
};

// Replaces the watch; an empty one stops watching.
void SetMenuWatch(MenuWatch watch);

}  // namespace wydruki::platform
