// SPDX-License-Identifier: MIT
// The state of the windowing side: window classes, windows, the thread's message queue and
// timers, menus and icons. The program has one user-interface thread; the state is guarded by
// one recursive lock so that a stray call from another thread cannot corrupt it.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/api/user.h"

namespace wydruki::platform {

struct WindowClass {
  std::string name;  // as registered
  ATOM atom = 0;
  WNDCLASSA info{};
  bool system = false;  // the standard controls, which need no registration
  int windows = 0;      // how many windows of the class exist
};

// State of the standard controls kept beside the window.
struct ControlState {
  int check = BST_UNCHECKED;
  std::vector<std::string> items;
  int selection = CB_ERR;
  int limit = 0;
  HANDLE image = nullptr;  // a button's picture (BM_SETIMAGE)
  WPARAM image_type = IMAGE_BITMAP;
};

struct Window {
  HWND handle = nullptr;
  WindowClass* window_class = nullptr;
  WNDPROC procedure = nullptr;
  DWORD style = 0;
  DWORD ex_style = 0;
  std::string text;
  RECT rect{};
  HWND parent = nullptr;  // child windows
  HWND owner = nullptr;   // owned top-level windows
  LONG_PTR id = 0;
  LONG_PTR user_data = 0;
  HINSTANCE instance = nullptr;
  HICON big_icon = nullptr;
  HICON small_icon = nullptr;
  bool visible = false;
  bool enabled = true;
  bool minimized = false;
  bool maximized = false;
  bool destroying = false;
  ControlState control;
};

struct Timer {
  HWND window = nullptr;
  UINT_PTR id = 0;
  UINT interval = 0;
  TIMERPROC procedure = nullptr;
  std::chrono::steady_clock::time_point due;
};

struct MenuItem {
  UINT flags = 0;
  UINT_PTR id = 0;
  std::string text;
};

struct Menu {
  std::vector<MenuItem> items;
};

struct Icon {
  std::vector<std::uint8_t> bits;  // the image as given (header and pixels)
  bool shared = false;             // system icons and loaded resources are never destroyed
  std::uint32_t image_id = 0;      // the same for the same image
};

class UserState {
 public:
  static UserState& Instance();

  std::recursive_mutex& Lock() { return lock_; }

  // Windows.
  Window* Find(HWND handle);
  Window& Add(std::unique_ptr<Window> window);
  void Remove(HWND handle);
  // Top-level windows from the top of the z-order.
  std::vector<HWND> TopLevel() const { return z_order_; }
  std::vector<HWND> ChildrenOf(HWND parent) const;
  std::vector<HWND> OwnedBy(HWND owner) const;
  void RaiseToTop(HWND handle);

  // Classes (names match without regard to letter case).
  WindowClass* FindClass(const char* name_or_atom);
  WindowClass& AddClass(const WNDCLASSA& info, bool system);
  bool RemoveClass(const char* name_or_atom);

  // The queue.
  std::deque<MSG> posted;
  bool quit_posted = false;
  int quit_code = 0;
  std::vector<Timer> timers;

  HWND active = nullptr;
  HWND focus = nullptr;
  HWND capture = nullptr;
  HWND foreground = nullptr;
  HCURSOR cursor = nullptr;
  UINT_PTR next_thread_timer = 1;

  // Menus and icons.
  std::map<HMENU, std::unique_ptr<Menu>> menus;
  std::map<HWND, HMENU> system_menus;
  std::map<HICON, std::unique_ptr<Icon>> icons;
  std::map<std::string, HICON> icon_resources;
  HICON default_icon = nullptr;

  HMENU NewMenu();
  HICON NewIcon(std::unique_ptr<Icon> icon);

 private:
  UserState() = default;
  std::recursive_mutex lock_;
  std::map<HWND, std::unique_ptr<Window>> windows_;
  std::vector<HWND> z_order_;
  std::vector<std::unique_ptr<WindowClass>> classes_;
  ATOM next_atom_ = 0xC000;
  std::uintptr_t next_handle_ = 0x10010;
};

using UserLock = std::lock_guard<std::recursive_mutex>;

// Posted by a display driver when a person brings one of the program's windows to the front
// (a click on it, the window manager's switcher): DispatchMessage makes it the active window
// with the messages Windows sends, from the program's own loop. A number of the system's
// reserved range that no program uses, so it never reaches a window procedure.
constexpr UINT kActivatedOnDisplay = 0x03FE;

// Sends a message straight to a window's procedure (0 for windows that are gone).
LRESULT Deliver(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Makes `window` the active window, with the notifications Windows sends (none for null).
void Activate(HWND window);

// The standard control classes' procedure.
LRESULT CALLBACK StandardControlProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
void RegisterSystemClasses();

// A stable number for an icon image: the same for the same image.
std::uint32_t ImageId(const std::vector<std::uint8_t>& bits);

}  // namespace wydruki::platform
