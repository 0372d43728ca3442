// SPDX-License-Identifier: MIT
// Menus: popup menus, the system menu of a window, and their tracking.
#include <string>

#include "platform/api/kernel.h"
#include "user/display.h"
#include "user/display_driver.h"
#include "user/menu_watch.h"
#include "user/user_state.h"

using wydruki::platform::Menu;
using wydruki::platform::MenuItem;
using wydruki::platform::UserLock;
using wydruki::platform::UserState;

namespace {

UserState& State() { return UserState::Instance(); }

wydruki::platform::MenuWatch& Watch() {
  static wydruki::platform::MenuWatch watch;
  return watch;
}

void Changed(HMENU menu) {
  if (Watch().changed) Watch().changed(menu);
}

Menu* ValidMenu(HMENU hMenu) {
  const auto it = State().menus.find(hMenu);
  if (it == State().menus.end()) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

// The item a command or position names, or none.
MenuItem* ItemOf(Menu& menu, UINT item, UINT flags, std::size_t* index = nullptr) {
  if ((flags & MF_BYPOSITION) != 0) {
    if (item >= menu.items.size()) return nullptr;
    if (index != nullptr) *index = item;
    return &menu.items[item];
  }
  for (std::size_t i = 0; i < menu.items.size(); ++i) {
    if (menu.items[i].id == item && (menu.items[i].flags & MF_SEPARATOR) == 0) {
      if (index != nullptr) *index = i;
      return &menu.items[i];
    }
  }
  return nullptr;
}

}  // namespace

namespace wydruki::platform {

void SetMenuWatch(MenuWatch watch) { Watch() = std::move(watch); }

}  // namespace wydruki::platform

HMENU WINAPI CreatePopupMenu() {
  UserLock lock(State().Lock());
  return State().NewMenu();
}

HMENU WINAPI CreateMenu() { return CreatePopupMenu(); }

BOOL WINAPI DestroyMenu(HMENU hMenu) {
  UserLock lock(State().Lock());
  if (ValidMenu(hMenu) == nullptr) return FALSE;
  State().menus.erase(hMenu);
  Changed(hMenu);
  return TRUE;
}

BOOL WINAPI AppendMenuA(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem) {
  UserLock lock(State().Lock());
  Menu* menu = ValidMenu(hMenu);
  if (menu == nullptr) return FALSE;
  MenuItem item;
  item.flags = uFlags;
  item.id = uIDNewItem;
  if ((uFlags & MF_SEPARATOR) == 0) {
    if (lpNewItem == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    item.text = lpNewItem;
  }
  menu->items.push_back(item);
  Changed(hMenu);
  return TRUE;
}

BOOL WINAPI DeleteMenu(HMENU hMenu, UINT uPosition, UINT uFlags) {
  UserLock lock(State().Lock());
  Menu* menu = ValidMenu(hMenu);
  if (menu == nullptr) return FALSE;
  std::size_t index = 0;
  if (ItemOf(*menu, uPosition, uFlags, &index) == nullptr) {
    SetLastError(ERROR_NOT_FOUND);
    return FALSE;
  }
  menu->items.erase(menu->items.begin() + static_cast<std::ptrdiff_t>(index));
  Changed(hMenu);
  return TRUE;
}

BOOL WINAPI EnableMenuItem(HMENU hMenu, UINT uIDEnableItem, UINT uEnable) {
  UserLock lock(State().Lock());
  Menu* menu = ValidMenu(hMenu);
  if (menu == nullptr) return -1;
  MenuItem* item = ItemOf(*menu, uIDEnableItem, uEnable);
  if (item == nullptr) return -1;
  const UINT previous = item->flags & (MF_GRAYED | MF_DISABLED);
  item->flags = (item->flags & ~static_cast<UINT>(MF_GRAYED | MF_DISABLED)) |
                (uEnable & (MF_GRAYED | MF_DISABLED));
  if (previous != (item->flags & (MF_GRAYED | MF_DISABLED))) Changed(hMenu);
  return static_cast<BOOL>(previous);
}

int WINAPI GetMenuItemCount(HMENU hMenu) {
  UserLock lock(State().Lock());
  Menu* menu = ValidMenu(hMenu);
  return menu == nullptr ? -1 : static_cast<int>(menu->items.size());
}

HMENU WINAPI GetSystemMenu(HWND hWnd, BOOL bRevert) {
  UserLock lock(State().Lock());
  if (State().Find(hWnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return nullptr;
  }
  auto& menus = State().system_menus;
  if (bRevert) {
    if (auto it = menus.find(hWnd); it != menus.end()) {
      State().menus.erase(it->second);
      menus.erase(it);
    }
    return nullptr;
  }
  if (auto it = menus.find(hWnd); it != menus.end()) return it->second;
  const HMENU menu = State().NewMenu();
  for (const auto& [command, text] : {std::pair<UINT, const char*>{SC_RESTORE, "&Restore"},
                                      {SC_MOVE, "&Move"},
                                      {SC_SIZE, "&Size"},
                                      {SC_MINIMIZE, "Mi&nimize"},
                                      {SC_MAXIMIZE, "Ma&ximize"},
                                      {SC_CLOSE, "&Close"}})
    State().menus[menu]->items.push_back(MenuItem{MF_STRING, command, text});
  menus[hWnd] = menu;
  return menu;
}

BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT*) {
  if (Watch().popup && Watch().popup(hMenu, hWnd)) return (uFlags & TPM_RETURNCMD) != 0 ? 0 : TRUE;
  std::string shown = "MENU ";
  Menu copy;
  {
    UserLock lock(State().Lock());
    Menu* menu = ValidMenu(hMenu);
    if (menu == nullptr) return FALSE;
    if (State().Find(hWnd) == nullptr) {
      SetLastError(ERROR_INVALID_WINDOW_HANDLE);
      return FALSE;
    }
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
      if (i > 0) shown += '|';
      shown += (menu->items[i].flags & MF_SEPARATOR) != 0 ? "-" : menu->items[i].text;
    }
    copy = *menu;
  }
  wydruki::platform::RecordSeen(shown);
  // The user's choice: a scripted one, else what the person picks on the display (0 when the
  // menu is dismissed).
  auto choice = wydruki::platform::TakeMenuChoice();
  if (!choice) {
    const auto pending = wydruki::platform::Display().ShowPopupMenu(copy, hWnd, POINT{x, y});
    const int picked = pending ? wydruki::platform::RunUntilAnswered(*pending, 0) : 0;
    if (picked != 0) choice = static_cast<UINT_PTR>(picked);
  }
  UINT_PTR command = 0;
  if (choice) {
    UserLock lock(State().Lock());
    Menu* menu = ValidMenu(hMenu);
    MenuItem* item =
        menu != nullptr ? ItemOf(*menu, static_cast<UINT>(*choice), MF_BYCOMMAND) : nullptr;
    if (item != nullptr && (item->flags & (MF_GRAYED | MF_DISABLED)) == 0) command = item->id;
  }
  if ((uFlags & TPM_RETURNCMD) != 0) return static_cast<BOOL>(command);
  if (command != 0) PostMessageA(hWnd, WM_COMMAND, command, 0);
  return TRUE;
}
