// SPDX-License-Identifier: MIT
// The notification-area icon in an XEmbed system tray (the X11 trays that predate
// StatusNotifierItem), through GTK's status icon: it docks into the tray that owns the
// screen's tray selection and docks again, by itself, when a tray appears or restarts later.
//
// GTK reports a double click as an extra event after the second press; Windows reports the
// second press itself as the double click. The presses are therefore timed here with the
// desktop's double-click time, and GTK's own double-press events are ignored.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>

#include "user/icon_pixmap.h"
#include "shell/tray_text.h"

namespace wydruki::platform {

// The desktop's double-click time in milliseconds (GTK's setting, which follows the desktop's).
unsigned DesktopDoubleClickTime();

class XembedIcon {
 public:
  // `title` names the icon for the tray (UTF-8).
  // `docked` hears each time the icon docks into a tray or leaves one.
  XembedIcon(const std::string& title, std::function<void(UINT mouse_message)> mouse,
             std::function<void(bool docked)> docked);
  ~XembedIcon();
  XembedIcon(const XembedIcon&) = delete;
  XembedIcon& operator=(const XembedIcon&) = delete;

  void SetIcon(const IconPicture& picture);
  void SetTip(const std::string& utf8);
  void SetVisible(bool visible);
  bool Embedded() const;

  // The X server time of the last button press or release on the icon, 0 before any.
  std::uint32_t LastClickTime() const { return last_time_; }

  // Whether any client owns the screen's system tray selection now.
  static bool TrayPresent();

 private:
  static gboolean Pressed(GtkStatusIcon*, GdkEventButton*, gpointer);
  static gboolean Released(GtkStatusIcon*, GdkEventButton*, gpointer);
  static void EmbeddedChanged(GObject*, GParamSpec*, gpointer);

  GtkStatusIcon* icon_;
  std::function<void(UINT)> mouse_;
  std::function<void(bool)> docked_;
  MouseSequence clicks_;
  std::string tip_;
  std::uint32_t last_time_ = 0;
};

}  // namespace wydruki::platform
