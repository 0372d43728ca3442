// SPDX-License-Identifier: MIT
// The display driver: the one place where windows meet a screen.
//
// The user layer keeps every window's state (class, styles, rectangle, text, control state,
// visibility, enabling) and is the only authority on it; a driver only mirrors that state on a
// screen and tells the user layer what a person did there. The contract, in both directions:
//
// - Down: the user layer calls the Window* and Control* hooks after its own state has changed
//   (with the user lock held, on the thread that owns the windows). A driver reads what it
//   needs from UserState and updates the native counterpart; it never calls a window
//   procedure from a hook.
// - Up: what a person does (a click, typing, choosing, closing from the title bar, a key) is
//   turned into the messages Windows would send and posted to the thread's queue
//   (`WM_COMMAND` with `BN_CLICKED`, `CBN_SELCHANGE`, `CBN_EDITCHANGE`, `EN_CHANGE`; `WM_CLOSE`;
//   `WM_KEYDOWN`). Where the control keeps state (a check mark, the text of an edit field, the
//   selected item), the driver first writes the new state into UserState, then posts, so the
//   program reads the new state when it handles the notification. Window procedures therefore
//   run only from DispatchMessage in the program's own loop.
// - Waiting: Wait() is the only place the thread blocks for input. The null driver polls the
//   signal pipe; the gtk driver iterates GLib's main context, with the signal pipe and a timer
//   deadline as GLib sources. Wake() may be called from any thread.
// - Modal things (message boxes, popup menus) are shown without blocking: Show* returns a
//   handle whose Answer() stays empty until the person answers, and the user layer runs its own
//   GetMessage loop until then, so timers keep firing as they do on Windows.
// - The notification area: Tray* mirror the icons Shell_NotifyIconA keeps (the shell layer
//   keeps the state, the driver shows it and posts the icon's callback message for clicks).
//
// The record of what a user saw ([display] record=) is written by the user and shell layers,
// not by a driver, so it is the same whichever driver shows the windows.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/api/types.h"

namespace wydruki::platform {

struct Menu;

// One notification-area icon as the program last described it.
struct TrayIconState {
  HWND window = nullptr;  // receives the callback message
  UINT id = 0;            // the program's number for the icon
  HICON icon = nullptr;   // its image (UserState::icons holds the bits)
  std::string tip;        // Windows-1250, at most 63 bytes
  UINT callback = 0;      // posted to `window` for pointer actions: wParam id, lParam mouse message
};

// A message box or popup menu on screen. The user layer asks Answer() after each message it
// handles; destroying the object takes the thing off the screen.
class PendingAnswer {
 public:
  virtual ~PendingAnswer() = default;
  // A message box: the button's ID (IDOK, IDCANCEL, ...). A popup menu: the chosen item's
  // command, or 0 when the menu was dismissed. Empty while the person has not answered.
  virtual std::optional<int> Answer() = 0;
};

class DisplayDriver {
 public:
  virtual ~DisplayDriver() = default;

  // "null" or "gtk".
  virtual const char* Name() const = 0;

  // Windows, after the user layer's state changed.
  virtual void WindowCreated(HWND window) = 0;    // state complete, before WM_CREATE
  virtual void WindowDestroyed(HWND window) = 0;  // after WM_NCDESTROY, state still present
  virtual void WindowShown(HWND window, bool visible) = 0;
  virtual void WindowPlaced(HWND window) = 0;  // rectangle changed
  virtual void WindowTextChanged(HWND window) = 0;
  virtual void WindowEnabled(HWND window, bool enabled) = 0;
  virtual void WindowActivated(HWND window) = 0;  // brought to the front with the input focus
  virtual void WindowFocused(HWND window) = 0;    // a control got the keyboard focus
  virtual void WindowIconChanged(HWND window) = 0;
  // A standard control's check mark, items, selection, text limit or image changed.
  virtual void ControlChanged(HWND window) = 0;
  // Something was drawn on a window's device context: show it.
  virtual void WindowDrawn(HWND window) = 0;

  // Blocks until `deadline_ms` milliseconds pass (never when negative), `signal_fd` becomes
  // readable, Wake() is called, or the person did something.
  virtual void Wait(int deadline_ms, int signal_fd) = 0;
  virtual void Wake() = 0;
  // Handles what the person did, without blocking: PeekMessage calls it, so windows stay
  // alive while the program works (prints) and only peeks at its queue between pages.
  virtual void Pump() = 0;

  // `default_answer` is the button the box's flags make the default. Nothing, when the driver
  // cannot show one (the box then takes its default answer).
  virtual std::unique_ptr<PendingAnswer> ShowMessageBox(HWND owner, const std::string& text,
                                                        const std::string& caption, UINT type,
                                                        int default_answer) = 0;
  // `at` in screen coordinates; `menu` is a copy, safe to keep.
  virtual std::unique_ptr<PendingAnswer> ShowPopupMenu(const Menu& menu, HWND owner, POINT at) = 0;

  // The notification area. False when the icon cannot be shown (the shell reports failure).
  virtual bool TrayAdd(const TrayIconState& icon) = 0;
  virtual bool TrayModify(const TrayIconState& icon) = 0;
  virtual void TrayDelete(const TrayIconState& icon) = 0;

  // The screen's size in pixels and the pointer's position on it.
  virtual SIZE ScreenSize() = 0;
  virtual POINT PointerPosition() = 0;
};

// The driver in force, chosen on first use (see display.h) and kept for the process.
DisplayDriver& Display();

// The null driver; the gtk driver, or nothing when GTK cannot start (no display).
std::unique_ptr<DisplayDriver> MakeNullDisplay();
std::unique_ptr<DisplayDriver> MakeGtkDisplay();

// Puts a shown top-level window away the way a person's "OK" does: Enter is posted to it,
// which the program's keyboard handling gives to the window's default button, so the
// program's own idea of what is shown stays true. Nothing while the window is disabled (under
// a modal dialog). For a close box the window manager draws where the window has no system
// menu, and for the window shown in place of a tray icon no one could see.
void PutAwayWindow(HWND window);

// Runs the thread's messages until `answer` has one (or WM_QUIT arrives, which is posted again
// for the outer loop; the answer is then `fallback`).
int RunUntilAnswered(PendingAnswer& answer, int fallback);

}  // namespace wydruki::platform
