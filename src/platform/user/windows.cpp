// SPDX-License-Identifier: MIT
// Window classes, windows, their properties, showing, order, activation and enabling.
#include <algorithm>
#include <cstring>

#include "platform/api/kernel.h"
#include "user/display.h"
#include "user/display_driver.h"
#include "user/user_state.h"

using wydruki::platform::Activate;
using wydruki::platform::Deliver;
using wydruki::platform::Display;
using wydruki::platform::RecordSeen;
using wydruki::platform::UserLock;
using wydruki::platform::UserState;
using wydruki::platform::Window;
using wydruki::platform::WindowClass;

namespace {

UserState& State() { return UserState::Instance(); }

Window* Valid(HWND hWnd) {
  Window* w = State().Find(hWnd);
  if (w == nullptr) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

bool IsTopLevel(const Window& w) { return w.parent == nullptr; }

// What a user sees: top-level windows that are not tool windows and have a size or a caption.
bool Seen(const Window& w) {
  return IsTopLevel(w) && (w.ex_style & WS_EX_TOOLWINDOW) == 0 &&
         (w.rect.right > w.rect.left || (w.style & WS_CAPTION) == WS_CAPTION);
}

void SetVisibility(Window& w, bool visible) {
  if (w.visible == visible) return;
  const HWND handle = w.handle;
  Deliver(handle, WM_SHOWWINDOW, visible ? TRUE : FALSE, 0);
  Window* again = State().Find(handle);
  if (again == nullptr) return;
  again->visible = visible;
  Display().WindowShown(handle, visible);
  if (Seen(*again)) RecordSeen((visible ? "SHOW " : "HIDE ") + again->text);
}

// Hands activation on when the active window goes: the next visible, enabled top-level window.
void ActivateNext(HWND leaving) {
  for (HWND candidate : State().TopLevel()) {
    Window* w = State().Find(candidate);
    if (candidate != leaving && w != nullptr && w->visible && w->enabled && !w->destroying &&
        (w->ex_style & WS_EX_TOOLWINDOW) == 0) {
      Activate(candidate);
      return;
    }
  }
  Activate(nullptr);
}

}  // namespace

namespace wydruki::platform {

LRESULT Deliver(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  WNDPROC procedure = nullptr;
  {
    UserLock lock(State().Lock());
    Window* w = State().Find(window);
    if (w == nullptr) return 0;
    procedure = w->procedure;
  }
  return procedure != nullptr ? procedure(window, message, wparam, lparam) : 0;
}

void Activate(HWND window) {
  UserState& s = State();
  const HWND old = s.active;
  if (old == window) return;
  s.active = window;
  if (old != nullptr && s.Find(old) != nullptr) {
    Deliver(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(window));
    if (s.focus == old) {
      s.focus = nullptr;
      Deliver(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
    }
  }
  if ((old == nullptr) != (window == nullptr)) {
    const HWND target = window != nullptr ? window : old;
    if (s.Find(target) != nullptr) Deliver(target, WM_ACTIVATEAPP, window != nullptr, 0);
  }
  if (window != nullptr) {
    s.foreground = window;
    s.RaiseToTop(window);
    Display().WindowActivated(window);
    Deliver(window, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
    if (s.active == window && s.Find(window) != nullptr) {
      s.focus = window;
      Deliver(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
  }
}

}  // namespace wydruki::platform

ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass) {
  if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr ||
      lpWndClass->lpfnWndProc == nullptr || IS_INTRESOURCE(lpWndClass->lpszClassName) ||
      lpWndClass->lpszClassName[0] == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  UserLock lock(State().Lock());
  wydruki::platform::RegisterSystemClasses();
  if (WindowClass* existing = State().FindClass(lpWndClass->lpszClassName);
      existing != nullptr && !existing->system) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  return State().AddClass(*lpWndClass, false).atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE) {
  UserLock lock(State().Lock());
  WindowClass* c = State().FindClass(lpClassName);
  if (c == nullptr || c->system) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  if (c->windows > 0) {
    SetLastError(ERROR_CLASS_HAS_WINDOWS);
    return FALSE;
  }
  State().RemoveClass(lpClassName);
  return TRUE;
}

BOOL WINAPI GetClassInfoA(HINSTANCE, LPCSTR lpClassName, LPWNDCLASSA lpWndClass) {
  UserLock lock(State().Lock());
  wydruki::platform::RegisterSystemClasses();
  WindowClass* c = State().FindClass(lpClassName);
  if (c == nullptr || lpWndClass == nullptr) {
    SetLastError(c == nullptr ? ERROR_CLASS_DOES_NOT_EXIST : ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpWndClass = c->info;
  lpWndClass->lpszClassName = lpClassName;
  return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle,
                            int X, int Y, int nWidth, int nHeight, HWND hWndParent, HMENU hMenu,
                            HINSTANCE hInstance, LPVOID lpParam) {
  HWND handle = nullptr;
  CREATESTRUCTA create{};
  {
    UserLock lock(State().Lock());
    wydruki::platform::RegisterSystemClasses();
    WindowClass* c = State().FindClass(lpClassName);
    if (c == nullptr) {
      SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
      return nullptr;
    }
    if (hWndParent != nullptr && State().Find(hWndParent) == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return nullptr;
    }
    if ((dwStyle & WS_CHILD) != 0 && hWndParent == nullptr) {
      SetLastError(ERROR_TLW_WITH_WSCHILD);
      return nullptr;
    }
    auto w = std::make_unique<Window>();
    w->window_class = c;
    w->procedure = c->info.lpfnWndProc;
    w->style = dwStyle & ~static_cast<DWORD>(WS_VISIBLE);
    w->ex_style = dwExStyle;
    w->text = lpWindowName != nullptr ? lpWindowName : "";
    const int x = X == CW_USEDEFAULT ? 0 : X;
    const int y = X == CW_USEDEFAULT ? 0 : Y;
    const int cx = nWidth == CW_USEDEFAULT ? 640 : std::max(nWidth, 0);
    const int cy = nWidth == CW_USEDEFAULT ? 480 : std::max(nHeight, 0);
    w->rect = RECT{x, y, x + cx, y + cy};
    w->instance = hInstance;
    if ((dwStyle & WS_CHILD) != 0) {
      w->parent = hWndParent;
      w->id = reinterpret_cast<LONG_PTR>(hMenu);
    } else if (hWndParent != nullptr) {
      // The owner of a top-level window is itself top-level.
      HWND owner = hWndParent;
      while (Window* o = State().Find(owner)) {
        if (o->parent == nullptr) break;
        owner = o->parent;
      }
      w->owner = owner;
    }
    ++c->windows;
    handle = State().Add(std::move(w)).handle;
    Display().WindowCreated(handle);
    create = CREATESTRUCTA{
        lpParam,      hInstance,   hMenu,    hWndParent, cy, cx, y, x, static_cast<LONG>(dwStyle),
        lpWindowName, lpClassName, dwExStyle};
  }
  if (Deliver(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == FALSE ||
      Deliver(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
    DestroyWindow(handle);
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if ((dwStyle & WS_VISIBLE) != 0) ShowWindow(handle, SW_SHOW);
  return handle;
}

BOOL WINAPI DestroyWindow(HWND hWnd) {
  UserLock lock(State().Lock());
  Window* w = Valid(hWnd);
  if (w == nullptr || w->destroying) return w != nullptr;
  w->destroying = true;
  if (w->visible) SetVisibility(*w, false);
  // Owned windows and children go first.
  for (HWND owned : State().OwnedBy(hWnd)) DestroyWindow(owned);
  if (State().active == hWnd) ActivateNext(hWnd);
  Deliver(hWnd, WM_DESTROY, 0, 0);
  for (HWND child : State().ChildrenOf(hWnd)) DestroyWindow(child);
  Deliver(hWnd, WM_NCDESTROY, 0, 0);
  UserState& s = State();
  s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                [hWnd](const auto& t) { return t.window == hWnd; }),
                 s.timers.end());
  s.posted.erase(std::remove_if(s.posted.begin(), s.posted.end(),
                                [hWnd](const MSG& m) { return m.hwnd == hWnd; }),
                 s.posted.end());
  if (s.focus == hWnd) s.focus = nullptr;
  if (s.capture == hWnd) s.capture = nullptr;
  if (s.foreground == hWnd) s.foreground = s.active;
  if (s.active == hWnd) s.active = nullptr;
  if (auto menu = s.system_menus.find(hWnd); menu != s.system_menus.end()) {
    s.menus.erase(menu->second);
    s.system_menus.erase(menu);
  }
  if (Window* gone = s.Find(hWnd)) --gone->window_class->windows;
  Display().WindowDestroyed(hWnd);
  s.Remove(hWnd);
  return TRUE;
}

BOOL WINAPI IsWindow(HWND hWnd) {
  UserLock lock(State().Lock());
  const Window* w = State().Find(hWnd);
  return w != nullptr && !w->destroying;
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong) {
  UserLock lock(State().Lock());
  Window* w = Valid(hWnd);
  if (w == nullptr) return 0;
  LONG_PTR old = 0;
  switch (nIndex) {
    case GWLP_WNDPROC:
      old = reinterpret_cast<LONG_PTR>(w->procedure);
      w->procedure = reinterpret_cast<WNDPROC>(dwNewLong);
      break;
    case GWLP_USERDATA:
      old = w->user_data;
      w->user_data = dwNewLong;
      break;
    case GWL_STYLE:
      old = static_cast<LONG>(w->style);
      w->style = static_cast<DWORD>(dwNewLong) & ~static_cast<DWORD>(WS_VISIBLE);
      break;
    case GWL_EXSTYLE:
      old = static_cast<LONG>(w->ex_style);
      w->ex_style = static_cast<DWORD>(dwNewLong);
      break;
    case GWLP_ID:
      old = w->id;
      w->id = dwNewLong;
      break;
    case GWLP_HINSTANCE:
      old = reinterpret_cast<LONG_PTR>(w->instance);
      w->instance = reinterpret_cast<HINSTANCE>(dwNewLong);
      break;
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
  SetLastError(ERROR_SUCCESS);
  return old;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex) {
  UserLock lock(State().Lock());
  Window* w = Valid(hWnd);
  if (w == nullptr) return 0;
  switch (nIndex) {
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->procedure);
    case GWLP_USERDATA:
      return w->user_data;
    case GWL_STYLE:
      return static_cast<LONG>(w->style | (w->visible ? WS_VISIBLE : 0) |
                               (w->enabled ? 0 : WS_DISABLED));
    case GWL_EXSTYLE:
      return static_cast<LONG>(w->ex_style);
    case GWLP_ID:
      return w->id;
    case GWLP_HINSTANCE:
      return reinterpret_cast<LONG_PTR>(w->instance);
    case GWLP_HWNDPARENT:
      return reinterpret_cast<LONG_PTR>(w->parent != nullptr ? w->parent : w->owner);
    default:
      SetLastError(ERROR_INVALID_INDEX);
      return 0;
  }
}

// The 32-bit forms cannot carry pointers: the window procedure and user data need the
// pointer-sized forms on a 64-bit system.
LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) {
  if (nIndex == GWLP_WNDPROC || nIndex == GWLP_USERDATA || nIndex == GWLP_HINSTANCE) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(SetWindowLongPtrA(hWnd, nIndex, dwNewLong));
}

LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex) {
  if (nIndex == GWLP_WNDPROC || nIndex == GWLP_USERDATA || nIndex == GWLP_HINSTANCE ||
      nIndex == GWLP_HWNDPARENT) {
    SetLastError(ERROR_INVALID_INDEX);
    return 0;
  }
  return static_cast<LONG>(GetWindowLongPtrA(hWnd, nIndex));
}

HWND WINAPI GetParent(HWND hWnd) {
  UserLock lock(State().Lock());
  const Window* w = Valid(hWnd);
  if (w == nullptr) return nullptr;
  return w->parent != nullptr ? w->parent : w->owner;
}

HWND WINAPI GetWindow(HWND hWnd, UINT uCmd) {
  UserLock lock(State().Lock());
  const Window* w = Valid(hWnd);
  if (w == nullptr) return nullptr;
  switch (uCmd) {
    case GW_OWNER:
      return w->owner;
    case GW_CHILD: {
      const auto children = State().ChildrenOf(hWnd);
      return children.empty() ? nullptr : children.front();
    }
    case GW_HWNDFIRST:
    case GW_HWNDLAST: {
      const auto order = State().TopLevel();
      if (order.empty()) return nullptr;
      return uCmd == GW_HWNDFIRST ? order.front() : order.back();
    }
    case GW_HWNDNEXT:
    case GW_HWNDPREV: {
      const auto order = State().TopLevel();
      const auto it = std::find(order.begin(), order.end(), hWnd);
      if (it == order.end()) return nullptr;
      if (uCmd == GW_HWNDNEXT) return it + 1 == order.end() ? nullptr : *(it + 1);
      return it == order.begin() ? nullptr : *(it - 1);
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
  }
}

BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow) {
  UserLock lock(State().Lock());
  Window* w = Valid(hWnd);
  if (w == nullptr) return FALSE;
  const BOOL was_visible = w->visible ? TRUE : FALSE;
  bool activate = false;
  switch (nCmdShow) {
    case SW_HIDE:
      SetVisibility(*w, false);
      if (Window* still = State().Find(hWnd); still != nullptr && State().active == hWnd)
        ActivateNext(hWnd);
      return was_visible;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      w->minimized = true;
      w->maximized = false;
      SetVisibility(*w, true);
      if (State().active == hWnd && nCmdShow != SW_SHOWMINIMIZED) ActivateNext(hWnd);
      return was_visible;
    case SW_SHOWMAXIMIZED:
      w->maximized = true;
      w->minimized = false;
      activate = true;
      break;
    case SW_SHOWNOACTIVATE:
    case SW_SHOWNA:
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
      w->minimized = false;
      w->maximized = false;
      activate = true;
      break;
    case SW_SHOW:
      activate = true;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return was_visible;
  }
  SetVisibility(*w, true);
  Window* shown = State().Find(hWnd);
  if (shown != nullptr && activate && IsTopLevel(*shown) && shown->enabled) Activate(hWnd);
  return was_visible;
}

BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy,
                         UINT uFlags) {
  UserLock lock(State().Lock());
  Window* w = Valid(hWnd);
  if (w == nullptr) return FALSE;
  if ((uFlags & SWP_NOMOVE) == 0) {
    const int width = w->rect.right - w->rect.left;
    const int height = w->rect.bottom - w->rect.top;
    w->rect = RECT{X, Y, X + width, Y + height};
  }
  if ((uFlags & SWP_NOSIZE) == 0)
    w->rect = RECT{w->rect.left, w->rect.top, w->rect.left + std::max(cx, 0),
                   w->rect.top + std::max(cy, 0)};
  if ((uFlags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
    Display().WindowPlaced(hWnd);
  if ((uFlags & SWP_NOZORDER) == 0 && IsTopLevel(*w)) {
    if (hWndInsertAfter == HWND_TOPMOST) w->ex_style |= WS_EX_TOPMOST;
    if (hWndInsertAfter == HWND_NOTOPMOST) w->ex_style &= ~static_cast<DWORD>(WS_EX_TOPMOST);
    if (hWndInsertAfter == HWND_TOP || hWndInsertAfter == HWND_TOPMOST ||
        hWndInsertAfter == HWND_NOTOPMOST)
      State().RaiseToTop(hWnd);
  }
  if ((uFlags & SWP_SHOWWINDOW) != 0) SetVisibility(*w, true);
  if ((uFlags & SWP_HIDEWINDOW) != 0) {
    SetVisibility(*w, false);
    if (State().active == hWnd && (uFlags & SWP_NOACTIVATE) == 0) ActivateNext(hWnd);
    return TRUE;
  }
  Window* placed = State().Find(hWnd);
  if (placed != nullptr && (uFlags & SWP_NOACTIVATE) == 0 && placed->visible &&
      IsTopLevel(*placed) && placed->enabled)
    Activate(hWnd);
  return TRUE;
}

BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL) {
  return SetWindowPos(hWnd, nullptr, X, Y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect) {
  UserLock lock(State().Lock());
  const Window* w = Valid(hWnd);
  if (w == nullptr) return FALSE;
  if (lpRect == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpRect = w->rect;
  return TRUE;
}

BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect) {
  RECT frame{};
  if (!GetWindowRect(hWnd, &frame)) return FALSE;
  *lpRect = RECT{0, 0, frame.right - frame.left, frame.bottom - frame.top};
  return TRUE;
}

BOOL WINAPI IsWindowVisible(HWND hWnd) {
  UserLock lock(State().Lock());
  for (const Window* w = State().Find(hWnd); w != nullptr; w = State().Find(w->parent)) {
    if (!w->visible) return FALSE;
    if (w->parent == nullptr) return TRUE;
  }
  return FALSE;
}

BOOL WINAPI IsWindowEnabled(HWND hWnd) {
  UserLock lock(State().Lock());
  const Window* w = State().Find(hWnd);
  return w != nullptr && w->enabled;
}

BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable) {
  UserLock lock(State().Lock());
  Window* w = Valid(hWnd);
  if (w == nullptr) return FALSE;
  const BOOL was_disabled = w->enabled ? FALSE : TRUE;
  const bool enable = bEnable != FALSE;
  if (w->enabled == enable) return was_disabled;
  w->enabled = enable;
  Display().WindowEnabled(hWnd, enable);
  if (!enable) {
    if (State().focus == hWnd) State().focus = nullptr;
    if (State().capture == hWnd) State().capture = nullptr;
  }
  Deliver(hWnd, WM_ENABLE, enable, 0);
  return was_disabled;
}

BOOL WINAPI EnumThreadWindows(DWORD dwThreadId, WNDENUMPROC lpfn, LPARAM lParam) {
  if (lpfn == nullptr || dwThreadId != GetCurrentThreadId()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::vector<HWND> windows;
  {
    UserLock lock(State().Lock());
    windows = State().TopLevel();
  }
  for (HWND window : windows) {
    if (!IsWindow(window)) continue;
    if (!lpfn(window, lParam)) return FALSE;
  }
  return TRUE;
}

HWND WINAPI GetActiveWindow() {
  UserLock lock(State().Lock());
  return State().active;
}

HWND WINAPI SetActiveWindow(HWND hWnd) {
  UserLock lock(State().Lock());
  const HWND old = State().active;
  if (hWnd != nullptr) {
    Window* w = Valid(hWnd);
    if (w == nullptr) return nullptr;
    if (!w->enabled) return old;
    while (w->parent != nullptr) {  // a child activates its top-level window
      hWnd = w->parent;
      w = State().Find(hWnd);
    }
  }
  Activate(hWnd);
  return old;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd) {
  UserLock lock(State().Lock());
  Window* w = Valid(hWnd);
  if (w == nullptr) return FALSE;
  State().foreground = hWnd;
  if (w->visible && w->enabled && IsTopLevel(*w)) Activate(hWnd);
  return TRUE;
}

HWND WINAPI GetForegroundWindow() {
  UserLock lock(State().Lock());
  return State().foreground;
}

BOOL WINAPI IsIconic(HWND hWnd) {
  UserLock lock(State().Lock());
  const Window* w = State().Find(hWnd);
  return w != nullptr && w->minimized;
}

HWND WINAPI GetFocus() {
  UserLock lock(State().Lock());
  return State().focus;
}

HWND WINAPI SetFocus(HWND hWnd) {
  UserLock lock(State().Lock());
  const HWND old = State().focus;
  if (hWnd != nullptr && Valid(hWnd) == nullptr) return nullptr;
  if (old == hWnd) return old;
  State().focus = hWnd;
  if (hWnd != nullptr) Display().WindowFocused(hWnd);
  if (old != nullptr) Deliver(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hWnd), 0);
  if (hWnd != nullptr) Deliver(hWnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
  return old;
}

HWND WINAPI GetCapture() {
  UserLock lock(State().Lock());
  return State().capture;
}

HWND WINAPI SetCapture(HWND hWnd) {
  UserLock lock(State().Lock());
  const HWND old = State().capture;
  if (Valid(hWnd) != nullptr) State().capture = hWnd;
  return old;
}

BOOL WINAPI ReleaseCapture() {
  UserLock lock(State().Lock());
  State().capture = nullptr;
  return TRUE;
}

BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  return Deliver(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(lpString)) != 0;
}

int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (lpString == nullptr || nMaxCount <= 0) return 0;
  return static_cast<int>(Deliver(hWnd, WM_GETTEXT, static_cast<WPARAM>(nMaxCount),
                                  reinterpret_cast<LPARAM>(lpString)));
}

int WINAPI GetWindowTextLengthA(HWND hWnd) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return static_cast<int>(Deliver(hWnd, WM_GETTEXTLENGTH, 0, 0));
}
