// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_display.h"

#include <cstdio>

#include "common/debug_channel.h"
#include "gdi/window_canvas.h"
#include "user/gtk/gtk_text.h"

namespace wydruki::platform::gtk {
namespace {

std::string Hex(const void* handle) {
  char text[32];
  std::snprintf(text, sizeof text, "%p", handle);
  return text;
}

void PostCommand(HWND control, WORD code) {
  HWND parent = nullptr;
  LONG_PTR id = 0;
  {
    UserLock lock(State().Lock());
    const Window* w = State().Find(control);
    if (w == nullptr || w->parent == nullptr) return;
    parent = w->parent;
    id = w->id;
  }
  DebugLine(DebugArea::kDisplay, "control " + Hex(control) + " (id " + std::to_string(id) +
                                     "): notification " + std::to_string(code));
  PostMessageA(parent, WM_COMMAND, MAKELONG(static_cast<WORD>(id), code),
               reinterpret_cast<LPARAM>(control));
}

}  // namespace

gboolean GtkDisplay::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
  // The title bar's close box asks the window to close; the program decides. A window
  // without a system menu cannot be closed from its frame, but a window manager that draws
  // a close box anyway (one that ignores the hints) must not have a click on it ignored:
  // it puts the window away as its "OK" does.
  const HWND handle = HandleOf(data);
  if ((GetWindowLongA(handle, GWL_STYLE) & WS_SYSMENU) != 0)
    PostMessageA(handle, WM_CLOSE, 0, 0);
  else
    PutAwayWindow(handle);
  return TRUE;
}

// A person did something in a window: the tray must not put it away under their hands.
void GtkDisplay::Touched(HWND handle) {
  if (Self() == nullptr) return;
  HWND top = handle;
  {
    UserLock lock(State().Lock());
    for (const Window* w = State().Find(top); w != nullptr && w->parent != nullptr;
         w = State().Find(top))
      top = w->parent;
  }
  Self()->tray_.WindowTouched(top);
}

gboolean GtkDisplay::OnButtonPress(GtkWidget*, GdkEvent*, gpointer data) {
  Touched(HandleOf(data));
  return DismissUngrabbedPopup();
}

// A Wayland popup opened for a host's request has no input grab (the compositor grants one
// only for an input event of our own), so a click outside it reaches its window instead of
// dismissing it: the window dismisses it, as a grab would. (Focus moving is no sign: the
// compositor moves the keyboard between the popup and its window by itself.)
GtkWidget* GtkDisplay::UngrabbedPopup() {
  GtkWidget* popup = Self() != nullptr ? Self()->ungrabbed_popup_ : nullptr;
  return popup != nullptr && gtk_widget_get_visible(popup) ? popup : nullptr;
}

gboolean GtkDisplay::DismissUngrabbedPopup() {
  GtkWidget* popup = UngrabbedPopup();
  if (popup == nullptr) return FALSE;
  gtk_menu_shell_deactivate(GTK_MENU_SHELL(popup));
  return TRUE;
}

// Tells the window manager which title-bar buttons and functions the window's styles offer.
void GtkDisplay::OnRealizeTopLevel(GtkWidget* widget, gpointer data) {
  const auto style = static_cast<DWORD>(GPOINTER_TO_UINT(data));
  int functions = GDK_FUNC_MOVE;
  if ((style & WS_THICKFRAME) != 0) functions |= GDK_FUNC_RESIZE;
  if ((style & WS_SYSMENU) != 0) {
    functions |= GDK_FUNC_CLOSE;
    if ((style & WS_MINIMIZEBOX) != 0) functions |= GDK_FUNC_MINIMIZE;
    if ((style & WS_MAXIMIZEBOX) != 0) functions |= GDK_FUNC_MAXIMIZE;
  }
  int decorations = GDK_DECOR_BORDER | GDK_DECOR_TITLE;
  if ((style & WS_SYSMENU) != 0) {
    decorations |= GDK_DECOR_MENU;
    if ((style & WS_MINIMIZEBOX) != 0) decorations |= GDK_DECOR_MINIMIZE;
    if ((style & WS_MAXIMIZEBOX) != 0) decorations |= GDK_DECOR_MAXIMIZE;
  }
  if ((style & WS_THICKFRAME) != 0) decorations |= GDK_DECOR_RESIZEH;
  GdkWindow* native = gtk_widget_get_window(widget);
  gdk_window_set_functions(native, static_cast<GdkWMFunction>(functions));
  gdk_window_set_decorations(native, static_cast<GdkWMDecoration>(decorations));
}

gboolean GtkDisplay::OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
  PostMessageA(HandleOf(data), kActivatedOnDisplay, 0, 0);
  return FALSE;
}

gboolean GtkDisplay::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
  WPARAM key = 0;
  if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) key = VK_RETURN;
  if (event->keyval == GDK_KEY_Escape) key = VK_ESCAPE;
  Touched(HandleOf(data));
  if (key == 0 || (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) return FALSE;
  // The form's keyboard preview presses its default or cancel button.
  PostMessageA(HandleOf(data), WM_KEYDOWN, key, 1);
  return TRUE;
}

void GtkDisplay::OnClicked(GtkButton*, gpointer data) {
  if (Quiet()) return;
  Touched(HandleOf(data));
  PostCommand(HandleOf(data), BN_CLICKED);
}

void GtkDisplay::OnToggled(GtkToggleButton* button, gpointer data) {
  if (Quiet()) return;
  Touched(HandleOf(data));
  {
    UserLock lock(State().Lock());
    Window* w = State().Find(HandleOf(data));
    if (w == nullptr) return;
    w->control.check = gtk_toggle_button_get_active(button) ? BST_CHECKED : BST_UNCHECKED;
  }
  PostCommand(HandleOf(data), BN_CLICKED);
}

void GtkDisplay::OnEditChanged(GtkEditable* editable, gpointer data) {
  if (Quiet()) return;
  Touched(HandleOf(data));
  {
    UserLock lock(State().Lock());
    Window* w = State().Find(HandleOf(data));
    if (w == nullptr) return;
    w->text = FromUtf8(gtk_entry_get_text(GTK_ENTRY(editable)));
  }
  PostCommand(HandleOf(data), EN_CHANGE);
}

void GtkDisplay::OnComboChanged(GtkComboBox* combo, gpointer data) {
  if (Quiet()) return;
  Touched(HandleOf(data));
  WORD code = CBN_SELCHANGE;
  {
    UserLock lock(State().Lock());
    Window* w = State().Find(HandleOf(data));
    if (w == nullptr) return;
    const int active = gtk_combo_box_get_active(combo);
    if (active >= 0 && active < static_cast<int>(w->control.items.size())) {
      w->control.selection = active;
      w->text = w->control.items[static_cast<std::size_t>(active)];
    } else if (gtk_combo_box_get_has_entry(combo)) {
      w->control.selection = CB_ERR;
      w->text = FromUtf8(gtk_entry_get_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(combo)))));
      code = CBN_EDITCHANGE;
    } else {
      return;
    }
  }
  PostCommand(HandleOf(data), code);
}

gboolean GtkDisplay::OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
  Native* native = Self() != nullptr ? Self()->Find(HandleOf(data)) : nullptr;
  if (native == nullptr || native->surface == nullptr) return FALSE;
  cairo_set_source_surface(cr, native->surface, 0, 0);
  cairo_paint(cr);
  return TRUE;
}

void GtkDisplay::OnSurfaceDrawn(HWND window) {
  if (Self() != nullptr) Self()->WindowDrawn(window);
}

}  // namespace wydruki::platform::gtk
