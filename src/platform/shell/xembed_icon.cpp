// SPDX-License-Identifier: MIT
#include "shell/xembed_icon.h"

#include <gdk/gdkx.h>

namespace wydruki::platform {
namespace {

std::optional<TrayButton> ButtonOf(guint button) {
  switch (button) {
    case 1:
      return TrayButton::kLeft;
    case 2:
      return TrayButton::kMiddle;
    case 3:
      return TrayButton::kRight;
    default:
      return std::nullopt;
  }
}

}  // namespace

unsigned DesktopDoubleClickTime() {
  gint ms = 400;
  if (GtkSettings* settings = gtk_settings_get_default())
    g_object_get(settings, "gtk-double-click-time", &ms, nullptr);
  return ms > 0 ? static_cast<unsigned>(ms) : 400u;
}

// GtkStatusIcon is deprecated in favour of StatusNotifierItem, which is what this icon falls
// back from; XEmbed trays have nothing else.
G_GNUC_BEGIN_IGNORE_DEPRECATIONS

XembedIcon::XembedIcon(const std::string& title, std::function<void(UINT)> mouse,
                       std::function<void(bool)> docked)
    : icon_(gtk_status_icon_new()),
      mouse_(std::move(mouse)),
      docked_(std::move(docked)),
      clicks_(DesktopDoubleClickTime()) {
  gtk_status_icon_set_title(icon_, title.c_str());
  g_signal_connect(icon_, "button-press-event", G_CALLBACK(&XembedIcon::Pressed), this);
  g_signal_connect(icon_, "button-release-event", G_CALLBACK(&XembedIcon::Released), this);
  g_signal_connect(icon_, "notify::embedded", G_CALLBACK(&XembedIcon::EmbeddedChanged), this);
}

XembedIcon::~XembedIcon() {
  g_signal_handlers_disconnect_by_data(icon_, this);
  gtk_status_icon_set_visible(icon_, FALSE);
  g_object_unref(icon_);
}

void XembedIcon::SetIcon(const IconPicture& picture) {
  if (picture.width <= 0 || picture.height <= 0 || picture.argb.empty()) {
    gtk_status_icon_set_from_pixbuf(icon_, nullptr);  // an icon the program left empty
    return;
  }
  auto* bytes = new std::vector<std::uint8_t>(RgbaBytes(picture));
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_data(
      bytes->data(), GDK_COLORSPACE_RGB, TRUE, 8, picture.width, picture.height, picture.width * 4,
      [](guchar*, gpointer data) { delete static_cast<std::vector<std::uint8_t>*>(data); }, bytes);
  gtk_status_icon_set_from_pixbuf(icon_, pixbuf);
  g_object_unref(pixbuf);
}

void XembedIcon::SetTip(const std::string& utf8) {
  if (utf8 == tip_) return;
  tip_ = utf8;
  gtk_status_icon_set_tooltip_text(icon_, tip_.c_str());
}

void XembedIcon::SetVisible(bool visible) { gtk_status_icon_set_visible(icon_, visible); }

bool XembedIcon::Embedded() const { return gtk_status_icon_is_embedded(icon_); }

gboolean XembedIcon::Pressed(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<XembedIcon*>(data);
  const auto button = ButtonOf(event->button);
  if (!button || event->type != GDK_BUTTON_PRESS) return TRUE;
  self->last_time_ = event->time;
  const UINT message = self->clicks_.Press(*button, event->time);
  if (self->mouse_) self->mouse_(message);
  return TRUE;
}

gboolean XembedIcon::Released(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<XembedIcon*>(data);
  const auto button = ButtonOf(event->button);
  self->last_time_ = event->time;
  if (button && self->mouse_) self->mouse_(MouseSequence::Release(*button));
  return TRUE;
}

void XembedIcon::EmbeddedChanged(GObject*, GParamSpec*, gpointer data) {
  auto* self = static_cast<XembedIcon*>(data);
  if (self->docked_) self->docked_(self->Embedded());
}

G_GNUC_END_IGNORE_DEPRECATIONS

bool XembedIcon::TrayPresent() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return false;

  const std::string selection =
      "_NET_SYSTEM_TRAY_S" + std::to_string(XDefaultScreen(gdk_x11_display_get_xdisplay(display)));
  Display* xdisplay = gdk_x11_display_get_xdisplay(display);
  return XGetSelectionOwner(xdisplay, XInternAtom(xdisplay, selection.c_str(), False)) != None;
}

}  // namespace wydruki::platform
