// SPDX-License-Identifier: MIT
#include "user/user_state.h"

#include <algorithm>

#include "common/ascii_case.h"

namespace wydruki::platform {

UserState& UserState::Instance() {
  static UserState* state = new UserState;  // lives until the process ends
  return *state;
}

Window* UserState::Find(HWND handle) {
  const auto it = windows_.find(handle);
  return it == windows_.end() ? nullptr : it->second.get();
}

Window& UserState::Add(std::unique_ptr<Window> window) {
  window->handle = reinterpret_cast<HWND>(next_handle_);
  next_handle_ += 4;
  Window& added = *window;
  if (window->parent == nullptr) z_order_.insert(z_order_.begin(), added.handle);
  windows_[added.handle] = std::move(window);
  return added;
}

void UserState::Remove(HWND handle) {
  z_order_.erase(std::remove(z_order_.begin(), z_order_.end(), handle), z_order_.end());
  windows_.erase(handle);
}

std::vector<HWND> UserState::ChildrenOf(HWND parent) const {
  std::vector<HWND> children;
  for (const auto& [handle, window] : windows_)
    if (window->parent == parent) children.push_back(handle);
  return children;
}

std::vector<HWND> UserState::OwnedBy(HWND owner) const {
  std::vector<HWND> owned;
  for (const auto& [handle, window] : windows_)
    if (window->parent == nullptr && window->owner == owner) owned.push_back(handle);
  return owned;
}

void UserState::RaiseToTop(HWND handle) {
  const auto it = std::find(z_order_.begin(), z_order_.end(), handle);
  if (it == z_order_.end()) return;
  z_order_.erase(it);
  z_order_.insert(z_order_.begin(), handle);
}

WindowClass* UserState::FindClass(const char* name_or_atom) {
  if (name_or_atom == nullptr) return nullptr;
  if (IS_INTRESOURCE(name_or_atom)) {
    const ATOM atom = static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name_or_atom));
    for (auto& c : classes_)
      if (c->atom == atom) return c.get();
    return nullptr;
  }
  for (auto& c : classes_)
    if (EqualsIgnoreCase(c->name, name_or_atom)) return c.get();
  return nullptr;
}

WindowClass& UserState::AddClass(const WNDCLASSA& info, bool system) {
  auto c = std::make_unique<WindowClass>();
  c->name = info.lpszClassName;
  c->atom = next_atom_++;
  c->info = info;
  c->info.lpszClassName = nullptr;  // the caller's text is not kept
  c->info.lpszMenuName = nullptr;
  c->system = system;
  classes_.push_back(std::move(c));
  return *classes_.back();
}

bool UserState::RemoveClass(const char* name_or_atom) {
  WindowClass* c = FindClass(name_or_atom);
  if (c == nullptr) return false;
  classes_.erase(
      std::remove_if(classes_.begin(), classes_.end(), [c](const auto& p) { return p.get() == c; }),
      classes_.end());
  return true;
}

HMENU UserState::NewMenu() {
  const HMENU handle = reinterpret_cast<HMENU>(next_handle_);
  next_handle_ += 4;
  menus[handle] = std::make_unique<Menu>();
  return handle;
}

HICON UserState::NewIcon(std::unique_ptr<Icon> icon) {
  const HICON handle = reinterpret_cast<HICON>(next_handle_);
  next_handle_ += 4;
  icon->image_id = ImageId(icon->bits);
  icons[handle] = std::move(icon);
  return handle;
}

std::uint32_t ImageId(const std::vector<std::uint8_t>& bits) {
  std::uint32_t hash = 2166136261u;  // FNV-1a
  for (const std::uint8_t b : bits) {
    hash ^= b;
    hash *= 16777619u;
  }
  return hash;
}

}  // namespace wydruki::platform
