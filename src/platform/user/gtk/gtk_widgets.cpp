// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_display.h"

#include <algorithm>

#include "common/ascii_case.h"
#include "gdi/window_canvas.h"
#include "user/gtk/gtk_text.h"

namespace wydruki::platform::gtk {
namespace {

// The frame Windows draws around a captioned dialog: the layouts give outer sizes.
constexpr int kFrame = 3;
constexpr int kCaption = 22;

RECT ClientArea(const Window& w) {
  RECT r{0, 0, w.rect.right - w.rect.left, w.rect.bottom - w.rect.top};
  if ((w.style & WS_CAPTION) == WS_CAPTION) {
    r.right = std::max<LONG>(1, r.right - 2 * kFrame);
    r.bottom = std::max<LONG>(1, r.bottom - kCaption - kFrame);
  }
  return r;
}

}  // namespace

Kind KindOf(const Window& w) {
  const std::string& name = w.window_class->name;
  if (w.parent == nullptr) {
    const bool sized = w.rect.right > w.rect.left && w.rect.bottom > w.rect.top;
    return sized && (w.ex_style & WS_EX_TOOLWINDOW) == 0 ? Kind::kTopLevel : Kind::kNone;
  }
  if (EqualsIgnoreCase(name, "BUTTON")) {
    switch (w.style & BS_TYPEMASK) {
      case BS_GROUPBOX:
        return Kind::kGroup;
      case BS_CHECKBOX:
      case BS_AUTOCHECKBOX:
        return Kind::kCheck;
      default:
        return Kind::kPush;
    }
  }
  if (EqualsIgnoreCase(name, "STATIC")) {
    switch (w.style & SS_TYPEMASK) {
      case SS_WHITERECT:
        return Kind::kPaint;
      case SS_ETCHEDFRAME:
        return Kind::kFrame;
      default:
        return Kind::kLabel;
    }
  }
  if (EqualsIgnoreCase(name, "EDIT")) return Kind::kEdit;
  if (EqualsIgnoreCase(name, "COMBOBOX")) return Kind::kCombo;
  return Kind::kPaint;  // a window of the program's own class draws itself
}

// The picture of an icon (a new reference), or nothing. Pictures are kept by image: the tray
// icon's animation shows the same few images again and again while a job prints.
GdkPixbuf* PixbufOfIcon(HICON icon) {
  static std::map<std::uint32_t, GdkPixbuf*> made;
  std::vector<std::uint8_t> bits;
  std::uint32_t image_id = 0;
  {
    UserLock lock(State().Lock());
    const auto it = State().icons.find(icon);
    if (it == State().icons.end()) return nullptr;
    image_id = it->second->image_id;
    if (const auto known = made.find(image_id); known != made.end())
      return GDK_PIXBUF(g_object_ref(known->second));
    bits = it->second->bits;
  }
  const gtk::Rgba image = gtk::IconPixels(bits);
  if (image.pixels.empty()) return nullptr;
  auto* bytes = g_bytes_new(image.pixels.data(), image.pixels.size());
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_bytes(bytes, GDK_COLORSPACE_RGB, TRUE, 8, image.width,
                                                image.height, image.width * 4);
  g_bytes_unref(bytes);
  made[image_id] = GDK_PIXBUF(g_object_ref(pixbuf));
  return pixbuf;
}

void GtkDisplay::CreateTopLevel(HWND handle, const Window& w, Native& native) {
  native.widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(native.widget);
  gtk_style_context_add_class(gtk_widget_get_style_context(native.widget), "wydruki");
  gtk_window_set_resizable(window, (w.style & WS_THICKFRAME) != 0);
  if ((w.style & DS_MODALFRAME) != 0) gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
  // A window without a system menu has no title-bar buttons at all, as on Windows: closing
  // the configuration window from its frame must not end the agent.
  gtk_window_set_deletable(window, (w.style & WS_SYSMENU) != 0);
  g_signal_connect(window, "realize", G_CALLBACK(&OnRealizeTopLevel),
                   GUINT_TO_POINTER(static_cast<guint>(w.style)));
  native.fixed = gtk_fixed_new();
  gtk_container_add(GTK_CONTAINER(window), native.fixed);
  gtk_widget_show(native.fixed);
  g_signal_connect(window, "delete-event", G_CALLBACK(&OnDeleteEvent), handle);
  g_signal_connect(window, "key-press-event", G_CALLBACK(&OnKeyPress), handle);
  g_signal_connect(window, "focus-in-event", G_CALLBACK(&OnFocusIn), handle);
  gtk_widget_add_events(native.widget, GDK_BUTTON_PRESS_MASK);
  g_signal_connect(window, "button-press-event", G_CALLBACK(&OnButtonPress), handle);
  // A toplevel is destroyed only through DestroyWindow.
  g_object_ref_sink(native.widget);
  g_object_unref(native.widget);
}

void GtkDisplay::CreateControl(HWND handle, const Window& w, Native& native) {
  switch (native.kind) {
    case Kind::kPush:
      native.widget = gtk_button_new_with_mnemonic("");
      g_signal_connect(native.widget, "clicked", G_CALLBACK(&OnClicked), handle);
      break;
    case Kind::kCheck:
      native.widget = gtk_check_button_new_with_mnemonic("");
      g_signal_connect(native.widget, "toggled", G_CALLBACK(&OnToggled), handle);
      break;
    case Kind::kGroup:
    case Kind::kFrame:
      native.widget = gtk_frame_new(nullptr);
      gtk_frame_set_shadow_type(GTK_FRAME(native.widget), GTK_SHADOW_ETCHED_IN);
      break;
    case Kind::kLabel: {
      native.widget = gtk_label_new(nullptr);
      GtkLabel* label = GTK_LABEL(native.widget);
      gtk_label_set_xalign(label, (w.style & SS_TYPEMASK) == SS_CENTER ? 0.5f : 0.0f);
      gtk_label_set_yalign(label, 0.0f);
      // Never wider than its layout: the next control may start where it ends.
      gtk_label_set_ellipsize(label, PANGO_ELLIPSIZE_END);
      break;
    }
    case Kind::kPaint: {
      native.widget = gtk_drawing_area_new();
      const int scale = gtk_widget_get_scale_factor(native.widget);
      const int width = std::max<LONG>(1, w.rect.right - w.rect.left);
      const int height = std::max<LONG>(1, w.rect.bottom - w.rect.top);
      // The pixels are kept at the display's scale, so GDK_SCALE=2 shows sharp samples.
      native.surface =
          cairo_image_surface_create(CAIRO_FORMAT_RGB24, width * scale, height * scale);
      cairo_surface_set_device_scale(native.surface, scale, scale);
      cairo_t* cr = cairo_create(native.surface);
      cairo_set_source_rgb(cr, 1, 1, 1);
      cairo_paint(cr);
      cairo_destroy(cr);
      AttachWindowSurface(handle, native.surface, &OnSurfaceDrawn);
      g_signal_connect(native.widget, "draw", G_CALLBACK(&OnDraw), handle);
      break;
    }
    case Kind::kEdit:
      native.widget = gtk_entry_new();
      gtk_entry_set_width_chars(GTK_ENTRY(native.widget), 0);
      g_signal_connect(native.widget, "changed", G_CALLBACK(&OnEditChanged), handle);
      break;
    case Kind::kCombo:
      if ((w.style & (CBS_SIMPLE | CBS_DROPDOWN)) == CBS_DROPDOWNLIST) {
        native.widget = gtk_combo_box_text_new();
      } else {
        native.widget = gtk_combo_box_text_new_with_entry();
        gtk_entry_set_width_chars(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(native.widget))), 0);
      }
      g_signal_connect(native.widget, "changed", G_CALLBACK(&OnComboChanged), handle);
      break;
    case Kind::kNone:
    case Kind::kTopLevel:
      break;
  }
  if (native.widget != nullptr && native.kind == Kind::kPaint)
    gtk_widget_set_can_focus(native.widget, FALSE);
}

void GtkDisplay::Place(HWND handle) {
  Native* native = Find(handle);
  if (native == nullptr) return;
  UserLock lock(State().Lock());
  const Window* w = State().Find(handle);
  if (w == nullptr) return;
  if (native->kind == Kind::kTopLevel) {
    const RECT client = ClientArea(*w);
    gtk_widget_set_size_request(native->fixed, client.right, client.bottom);
    gtk_window_move(GTK_WINDOW(native->widget), w->rect.left, w->rect.top);
    return;
  }
  if (GtkWidget* parent = gtk_widget_get_parent(native->widget))
    gtk_fixed_move(GTK_FIXED(parent), native->widget, w->rect.left, w->rect.top);
  gtk_widget_set_size_request(native->widget, std::max<LONG>(1, w->rect.right - w->rect.left),
                              std::max<LONG>(1, w->rect.bottom - w->rect.top));
}

// Copies the user layer's state of a window into its widget.
void GtkDisplay::Sync(HWND handle) {
  Native* native = Find(handle);
  if (native == nullptr) return;
  UserLock lock(State().Lock());
  const Window* w = State().Find(handle);
  if (w == nullptr) return;
  Syncing guard(*this);
  const ControlState& c = w->control;
  switch (native->kind) {
    case Kind::kTopLevel:
      gtk_window_set_title(GTK_WINDOW(native->widget), ToUtf8(w->text).c_str());
      break;
    case Kind::kPush:
      gtk_button_set_label(GTK_BUTTON(native->widget), MnemonicLabel(w->text).c_str());
      SyncImage(*native, c);
      break;
    case Kind::kCheck:
      gtk_button_set_label(GTK_BUTTON(native->widget), MnemonicLabel(w->text).c_str());
      gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(native->widget), c.check == BST_CHECKED);
      break;
    case Kind::kGroup:
      gtk_frame_set_label(GTK_FRAME(native->widget),
                          w->text.empty() ? nullptr : ToUtf8(w->text).c_str());
      break;
    case Kind::kLabel:
      if ((w->style & SS_NOPREFIX) != 0)
        gtk_label_set_text(GTK_LABEL(native->widget), ToUtf8(w->text).c_str());
      else
        gtk_label_set_text_with_mnemonic(GTK_LABEL(native->widget), MnemonicLabel(w->text).c_str());
      break;
    case Kind::kEdit: {
      GtkEntry* entry = GTK_ENTRY(native->widget);
      gtk_entry_set_max_length(entry, c.limit);
      const std::string text = ToUtf8(w->text);
      if (text != gtk_entry_get_text(entry)) gtk_entry_set_text(entry, text.c_str());
      break;
    }
    case Kind::kCombo:
      SyncCombo(*native, *w);
      break;
    case Kind::kFrame:
    case Kind::kPaint:
    case Kind::kNone:
      break;
  }
}

void GtkDisplay::SyncImage(Native& native, const ControlState& c) {
  if (c.image == nullptr || c.image_type != IMAGE_ICON) return;
  GdkPixbuf* pixbuf = PixbufOfIcon(static_cast<HICON>(c.image));
  if (pixbuf == nullptr) return;
  gtk_button_set_image(GTK_BUTTON(native.widget), gtk_image_new_from_pixbuf(pixbuf));
  gtk_button_set_always_show_image(GTK_BUTTON(native.widget), TRUE);
  g_object_unref(pixbuf);
}

void GtkDisplay::SyncCombo(Native& native, const Window& w) {
  GtkComboBoxText* combo = GTK_COMBO_BOX_TEXT(native.widget);
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(combo));
  const int count = gtk_tree_model_iter_n_children(model, nullptr);
  const auto& items = w.control.items;
  if (count != static_cast<int>(items.size())) {
    // Items are only ever added one by one or all removed: append what is missing.
    if (count > static_cast<int>(items.size())) {
      gtk_combo_box_text_remove_all(combo);
      for (const std::string& item : items)
        gtk_combo_box_text_append_text(combo, ToUtf8(item).c_str());
    } else {
      for (std::size_t i = static_cast<std::size_t>(count); i < items.size(); ++i)
        gtk_combo_box_text_append_text(combo, ToUtf8(items[i]).c_str());
    }
  }
  gtk_combo_box_set_active(GTK_COMBO_BOX(combo), w.control.selection);
  if (gtk_combo_box_get_has_entry(GTK_COMBO_BOX(combo))) {
    GtkEntry* entry = GTK_ENTRY(gtk_bin_get_child(GTK_BIN(combo)));
    const std::string text = ToUtf8(w.text);
    if (text != gtk_entry_get_text(entry)) gtk_entry_set_text(entry, text.c_str());
  }
}

}  // namespace wydruki::platform::gtk
