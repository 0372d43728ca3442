// SPDX-License-Identifier: MIT
// Where the program's notification-area icon lives on a Linux desktop, and the one object a
// display driver talks to for it.
//
// The icon is offered as a StatusNotifierItem whenever the session bus has a watcher, and as
// an XEmbed tray icon on X11 while it has none; the switch goes both ways as watchers come
// and go, and the item stays on the bus throughout so that a new watcher finds it at once.
// When the first look finds neither a watcher nor an X11 tray (a bare X server, a Wayland
// compositor without a tray), the owner is told once that the icon cannot be reached; an
// XEmbed icon is still kept, so a tray started later receives it. A watcher that has no host
// (see StatusNotifierItem) counts as none: the XEmbed icon stays until a host shows the item.
//
// Everything runs on the thread-default GLib main context of the thread that made the object.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/dbus_menu.h"
#include "user/icon_pixmap.h"

namespace wydruki::platform {

class StatusNotifierItem;
class XembedIcon;

class TrayPresence {
 public:
  enum class Place { kUndecided, kStatusNotifier, kXembed, kNowhere };

  struct Callbacks {
    std::function<void(UINT mouse_message)> mouse;
    std::function<void(UINT_PTR command)> command;
    std::function<void()> menu_wanted;
    std::function<void()> unreachable;  // at most once
    std::function<void(Place)> moved;   // optional: where the icon is now
  };

  TrayPresence(std::string id, std::string title, Callbacks callbacks);
  ~TrayPresence();
  TrayPresence(const TrayPresence&) = delete;
  TrayPresence& operator=(const TrayPresence&) = delete;

  // Shows the icon with this picture and tip (UTF-8), or changes them.
  void Show(const IconPicture& picture, const std::string& tip);
  void SetMenu(std::vector<TrayMenuEntry> entries);

  Place Where() const { return place_; }
  std::string TakeActivationToken();
  // Where a host asked for the context menu, once (see StatusNotifierItem).
  std::optional<std::pair<int, int>> TakeMenuPosition();
  // The X server time of the last click on an XEmbed icon (0: none, or the icon is an item,
  // whose hosts give no time).
  std::uint32_t LastClickTime() const;

 private:
  void Hosted(bool hosted);
  void UseXembed();
  void MoveTo(Place place);

  std::string id_;
  std::string title_;
  Callbacks callbacks_;
  GDBusConnection* bus_ = nullptr;
  std::unique_ptr<StatusNotifierItem> item_;
  std::unique_ptr<XembedIcon> xembed_;
  bool shown_ = false;
  bool unreachable_told_ = false;
  Place place_ = Place::kUndecided;
  IconPicture picture_;
  std::string tip_;
  std::vector<TrayMenuEntry> menu_;
  bool menu_known_ = false;
};

}  // namespace wydruki::platform
