#include "shell/desktop_tray.h"

#include <algorithm>
#include <cstdio>

#include "common/debug_channel.h"
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
  entry->presence = std::make_unique<TrayPresence>(
      "wydrukid95", "Wydruki z D'95",
      TrayPresence::Callbacks{post,
                              [this](UINT_PTR command) {
                                if (menu_owner_ != nullptr)
                                  PostMessageA(menu_owner_, WM_COMMAND, command, 0);
                              },
                              [this, key] { RequestMenu(key); }, [this, key] { Unreachable(key); },
                              nullptr});
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

void DesktopTray::Delete(const TrayIconState& icon) { icons_.erase(Key{icon.window, icon.id}); }

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

void DesktopTray::Unreachable(const Key& key) {
  if (told_) return;
  told_ = true;
  unreachable_ = key;
  std::fprintf(stderr,
               "wydrukid95: this desktop has no notification area; the configuration window "
               "stays on screen so the agent can still be configured and ended\n");
  if (startup_hide_seen_)
    ShowInstead();
  else
    show_pending_ = true;
}

void DesktopTray::WindowShown(HWND, bool visible) {
  if (visible) return;
  startup_hide_seen_ = true;
  if (show_pending_) {
    show_pending_ = false;
    ShowInstead();
  }
}

void DesktopTray::ShowInstead() {
  const auto it = icons_.find(unreachable_);
  if (it == icons_.end()) return;
  // The program's own double-click handling shows its configuration window.
  const UINT callback = it->second->state.callback;
  for (const UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    PostMessageA(unreachable_.first, callback, unreachable_.second, message);
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

int DesktopTray::Place(HWND window, UINT id) const {
  const auto it = icons_.find(Key{window, id});
  return it == icons_.end() ? -1 : static_cast<int>(it->second->presence->Where());
}

}  // namespace wydruki::platform
