// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_display.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>

#include "gdi/window_canvas.h"

namespace wydruki::platform {
namespace gtk {

bool X11Display() {
#ifdef GDK_WINDOWING_X11
  return GDK_IS_X11_DISPLAY(gdk_display_get_default());
#else
  return false;
#endif
}

GtkDisplay::GtkDisplay() : thread_(std::this_thread::get_id()) {
  InstallStyleSheet();
  // An idle text cursor stops blinking, so an open dialog costs no processor time.
  g_object_set(gtk_settings_get_default(), "gtk-cursor-blink-timeout", 3, nullptr);
  Self() = this;
}

void GtkDisplay::WindowCreated(HWND handle) {
  if (!OnGtkThread()) return;
  const Window* w = State().Find(handle);
  if (w == nullptr) return;
  Native native;
  native.kind = KindOf(*w);
  if (native.kind == Kind::kNone) return;
  if (native.kind == Kind::kTopLevel) {
    CreateTopLevel(handle, *w, native);
  } else {
    Native* top = TopLevelOf(*w);
    if (top == nullptr) return;
    CreateControl(handle, *w, native);
    if (native.widget == nullptr) return;
    gtk_fixed_put(GTK_FIXED(top->fixed), native.widget, w->rect.left, w->rect.top);
    gtk_widget_set_size_request(native.widget, std::max<LONG>(1, w->rect.right - w->rect.left),
                                std::max<LONG>(1, w->rect.bottom - w->rect.top));
    if (gtk_widget_get_can_focus(native.widget)) {
      // Tab goes through the controls in the order they were made, as on Windows.
      top->focus_chain.push_back(native.widget);
      GList* chain = nullptr;
      for (GtkWidget* widget : top->focus_chain) chain = g_list_append(chain, widget);
      G_GNUC_BEGIN_IGNORE_DEPRECATIONS
      gtk_container_set_focus_chain(GTK_CONTAINER(top->fixed), chain);
      G_GNUC_END_IGNORE_DEPRECATIONS
      g_list_free(chain);
    }
  }
  natives_[handle] = native;
  Sync(handle);
}

void GtkDisplay::WindowDestroyed(HWND handle) {
  const auto it = natives_.find(handle);
  if (it == natives_.end() || !OnGtkThread()) return;
  Native native = it->second;
  natives_.erase(it);
  if (native.surface != nullptr) {
    DetachWindowSurface(handle);
    cairo_surface_destroy(native.surface);
  }
  for (auto& [other, top] : natives_) {
    auto& chain = top.focus_chain;
    chain.erase(std::remove(chain.begin(), chain.end(), native.widget), chain.end());
  }
  Syncing guard(*this);
  gtk_widget_destroy(native.widget);
}

void GtkDisplay::WindowShown(HWND handle, bool visible) {
  Native* native = Find(handle);
  if (native == nullptr) return;
  if (native->kind == Kind::kTopLevel) tray_.WindowShown(handle, visible);
  if (!visible) {
    gtk_widget_hide(native->widget);
    return;
  }
  if (native->kind == Kind::kTopLevel) {
    Place(handle);
    Present(native->widget);
  } else {
    gtk_widget_show(native->widget);
  }
}

void GtkDisplay::WindowPlaced(HWND handle) {
  if (Find(handle) != nullptr) Place(handle);
}

void GtkDisplay::WindowEnabled(HWND handle, bool enabled) {
  Native* native = Find(handle);
  if (native == nullptr) return;
  // A disabled top-level window takes no input, as under a modal dialog on Windows.
  gtk_widget_set_sensitive(native->kind == Kind::kTopLevel ? native->fixed : native->widget,
                           enabled);
}

void GtkDisplay::WindowActivated(HWND handle) {
  Native* native = Find(handle);
  if (native != nullptr && native->kind == Kind::kTopLevel &&
      gtk_widget_get_visible(native->widget))
    Present(native->widget);
}

void GtkDisplay::WindowFocused(HWND handle) {
  Native* native = Find(handle);
  if (native != nullptr && native->kind != Kind::kTopLevel) gtk_widget_grab_focus(native->widget);
}

void GtkDisplay::WindowIconChanged(HWND handle) {
  HICON icon = nullptr;
  {
    UserLock lock(State().Lock());
    const Window* w = State().Find(handle);
    if (w == nullptr || !OnGtkThread()) return;
    icon = w->big_icon != nullptr ? w->big_icon : w->small_icon;
  }
  // The program sets its icon on its application window; every window of it shows that.
  if (GdkPixbuf* pixbuf = PixbufOfIcon(icon)) {
    gtk_window_set_default_icon(pixbuf);
    g_object_unref(pixbuf);
  }
}

void GtkDisplay::WindowDrawn(HWND handle) {
  Native* native = Find(handle);
  if (native != nullptr) gtk_widget_queue_draw(native->widget);
}

SIZE GtkDisplay::ScreenSize() {
  GdkDisplay* display = gdk_display_get_default();
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
  if (monitor == nullptr) return SIZE{1024, 768};
  GdkRectangle area{};
  gdk_monitor_get_geometry(monitor, &area);
  return SIZE{area.width, area.height};
}

POINT GtkDisplay::PointerPosition() {
  GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
  GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
  int x = 0;
  int y = 0;
  if (pointer != nullptr) gdk_device_get_position(pointer, nullptr, &x, &y);
  return POINT{x, y};
}

void GtkDisplay::WindowTextChanged(HWND handle) { Sync(handle); }

void GtkDisplay::ControlChanged(HWND handle) { Sync(handle); }

Native* GtkDisplay::Find(HWND handle) {
  if (!OnGtkThread()) return nullptr;
  const auto it = natives_.find(handle);
  return it == natives_.end() ? nullptr : &it->second;
}

// The window of ours on screen that a box or menu belongs to: the owner's top-level when it
// is shown, else any shown top-level; nothing when none is.
GtkWindow* GtkDisplay::ShownTopLevel(HWND owner) {
  if (owner != nullptr) {
    UserLock lock(State().Lock());
    if (const Window* w = State().Find(owner)) {
      Native* top = TopLevelOf(*w);
      if (top != nullptr && gtk_widget_get_visible(top->widget)) return GTK_WINDOW(top->widget);
    }
  }
  for (auto& [handle, native] : natives_)
    if (native.kind == Kind::kTopLevel && gtk_widget_get_visible(native.widget))
      return GTK_WINDOW(native.widget);
  return nullptr;
}

Native* GtkDisplay::TopLevelOf(const Window& w) {
  const Window* top = &w;
  while (top != nullptr && top->parent != nullptr) top = State().Find(top->parent);
  if (top == nullptr) return nullptr;
  Native* native = Find(top->handle);
  return native != nullptr && native->kind == Kind::kTopLevel ? native : nullptr;
}

// A window raised because of a click in a StatusNotifierItem host carries the host's
// activation token, so a Wayland compositor lets it come to the front.
void GtkDisplay::Present(GtkWidget* widget) {
  const std::string token = tray_.TakeActivationToken();
  if (!token.empty()) gtk_window_set_startup_id(GTK_WINDOW(widget), token.c_str());
  gtk_window_present(GTK_WINDOW(widget));
}

}  // namespace gtk

std::unique_ptr<DisplayDriver> MakeGtkDisplay() {
  // Nothing here draws with OpenGL, yet GDK probes the GL visuals at start-up, which maps the
  // whole of Mesa (tens of megabytes of a compiler) into the agent. A user's own GDK_GL wins.
  g_setenv("GDK_GL", "disable", FALSE);
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return std::make_unique<gtk::GtkDisplay>();
}

}  // namespace wydruki::platform
