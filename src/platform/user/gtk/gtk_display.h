// SPDX-License-Identifier: MIT
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
//
// The driver's parts, one file each: the hooks and the window bookkeeping (gtk_display.cpp),
// the style sheet (gtk_style.cpp), widgets and their sync (gtk_widgets.cpp), the wait
// (gtk_wait.cpp), widget signals to messages (gtk_signals.cpp), message boxes
// (gtk_message_box.cpp), popup menus (gtk_popup_menu.cpp).
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shell/desktop_tray.h"
#include "user/display_driver.h"
#include "user/user_state.h"

namespace wydruki::platform::gtk {

inline UserState& State() { return UserState::Instance(); }
inline HWND HandleOf(gpointer data) { return static_cast<HWND>(data); }
bool X11Display();

// Loads the style sheet that fits GTK's widgets to the program's layouts, for the screen.
void InstallStyleSheet();

enum class Kind { kNone, kTopLevel, kPush, kCheck, kGroup, kLabel, kFrame, kPaint, kEdit, kCombo };

struct Native {
  Kind kind = Kind::kNone;
  GtkWidget* widget = nullptr;          // a top-level's GtkWindow, or the control
  GtkWidget* fixed = nullptr;           // a top-level's layout
  cairo_surface_t* surface = nullptr;   // a self-drawn window's pixels
  std::vector<GtkWidget*> focus_chain;  // a top-level's controls that take the focus, in order
};

// What a window of the user layer becomes on screen.
Kind KindOf(const Window& w);
// The picture of an icon (a new reference), or nothing.
GdkPixbuf* PixbufOfIcon(HICON icon);

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
  GtkDisplay();

  const char* Name() const override { return "gtk"; }

  void WindowCreated(HWND handle) override;
  void WindowDestroyed(HWND handle) override;
  void WindowShown(HWND handle, bool visible) override;
  void WindowPlaced(HWND handle) override;
  void WindowTextChanged(HWND handle) override;
  void ControlChanged(HWND handle) override;
  void WindowEnabled(HWND handle, bool enabled) override;
  void WindowActivated(HWND handle) override;
  void WindowFocused(HWND handle) override;
  void WindowIconChanged(HWND handle) override;
  void WindowDrawn(HWND handle) override;

  void Wait(int deadline_ms, int signal_fd) override;
  void Wake() override;
  void Pump() override;

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

  SIZE ScreenSize() override;
  POINT PointerPosition() override;

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

  // The wait.
  static gboolean SignalReady(gpointer);
  static gboolean DeadlinePassed(gpointer id);

  // Windows and widgets.
  bool OnGtkThread() const { return std::this_thread::get_id() == thread_; }
  Native* Find(HWND handle);
  GtkWindow* ShownTopLevel(HWND owner);
  Native* TopLevelOf(const Window& w);
  void CreateTopLevel(HWND handle, const Window& w, Native& native);
  void CreateControl(HWND handle, const Window& w, Native& native);
  void Place(HWND handle);
  void Sync(HWND handle);
  void SyncImage(Native& native, const ControlState& c);
  void SyncCombo(Native& native, const Window& w);
  void Present(GtkWidget* widget);

  // What a person did.
  static bool Quiet() { return Self() == nullptr || Self()->syncing_; }
  static void Touched(HWND handle);
  static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data);
  static gboolean OnButtonPress(GtkWidget*, GdkEvent*, gpointer data);
  static GtkWidget* UngrabbedPopup();
  static gboolean DismissUngrabbedPopup();
  static gboolean OnFocusIn(GtkWidget*, GdkEvent*, gpointer data);
  static void OnRealizeTopLevel(GtkWidget* widget, gpointer data);
  static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data);
  static void OnClicked(GtkButton*, gpointer data);
  static void OnToggled(GtkToggleButton* button, gpointer data);
  static void OnEditChanged(GtkEditable* editable, gpointer data);
  static void OnComboChanged(GtkComboBox* combo, gpointer data);
  static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data);
  static void OnSurfaceDrawn(HWND window);

  std::thread::id thread_;
  std::map<HWND, Native> natives_;
  bool syncing_ = false;
  GSource* signal_source_ = nullptr;
  GtkWidget* ungrabbed_popup_ = nullptr;  // a weak reference
  DesktopTray tray_;
};

}  // namespace wydruki::platform::gtk
