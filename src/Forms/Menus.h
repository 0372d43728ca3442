// SPDX-License-Identifier: MIT
// The popup menu: items with captions and click handlers, shown at a screen point. The chosen
// item's command reaches the menu's own hidden window, which runs the item's handler.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Forms/Component.h"
#include "Forms/MessageWindow.h"
#include "platform/winapi.h"

namespace wydruki::forms {

class TPopupMenu;

class TMenuItem {
 public:
  const std::string& Caption() const { return caption_; }
  bool Enabled() const { return enabled_; }
  // Greys the item out or makes it selectable again.
  void SetEnabled(bool enabled);
  bool IsSeparator() const { return caption_ == "-"; }
  UINT Command() const { return command_; }
  // Runs OnClick, as choosing the item does.
  void Click() { OnClick(nullptr); }

  std::string Name;
  TNotifyEvent OnClick;

 private:
  friend class TPopupMenu;
  TMenuItem(TPopupMenu& menu, std::string caption, UINT command)
      : menu_(menu), caption_(std::move(caption)), command_(command) {}

  TPopupMenu& menu_;
  std::string caption_;
  UINT command_;
  bool enabled_ = true;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* owner);
  ~TPopupMenu() override;

  // Appends an item; the caption "-" is a separator.
  TMenuItem& Add(const std::string& caption, TNotifyEvent on_click = {});
  TMenuItem& Item(std::size_t index) { return *items_.at(index); }
  std::size_t Count() const { return items_.size(); }
  // Shows the menu with its top-left corner at the screen point and returns when it closes.
  void Popup(int x, int y);

  HMENU Handle() const { return menu_; }
  HWND WindowHandle() const { return window_; }

 private:
  friend class TMenuItem;
  void WindowMessage(MessageRecord& message);

  HMENU menu_ = nullptr;
  HWND window_ = nullptr;
  std::vector<std::unique_ptr<TMenuItem>> items_;
};

}  // namespace wydruki::forms
