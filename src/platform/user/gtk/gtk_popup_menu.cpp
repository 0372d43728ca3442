// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_display.h"

#include "common/debug_channel.h"
#include "user/gtk/gtk_text.h"

namespace wydruki::platform::gtk {
namespace {

struct MenuData {
  std::shared_ptr<Answering> state;
};

void OnMenuItem(GtkMenuItem* item, gpointer data) {
  const auto command = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(item), "wydruki-command"));
  static_cast<MenuData*>(data)->state->Give(static_cast<int>(command));
}

gboolean DismissIfUnanswered(gpointer data) {
  static_cast<MenuData*>(data)->state->Give(0);
  return G_SOURCE_REMOVE;
}

void OnMenuDone(GtkMenuShell*, gpointer data) {
  // GTK takes a menu down before it activates the chosen item: wait until that is done.
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, &DismissIfUnanswered, data, nullptr);
}

void FreeMenuData(gpointer data, GClosure*) {
  // The idle check may still be queued: it owns the data from here on.
  auto* menu = static_cast<MenuData*>(data);
  g_idle_add_full(
      G_PRIORITY_LOW,
      [](gpointer p) -> gboolean {
        delete static_cast<MenuData*>(p);
        return G_SOURCE_REMOVE;
      },
      menu, nullptr);
}

}  // namespace

std::unique_ptr<PendingAnswer> GtkDisplay::ShowPopupMenu(const Menu& menu, HWND owner, POINT at) {
  if (!OnGtkThread()) return nullptr;
  GtkWidget* popup = gtk_menu_new();
  gtk_style_context_add_class(gtk_widget_get_style_context(popup), "wydruki");
  auto* data = new MenuData{std::make_shared<Answering>()};
  for (const MenuItem& entry : menu.items) {
    GtkWidget* item = nullptr;
    if ((entry.flags & MF_SEPARATOR) != 0) {
      item = gtk_separator_menu_item_new();
    } else {
      item = gtk_menu_item_new_with_mnemonic(MnemonicLabel(entry.text).c_str());
      g_object_set_data(G_OBJECT(item), "wydruki-command",
                        GUINT_TO_POINTER(static_cast<guint>(entry.id)));
      gtk_widget_set_sensitive(item, (entry.flags & (MF_GRAYED | MF_DISABLED)) == 0);
      if ((entry.flags & MFS_DEFAULT) != 0) {
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(item));
        PangoAttrList* bold = pango_attr_list_new();
        pango_attr_list_insert(bold, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
        gtk_label_set_attributes(GTK_LABEL(label), bold);
        pango_attr_list_unref(bold);
      }
      g_signal_connect(item, "activate", G_CALLBACK(&OnMenuItem), data);
    }
    gtk_menu_shell_append(GTK_MENU_SHELL(popup), item);
    gtk_widget_show(item);
  }
  g_signal_connect_data(popup, "deactivate", G_CALLBACK(&OnMenuDone), data, &FreeMenuData,
                        GConnectFlags{});
  auto pending = std::make_unique<GtkPending>(popup, data->state);
  // The menu's top-left corner goes to the point, as TPM_LEFTALIGN puts it; a menu a host
  // asked for (ContextMenu) goes where the host said, not to the pointer.
  if (const auto asked = tray_.TakeMenuPosition()) at = *asked;
  GdkWindow* anchor = gdk_get_default_root_window();
  GdkRectangle spot{at.x, at.y, 1, 1};
  if (!X11Display()) {
    // A Wayland popup hangs from a surface of ours and is placed relative to it: without one
    // the compositor shows it as a stray window that takes no keys and cannot be dismissed.
    // With no window of ours on screen the host's own drawing of the exported menu serves.
    GtkWindow* parent = ShownTopLevel(owner);
    if (parent == nullptr) {
      DebugLine(DebugArea::kDisplay, "popup menu: no window to hang it from; left to the host");
      data->state->Give(0);
      return pending;
    }
    anchor = gtk_widget_get_window(GTK_WIDGET(parent));
    spot = GdkRectangle{0, 0, 1, 1};
    int x = 0;
    int y = 0;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    if (seat != nullptr &&
        gdk_window_get_device_position(anchor, gdk_seat_get_pointer(seat), &x, &y, nullptr) &&
        x >= 0 && y >= 0 && x < gdk_window_get_width(anchor) && y < gdk_window_get_height(anchor))
      spot = GdkRectangle{x, y, 1, 1};
  }
  // GTK places a menu by the event that opened it; a menu opened from a timer or a tray
  // message has none, so it gets a press of the right button at the spot.
  GdkDisplay* display = gdk_display_get_default();
  GdkSeat* seat = gdk_display_get_default_seat(display);
  GdkEvent* trigger = gdk_event_new(GDK_BUTTON_PRESS);
  trigger->button.window = GDK_WINDOW(g_object_ref(anchor));
  trigger->button.send_event = TRUE;
  // A menu opened by a click on the tray icon is shown later, from the program's loop (perhaps
  // between two printed pages), when the button's release may already be waiting: GTK
  // measures that release against the menu's opening time, so the menu opens with the
  // click's own server time or the release closes it at once.
  trigger->button.time = tray_.LastClickTime();
  trigger->button.x = spot.x;
  trigger->button.y = spot.y;
  trigger->button.x_root = at.x;
  trigger->button.y_root = at.y;
  trigger->button.button = 3;
  if (seat != nullptr) gdk_event_set_device(trigger, gdk_seat_get_pointer(seat));
  gtk_menu_popup_at_rect(GTK_MENU(popup), anchor, &spot, GDK_GRAVITY_NORTH_WEST,
                         GDK_GRAVITY_NORTH_WEST, trigger);
  gdk_event_free(trigger);
  if (!X11Display()) {
    if (ungrabbed_popup_ != nullptr)
      g_object_remove_weak_pointer(G_OBJECT(ungrabbed_popup_),
                                   reinterpret_cast<gpointer*>(&ungrabbed_popup_));
    ungrabbed_popup_ = popup;
    g_object_add_weak_pointer(G_OBJECT(popup), reinterpret_cast<gpointer*>(&ungrabbed_popup_));
  }
  if (!gtk_widget_get_visible(popup)) data->state->Give(0);  // no grab: nothing to choose
  return pending;
}

}  // namespace wydruki::platform::gtk
