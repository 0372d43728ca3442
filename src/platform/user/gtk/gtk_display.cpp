// The gtk display: windows, controls, message boxes and popup menus on a Linux desktop with
// GTK 3 (X11 or Wayland).
//
// A top-level window is a GtkWindow holding a GtkFixed; its controls sit on the GtkFixed at the
// pixel positions of their layout, each standard control mapped to its GTK widget. The user
// layer's state is the authority: hooks copy it into the widgets (with `syncing_` set, so the
// widgets' change signals are not taken for a person's doing), and the widgets' signals copy
// what a person did back into the state and post the notification Windows would send.
//
// GLib's main context is the only thing that blocks: Wait() iterates it once, with the signal
// pipe and the next timer's deadline as sources. Nothing here calls a window procedure; GLib
// callbacks only post. Everything GTK is touched on the thread that started it.
#include <glib-unix.h>
#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cstdio>
#include <map>
#include <string>
#include <memory>
#include <thread>
#include <vector>

#include "common/ascii_case.h"
#include "common/debug_channel.h"
#include "gdi/window_canvas.h"
#include "shell/desktop_tray.h"
#include "user/display_driver.h"
#include "user/gtk/gtk_text.h"
#include "user/user_state.h"

namespace wydruki::platform {
namespace {

using gtk::FromUtf8;
using gtk::MnemonicLabel;
using gtk::ToUtf8;

UserState& State() { return UserState::Instance(); }

// Theme paddings and minimum sizes are made small enough for layouts drawn for the classic
// dialog font; the client area takes the dialog colour the program's brushes use. The font is
// given in pixels, as the program's window font is (11 pixels high): the controls sit at fixed
// pixel positions, so text that grew with the desktop's text size (Xft.dpi) would be cut.
// GDK_SCALE still scales pixels and positions alike.
constexpr const char* kStyleSheet = R"(
window.wydruki, window.wydruki fixed { background-color: #f0f0f0; }
.wydruki * { font-family: "Liberation Sans", "DejaVu Sans", sans-serif; font-size: 11px; }
.wydruki button { min-height: 0; min-width: 0; padding: 0 4px; }
.wydruki entry { min-height: 0; padding: 0 3px; }
.wydruki combobox button { padding: 0 2px; }
.wydruki combobox entry { padding: 0 3px; }
.wydruki checkbutton { padding: 0; }
.wydruki checkbutton check { min-height: 12px; min-width: 12px; margin: 0 4px 0 0; }
.wydruki frame > border { border-color: #a0a0a0; }
)";

enum class Kind { kNone, kTopLevel, kPush, kCheck, kGroup, kLabel, kFrame, kPaint, kEdit, kCombo };

struct Native {
  Kind kind = Kind::kNone;
  GtkWidget* widget = nullptr;          // a top-level's GtkWindow, or the control
  GtkWidget* fixed = nullptr;           // a top-level's layout
  cairo_surface_t* surface = nullptr;   // a self-drawn window's pixels
  std::vector<GtkWidget*> focus_chain;  // a top-level's controls that take the focus, in order
};

// Styles the program's controls may carry beyond those it names.
constexpr DWORD kCentred = 0x01;       // SS_CENTER
constexpr DWORD kNoPrefix = 0x80;      // SS_NOPREFIX: "&" is shown as it is
constexpr UINT kDefaultItem = 0x1000;  // MFS_DEFAULT: the item shown in bold

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

Kind KindOf(const Window& w) {
  const std::string& name = w.window_class->name;
  if (w.parent == nullptr) {
    const bool sized = w.rect.right > w.rect.left && w.rect.bottom > w.rect.top;
    return sized && (w.ex_style & WS_EX_TOOLWINDOW) == 0 ? Kind::kTopLevel : Kind::kNone;
  }
  if (EqualsIgnoreCase(name, "BUTTON")) {
    switch (w.style & 0x0F) {
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
    switch (w.style & 0x1F) {
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

HWND HandleOf(gpointer data) { return static_cast<HWND>(data); }

bool X11Display() {
#ifdef GDK_WINDOWING_X11
  return GDK_IS_X11_DISPLAY(gdk_display_get_default());
#else
  return false;
#endif
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

// A message box or menu on screen: the answer lands here from a GLib callback.
struct Answering {
  std::optional<int> answer;
  void Give(int value) {
    if (answer) return;
    answer = value;
    // The loop waiting for the answer blocks in GetMessage: give it something to take.
    PostMessageA(nullptr, WM_NULL, 0, 0);
  }
};

class GtkPending final : public PendingAnswer {
 public:
  GtkPending(GtkWidget* widget, std::shared_ptr<Answering> state)
      : widget_(widget), state_(std::move(state)) {}
  ~GtkPending() override { gtk_widget_destroy(widget_); }
  std::optional<int> Answer() override { return state_->answer; }

 private:
  GtkWidget* widget_;
  std::shared_ptr<Answering> state_;
};

class GtkDisplay final : public DisplayDriver {
 public:
  GtkDisplay() : thread_(std::this_thread::get_id()) {
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, kStyleSheet, -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    // An idle text cursor stops blinking, so an open dialog costs no processor time.
    g_object_set(gtk_settings_get_default(), "gtk-cursor-blink-timeout", 3, nullptr);
    Self() = this;
  }

  const char* Name() const override { return "gtk"; }

  void WindowCreated(HWND handle) override {
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

  void WindowDestroyed(HWND handle) override {
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

  void WindowShown(HWND handle, bool visible) override {
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

  void WindowPlaced(HWND handle) override {
    if (Find(handle) != nullptr) Place(handle);
  }

  void WindowTextChanged(HWND handle) override { Sync(handle); }
  void ControlChanged(HWND handle) override { Sync(handle); }

  void WindowEnabled(HWND handle, bool enabled) override {
    Native* native = Find(handle);
    if (native == nullptr) return;
    // A disabled top-level window takes no input, as under a modal dialog on Windows.
    gtk_widget_set_sensitive(native->kind == Kind::kTopLevel ? native->fixed : native->widget,
                             enabled);
  }

  void WindowActivated(HWND handle) override {
    Native* native = Find(handle);
    if (native != nullptr && native->kind == Kind::kTopLevel &&
        gtk_widget_get_visible(native->widget))
      Present(native->widget);
  }

  void WindowFocused(HWND handle) override {
    Native* native = Find(handle);
    if (native != nullptr && native->kind != Kind::kTopLevel) gtk_widget_grab_focus(native->widget);
  }

  void WindowIconChanged(HWND handle) override {
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

  void WindowDrawn(HWND handle) override {
    Native* native = Find(handle);
    if (native != nullptr) gtk_widget_queue_draw(native->widget);
  }

  void Wait(int deadline_ms, int signal_fd) override {
    if (!OnGtkThread()) return;
    if (signal_fd >= 0 && signal_source_ == nullptr) {
      signal_source_ = g_unix_fd_source_new(signal_fd, G_IO_IN);
      g_source_set_callback(signal_source_, reinterpret_cast<GSourceFunc>(&SignalReady), nullptr,
                            nullptr);
      g_source_attach(signal_source_, nullptr);
    }
    guint deadline = 0;
    if (deadline_ms >= 0)
      deadline = g_timeout_add(static_cast<guint>(deadline_ms), &DeadlinePassed, &deadline);
    g_main_context_iteration(nullptr, TRUE);
    if (deadline != 0) g_source_remove(deadline);
  }

  void Wake() override { g_main_context_wakeup(nullptr); }

  void Pump() override {
    if (OnGtkThread()) g_main_context_iteration(nullptr, FALSE);
  }

  std::unique_ptr<PendingAnswer> ShowMessageBox(HWND owner, const std::string& text,
                                                const std::string& caption, UINT type,
                                                int default_answer) override;
  std::unique_ptr<PendingAnswer> ShowPopupMenu(const Menu& menu, HWND owner, POINT at) override;

  // The notification area: a StatusNotifierItem when the session has a watcher, else the
  // XEmbed system tray (shell/desktop_tray.h).
  bool TrayAdd(const TrayIconState& icon) override { return OnGtkThread() && tray_.Add(icon); }
  bool TrayModify(const TrayIconState& icon) override {
    return OnGtkThread() && tray_.Modify(icon);
  }
  void TrayDelete(const TrayIconState& icon) override {
    if (OnGtkThread()) tray_.Delete(icon);
  }

  SIZE ScreenSize() override {
    GdkDisplay* display = gdk_display_get_default();
    GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
    if (monitor == nullptr) monitor = gdk_display_get_monitor(display, 0);
    if (monitor == nullptr) return SIZE{1024, 768};
    GdkRectangle area{};
    gdk_monitor_get_geometry(monitor, &area);
    return SIZE{area.width, area.height};
  }

  POINT PointerPosition() override {
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    int x = 0;
    int y = 0;
    if (pointer != nullptr) gdk_device_get_position(pointer, nullptr, &x, &y);
    return POINT{x, y};
  }

 private:
  struct Syncing {
    explicit Syncing(GtkDisplay& display) : display_(display), was_(display.syncing_) {
      display_.syncing_ = true;
    }
    ~Syncing() { display_.syncing_ = was_; }
    GtkDisplay& display_;
    bool was_;
  };

  static GtkDisplay*& Self() {
    static GtkDisplay* self = nullptr;
    return self;
  }

  static gboolean SignalReady(gpointer) { return G_SOURCE_CONTINUE; }
  static gboolean DeadlinePassed(gpointer id) {
    *static_cast<guint*>(id) = 0;
    return G_SOURCE_REMOVE;
  }

  bool OnGtkThread() const { return std::this_thread::get_id() == thread_; }

  Native* Find(HWND handle) {
    if (!OnGtkThread()) return nullptr;
    const auto it = natives_.find(handle);
    return it == natives_.end() ? nullptr : &it->second;
  }

  // The window of ours on screen that a box or menu belongs to: the owner's top-level when it
  // is shown, else any shown top-level; nothing when none is.
  GtkWindow* ShownTopLevel(HWND owner) {
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

  Native* TopLevelOf(const Window& w) {
    const Window* top = &w;
    while (top != nullptr && top->parent != nullptr) top = State().Find(top->parent);
    if (top == nullptr) return nullptr;
    Native* native = Find(top->handle);
    return native != nullptr && native->kind == Kind::kTopLevel ? native : nullptr;
  }

  void CreateTopLevel(HWND handle, const Window& w, Native& native) {
    native.widget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(native.widget);
    gtk_style_context_add_class(gtk_widget_get_style_context(native.widget), "wydruki");
    gtk_window_set_resizable(window, (w.style & WS_THICKFRAME) != 0);
    if ((w.style & DS_MODALFRAME) != 0)
      gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
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
    g_signal_connect(window, "focus-out-event", G_CALLBACK(&OnFocusOut), handle);
    gtk_widget_add_events(native.widget, GDK_BUTTON_PRESS_MASK);
    g_signal_connect(window, "button-press-event", G_CALLBACK(&OnButtonPress), handle);
    // A toplevel is destroyed only through DestroyWindow.
    g_object_ref_sink(native.widget);
    g_object_unref(native.widget);
  }

  void CreateControl(HWND handle, const Window& w, Native& native) {
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
        gtk_label_set_xalign(label, (w.style & 0x1F) == kCentred ? 0.5f : 0.0f);
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
        if ((w.style & 0x03) == CBS_DROPDOWNLIST) {
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

  void Place(HWND handle) {
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
  void Sync(HWND handle) {
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
        if ((w->style & kNoPrefix) != 0)
          gtk_label_set_text(GTK_LABEL(native->widget), ToUtf8(w->text).c_str());
        else
          gtk_label_set_text_with_mnemonic(GTK_LABEL(native->widget),
                                           MnemonicLabel(w->text).c_str());
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

  void SyncImage(Native& native, const ControlState& c) {
    if (c.image == nullptr || c.image_type != IMAGE_ICON) return;
    GdkPixbuf* pixbuf = PixbufOfIcon(static_cast<HICON>(c.image));
    if (pixbuf == nullptr) return;
    gtk_button_set_image(GTK_BUTTON(native.widget), gtk_image_new_from_pixbuf(pixbuf));
    gtk_button_set_always_show_image(GTK_BUTTON(native.widget), TRUE);
    g_object_unref(pixbuf);
  }

  void SyncCombo(Native& native, const Window& w) {
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

  // What a person did.
  static bool Quiet() { return Self() == nullptr || Self()->syncing_; }

  static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
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
  static void Touched(HWND handle) {
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

  static gboolean OnButtonPress(GtkWidget*, GdkEvent*, gpointer data) {
    Touched(HandleOf(data));
    return DismissUngrabbedPopup();
  }

  // A Wayland popup opened for a host's request has no input grab (the compositor grants one
  // only for an input event of our own): the keys stay with its window, which hands them on,
  // and a click on the window or focus going elsewhere dismisses it, as a grab would.
  static GtkWidget* UngrabbedPopup() {
    GtkWidget* popup = Self() != nullptr ? Self()->ungrabbed_popup_ : nullptr;
    return popup != nullptr && gtk_widget_get_visible(popup) ? popup : nullptr;
  }
  static gboolean DismissUngrabbedPopup() {
    GtkWidget* popup = UngrabbedPopup();
    if (popup == nullptr) return FALSE;
    gtk_menu_shell_deactivate(GTK_MENU_SHELL(popup));
    return TRUE;
  }
  static gboolean OnFocusOut(GtkWidget*, GdkEvent*, gpointer) {
    DismissUngrabbedPopup();
    return FALSE;
  }

  // Tells the window manager which title-bar buttons and functions the window's styles offer.
  static void OnRealizeTopLevel(GtkWidget* widget, gpointer data) {
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

  static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data) {
    PostMessageA(HandleOf(data), kActivatedOnDisplay, 0, 0);
    return FALSE;
  }

  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    if (GtkWidget* popup = UngrabbedPopup()) {
      gtk_widget_event(popup, reinterpret_cast<GdkEvent*>(event));
      return TRUE;
    }
    WPARAM key = 0;
    if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) key = VK_RETURN;
    if (event->keyval == GDK_KEY_Escape) key = VK_ESCAPE;
    Touched(HandleOf(data));
    if (key == 0 || (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) != 0) return FALSE;
    // The form's keyboard preview presses its default or cancel button.
    PostMessageA(HandleOf(data), WM_KEYDOWN, key, 1);
    return TRUE;
  }

  static void OnClicked(GtkButton*, gpointer data) {
    if (Quiet()) return;
    Touched(HandleOf(data));
    PostCommand(HandleOf(data), BN_CLICKED);
  }

  static void OnToggled(GtkToggleButton* button, gpointer data) {
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

  static void OnEditChanged(GtkEditable* editable, gpointer data) {
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

  static void OnComboChanged(GtkComboBox* combo, gpointer data) {
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

  // A window raised because of a click in a StatusNotifierItem host carries the host's
  // activation token, so a Wayland compositor lets it come to the front.
  void Present(GtkWidget* widget) {
    const std::string token = tray_.TakeActivationToken();
    if (!token.empty()) gtk_window_set_startup_id(GTK_WINDOW(widget), token.c_str());
    gtk_window_present(GTK_WINDOW(widget));
  }

  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
    Native* native = Self() != nullptr ? Self()->Find(HandleOf(data)) : nullptr;
    if (native == nullptr || native->surface == nullptr) return FALSE;
    cairo_set_source_surface(cr, native->surface, 0, 0);
    cairo_paint(cr);
    return TRUE;
  }

  static void OnSurfaceDrawn(HWND window) {
    if (Self() != nullptr) Self()->WindowDrawn(window);
  }

  std::thread::id thread_;
  std::map<HWND, Native> natives_;
  bool syncing_ = false;
  GSource* signal_source_ = nullptr;
  GtkWidget* ungrabbed_popup_ = nullptr;  // a weak reference
  DesktopTray tray_;
};

// Message boxes.

struct BoxButton {
  const char* label;  // GTK's own wording, translated by GTK for the person's language
  int answer;
};

std::vector<BoxButton> ButtonsOf(UINT type) {
  switch (type & 0x0F) {
    case MB_OKCANCEL:
      return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
    case MB_YESNOCANCEL:
      return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
    case MB_YESNO:
      return {{"_Yes", IDYES}, {"_No", IDNO}};
    case MB_RETRYCANCEL:
      return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
    default:
      return {{"_OK", IDOK}};
  }
}

GtkMessageType MessageTypeOf(UINT type) {
  switch (type & 0xF0) {
    case MB_ICONHAND:
      return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
      return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION:
      return GTK_MESSAGE_WARNING;
    case MB_ICONASTERISK:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

struct BoxData {
  std::shared_ptr<Answering> state;
  int on_close = 0;  // the answer when the box is closed from its title bar or with Esc; 0: none
};

void OnBoxResponse(GtkDialog*, gint response, gpointer data) {
  auto* box = static_cast<BoxData*>(data);
  if (response > 0)
    box->state->Give(response);
  else if (box->on_close != 0)
    box->state->Give(box->on_close);
}

void FreeBoxData(gpointer data, GClosure*) { delete static_cast<BoxData*>(data); }

std::unique_ptr<PendingAnswer> GtkDisplay::ShowMessageBox(HWND owner, const std::string& text,
                                                          const std::string& caption, UINT type,
                                                          int default_answer) {
  if (!OnGtkThread()) return nullptr;
  // A box over a shown window of ours belongs to it, so it never sits behind it.
  GtkWindow* parent = ShownTopLevel(owner);
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT, MessageTypeOf(type),
                             GTK_BUTTONS_NONE, "%s", ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8(caption).c_str());
  gtk_window_set_position(GTK_WINDOW(dialog),
                          parent != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  auto* data = new BoxData{std::make_shared<Answering>(), 0};
  for (const BoxButton& button : ButtonsOf(type)) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), g_dgettext("gtk30", button.label), button.answer);
    // Windows closes a box from its title bar only when it has a way out: Cancel, or its one OK.
    if (button.answer == IDCANCEL || (type & 0x0F) == MB_OK) data->on_close = button.answer;
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), default_answer);
  if (GtkWidget* preferred = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), default_answer))
    gtk_widget_grab_focus(preferred);
  g_signal_connect_data(dialog, "response", G_CALLBACK(&OnBoxResponse), data, &FreeBoxData,
                        GConnectFlags{});
  auto pending = std::make_unique<GtkPending>(dialog, data->state);
  gtk_widget_show(dialog);
  return pending;
}

// Popup menus.

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
      if ((entry.flags & kDefaultItem) != 0) {
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
    // Up and Down then move from the first entry, as in a menu opened from the keyboard.
    gtk_menu_shell_select_first(GTK_MENU_SHELL(popup), TRUE);
  }
  if (!gtk_widget_get_visible(popup)) data->state->Give(0);  // no grab: nothing to choose
  return pending;
}

}  // namespace

std::unique_ptr<DisplayDriver> MakeGtkDisplay() {
  // Nothing here draws with OpenGL, yet GDK probes the GL visuals at start-up, which maps the
  // whole of Mesa (tens of megabytes of a compiler) into the agent. A user's own GDK_GL wins.
  g_setenv("GDK_GL", "disable", FALSE);
  if (!gtk_init_check(nullptr, nullptr)) return nullptr;
  return std::make_unique<GtkDisplay>();
}

}  // namespace wydruki::platform
