// SPDX-License-Identifier: MIT
// The standard controls that need no registration: buttons (push buttons, check boxes, group
// frames), statics, edit fields and combo boxes. They keep their state; the null display
// shows none of it, the gtk
// display mirrors it in native widgets.
#include <algorithm>
#include <cstring>

#include "user/display_driver.h"
#include "user/user_state.h"

namespace wydruki::platform {
namespace {

void NotifyParent(HWND window, WORD code) {
  Window* w = UserState::Instance().Find(window);
  if (w == nullptr || w->parent == nullptr) return;
  Deliver(w->parent, WM_COMMAND, MAKELONG(static_cast<WORD>(w->id), code),
          reinterpret_cast<LPARAM>(window));
}

}  // namespace

void RegisterSystemClasses() {
  UserState& s = UserState::Instance();
  if (s.FindClass("BUTTON") != nullptr) return;
  for (const char* name : {"BUTTON", "STATIC", "EDIT", "COMBOBOX"}) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = StandardControlProcedure;
    wc.lpszClassName = name;
    s.AddClass(wc, true);
  }
}

LRESULT CALLBACK StandardControlProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  UserLock lock(UserState::Instance().Lock());
  Window* w = UserState::Instance().Find(window);
  if (w == nullptr) return 0;
  ControlState& c = w->control;
  switch (message) {
    case BM_GETCHECK:
      return c.check;
    case BM_SETCHECK:
      c.check = static_cast<int>(wparam);
      Display().ControlChanged(window);
      return 0;
    case BM_SETIMAGE: {
      if (wparam != IMAGE_BITMAP && wparam != IMAGE_ICON) return 0;
      HANDLE previous = c.image_type == wparam ? c.image : nullptr;
      c.image = reinterpret_cast<HANDLE>(lparam);
      c.image_type = wparam;
      Display().ControlChanged(window);
      return reinterpret_cast<LRESULT>(previous);
    }
    case BM_GETIMAGE:
      return c.image_type == wparam ? reinterpret_cast<LRESULT>(c.image) : 0;
    case BM_CLICK:
      if ((w->style & 0x0F) == BS_AUTOCHECKBOX)
        c.check = c.check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
      Display().ControlChanged(window);
      NotifyParent(window, BN_CLICKED);
      return 0;
    case CB_ADDSTRING:
      if (lparam == 0) return CB_ERR;
      c.items.emplace_back(reinterpret_cast<const char*>(lparam));
      Display().ControlChanged(window);
      return static_cast<LRESULT>(c.items.size() - 1);
    case CB_GETCOUNT:
      return static_cast<LRESULT>(c.items.size());
    case CB_RESETCONTENT:
      c.items.clear();
      c.selection = CB_ERR;
      w->text.clear();
      Display().ControlChanged(window);
      return 0;
    case CB_SETCURSEL:
      if (static_cast<int>(wparam) < 0 || wparam >= c.items.size()) {
        c.selection = CB_ERR;
        w->text.clear();
        Display().ControlChanged(window);
        return CB_ERR;
      }
      c.selection = static_cast<int>(wparam);
      w->text = c.items[wparam];
      Display().ControlChanged(window);
      return c.selection;
    case CB_GETCURSEL:
      return c.selection;
    case CB_GETLBTEXT:
      if (wparam >= c.items.size() || lparam == 0) return CB_ERR;
      std::memcpy(reinterpret_cast<char*>(lparam), c.items[wparam].c_str(),
                  c.items[wparam].size() + 1);
      return static_cast<LRESULT>(c.items[wparam].size());
    case EM_LIMITTEXT:
      c.limit = static_cast<int>(wparam);
      Display().ControlChanged(window);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

}  // namespace wydruki::platform
