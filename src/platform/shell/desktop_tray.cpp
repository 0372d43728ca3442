// SPDX-License-Identifier: MIT
#include "shell/desktop_tray.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "common/debug_channel.h"
#include "platform/api/kernel.h"
#include "platform/api/user.h"
#include "user/icon_pixmap.h"
#include "shell/tray_presence.h"
#include "shell/tray_text.h"
#include "user/menu_watch.h"
#include "user/user_state.h"

namespace wydruki::platform {
namespace {

std::optional<IconPicture> PictureOf(HICON icon) {
  UserLock lock(UserState::Instance().Lock());
  const auto& icons = UserState::Instance().icons;
  const auto it = icons.find(icon);
  if (it == icons.end()) return std::nullopt;
  return DecodeIconImage(it->second->bits);
}

// The program file's name without its directory and extension.
std::string ProgramId() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name(path, length);
  name = name.substr(name.find_last_of("\\/") + 1);
  if (const auto dot = name.rfind('.'); dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? "program" : name;
}

// The text of the program's application window (UTF-8), or `fallback`.
std::string ProgramTitle(const std::string& fallback) {
  std::vector<HWND> tops;
  {
    UserLock lock(UserState::Instance().Lock());
    tops = UserState::Instance().TopLevel();
  }
  HWND first = nullptr;
  for (HWND window : tops) {
    const DWORD style = static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE));
    const DWORD ex_style = static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE));
    if ((style & WS_CAPTION) != WS_CAPTION || (ex_style & WS_EX_TOOLWINDOW) != 0) continue;
    // Handles are given out in ascending order: the smallest is the earliest.
    if (first == nullptr || window < first) first = window;
  }
  char text[256] = {};
  if (first == nullptr || GetWindowTextA(first, text, sizeof text) <= 0) return fallback;
  return Windows1250ToUtf8(text);
}

}  // namespace

struct DesktopTray::Entry {
  TrayIconState state;
  std::unique_ptr<TrayPresence> presence;
  HICON shown_icon = nullptr;
};

DesktopTray::DesktopTray() {
  SetMenuWatch(MenuWatch{[this](HMENU menu, HWND owner) { return Popup(menu, owner); },
                         [this](HMENU menu) { MenuChanged(menu); }});
}

DesktopTray::~DesktopTray() {
  SetMenuWatch(MenuWatch{});
  icons_.clear();
}

bool DesktopTray::Add(const TrayIconState& icon) {
  const Key key{icon.window, icon.id};
  if (icons_.count(key) != 0) return false;
  auto entry = std::make_unique<Entry>();
  entry->state = icon;
  const auto post = [key, callback = icon.callback](UINT message) {
    DebugLine(DebugArea::kDisplay, "tray icon " + std::to_string(key.second) + ": mouse message " +
                                       std::to_string(message));
    PostMessageA(key.first, callback, key.second, static_cast<LPARAM>(message));
  };
  const std::string id = ProgramId();
  entry->presence = std::make_unique<TrayPresence>(
      id, ProgramTitle(id),
      TrayPresence::Callbacks{post,
                              [this](UINT_PTR command) {
                                if (menu_owner_ != nullptr)
                                  PostMessageA(menu_owner_, WM_COMMAND, command, 0);
                              },
                              [this, key] { RequestMenu(key); }, [this] { Unreachable(); },
                              [this, key](TrayPresence::Place) { Moved(key); }});
  Entry& added = *entry;
  icons_[key] = std::move(entry);
  Update(added, icon);
  RequestMenu(key);
  return true;
}

bool DesktopTray::Modify(const TrayIconState& icon) {
  const auto it = icons_.find(Key{icon.window, icon.id});
  if (it == icons_.end()) return false;
  Update(*it->second, icon);
  return true;
}

void DesktopTray::Delete(const TrayIconState& icon) {
  icons_.erase(Key{icon.window, icon.id});
  if (unseen_key_ == Key{icon.window, icon.id}) unseen_ = false;
}

void DesktopTray::Update(Entry& entry, const TrayIconState& icon) {
  entry.state = icon;
  IconPicture picture;
  if (auto decoded = PictureOf(icon.icon)) picture = std::move(*decoded);
  entry.presence->Show(picture, Windows1250ToUtf8(icon.tip));
}

void DesktopTray::RequestMenu(const Key& key) {
  if (menu_ != nullptr || capture_) return;
  const auto it = icons_.find(key);
  if (it == icons_.end()) return;
  capture_ = true;
  PostMessageA(key.first, it->second->state.callback, key.second, WM_RBUTTONDOWN);
  PostMessageA(key.first, it->second->state.callback, key.second, WM_RBUTTONUP);
}

bool DesktopTray::Popup(HMENU menu, HWND owner) {
  if (!capture_) return false;
  capture_ = false;
  menu_ = menu;
  menu_owner_ = owner;
  MenuChanged(menu);
  return true;
}

void DesktopTray::MenuChanged(HMENU menu) {
  if (menu != menu_ || menu == nullptr) return;
  std::vector<TrayMenuEntry> entries;
  {
    UserLock lock(UserState::Instance().Lock());
    const auto& menus = UserState::Instance().menus;
    const auto it = menus.find(menu);
    if (it == menus.end()) {
      // The menu is gone; the next host that asks gets the program's next one.
      menu_ = nullptr;
      menu_owner_ = nullptr;
      return;
    }
    for (const MenuItem& item : it->second->items) {
      TrayMenuEntry entry;
      entry.command = item.id;
      entry.separator = (item.flags & MF_SEPARATOR) != 0;
      entry.enabled = (item.flags & (MF_GRAYED | MF_DISABLED)) == 0;
      if (!entry.separator) entry.label = MenuLabel(item.text);
      entries.push_back(std::move(entry));
    }
  }
  for (auto& [key, entry] : icons_) entry->presence->SetMenu(entries);
}

void DesktopTray::Unreachable() {
  if (told_) return;
  told_ = true;
  std::fprintf(stderr,
               "wydrukid95: this desktop has no notification area; the configuration window "
               "stays on screen so the agent can still be configured and ended\n");
}

void DesktopTray::Moved(const Key& key) {
  const bool seen = std::any_of(icons_.begin(), icons_.end(), [](const auto& icon) {
    const auto place = icon.second->presence->Where();
    return place == TrayPresence::Place::kStatusNotifier || place == TrayPresence::Place::kXembed;
  });
  const bool undecided = std::all_of(icons_.begin(), icons_.end(), [](const auto& icon) {
    return icon.second->presence->Where() == TrayPresence::Place::kUndecided;
  });
  if (undecided || seen == !unseen_) return;
  unseen_ = !seen;
  if (unseen_) {
    unseen_key_ = key;
    DebugLine(DebugArea::kDisplay, "tray: no icon can be seen; the window is shown instead");
    if (startup_hide_seen_)
      ShowInstead();
    else
      show_pending_ = true;
    return;
  }
  show_pending_ = false;
  awaiting_window_ = false;
  const HWND window = std::exchange(shown_instead_, nullptr);
  DebugLine(DebugArea::kDisplay, "tray: an icon can be seen again");
  if (window != nullptr && !touched_ && IsWindowVisible(window)) PutAwayWindow(window);
}

void DesktopTray::WindowShown(HWND window, bool visible) {
  if (visible) {
    // A window the person had open already is theirs, not a stand-in to put away later.
    const bool newly = shown_.insert(window).second;
    if (std::exchange(awaiting_window_, false) && newly) {
      shown_instead_ = window;
      touched_ = false;
    }
    return;
  }
  shown_.erase(window);
  if (window == shown_instead_) shown_instead_ = nullptr;
  startup_hide_seen_ = true;
  if (show_pending_) {
    show_pending_ = false;
    ShowInstead();
  }
}

void DesktopTray::WindowTouched(HWND window) {
  if (window == shown_instead_) touched_ = true;
}

void DesktopTray::ShowInstead() {
  const auto it = icons_.find(unseen_key_);
  if (it == icons_.end() || !unseen_) return;
  // The program's own double-click handling shows its configuration window.
  awaiting_window_ = true;
  const UINT callback = it->second->state.callback;
  for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    PostMessageA(unseen_key_.first, callback, unseen_key_.second, message);
}

std::uint32_t DesktopTray::LastClickTime() const {
  std::uint32_t latest = 0;
  for (const auto& [key, entry] : icons_)
    latest = std::max(latest, entry->presence->LastClickTime());
  return latest;
}

std::string DesktopTray::TakeActivationToken() {
  for (auto& [key, entry] : icons_) {
    std::string token = entry->presence->TakeActivationToken();
    if (!token.empty()) return token;
  }
  return {};
}

std::optional<POINT> DesktopTray::TakeMenuPosition() {
  std::optional<POINT> position;
  for (auto& [key, entry] : icons_)
    if (const auto at = entry->presence->TakeMenuPosition())
      position = POINT{at->first, at->second};
  return position;
}

}  // namespace wydruki::platform
