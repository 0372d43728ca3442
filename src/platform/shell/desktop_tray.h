// SPDX-License-Identifier: MIT
// The notification-area icons of Shell_NotifyIconA on a Linux desktop: what a display driver
// that shows windows through GTK hands its tray calls to. It runs on the driver's thread and
// its thread-default GLib main context, and reports everything the desktop does as posted
// messages, as Windows' shell does.
//
// Clicks become the icon's callback message (wParam the icon's number, lParam the mouse
// message). A host that shows the icon's menu itself needs a copy of it, and Windows has no
// call that names a tray icon's menu: the menu is the one the program shows when its icon is
// right-clicked. So when the icon is added (and whenever a host asks while no menu is known)
// a right click is posted to the icon, and the popup the program then opens with
// TrackPopupMenu is taken, not shown: that menu, its owner window and its later changes
// (EnableMenuItem) are exported. A chosen entry is posted to the owner as the WM_COMMAND the
// popup would have produced.
//
// With no notification area the program would be unreachable once its start-up hides its
// window. Whenever no icon of the program can be seen (at start-up, or later when the last
// host or tray goes away: a panel that crashes or restarts) the icon's own double click is
// posted, after the start-up's first hide; the program answers it by showing its
// configuration window. The first time a line on stderr says why. When an icon can be seen
// again and the person has not touched the window shown for it, that window is put away
// again (PutAwayWindow) as its own "OK" would.
//
// The desktop names the icon after the program: its id is the program file's name, its
// title the text of the program's application window, the first captioned top-level window
// it made (the window Windows' taskbar names a program by).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "platform/api/types.h"
#include "user/display_driver.h"

namespace wydruki::platform {

class TrayPresence;

class DesktopTray {
 public:
  DesktopTray();
  ~DesktopTray();
  DesktopTray(const DesktopTray&) = delete;
  DesktopTray& operator=(const DesktopTray&) = delete;

  bool Add(const TrayIconState& icon);
  bool Modify(const TrayIconState& icon);
  void Delete(const TrayIconState& icon);
  // The driver tells of every top-level window shown or hidden, and of a person's doing in
  // one (a key, a click, a change of a control).
  void WindowShown(HWND window, bool visible);
  void WindowTouched(HWND window);
  // The X server time of the last click on an icon docked in an XEmbed tray, 0 when unknown:
  // a popup opened for that click must carry it.
  std::uint32_t LastClickTime() const;
  // A token a host gave for raising a window, or empty.
  std::string TakeActivationToken();
  // Where a host asked for the icon's context menu, once: the popup opened for that request
  // goes there rather than to the pointer.
  std::optional<POINT> TakeMenuPosition();

 private:
  struct Entry;
  using Key = std::pair<HWND, UINT>;

  void Update(Entry& entry, const TrayIconState& icon);
  void RequestMenu(const Key& key);
  bool Popup(HMENU menu, HWND owner);
  void MenuChanged(HMENU menu);
  void Unreachable();
  void Moved(const Key& key);
  void ShowInstead();

  std::map<Key, std::unique_ptr<Entry>> icons_;
  HMENU menu_ = nullptr;
  HWND menu_owner_ = nullptr;
  bool capture_ = false;
  bool startup_hide_seen_ = false;
  bool show_pending_ = false;
  bool told_ = false;
  bool unseen_ = false;           // no icon can be seen now
  Key unseen_key_{};              // the icon whose double click shows the window instead
  bool awaiting_window_ = false;  // a double click was posted; the next window shown is its
  HWND shown_instead_ = nullptr;  // the window shown because no icon could be seen
  bool touched_ = false;          // ...and the person did something in it
  std::set<HWND> shown_;          // top-level windows on screen
};

}  // namespace wydruki::platform
