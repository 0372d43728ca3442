// SPDX-License-Identifier: MIT
#include "Forms/Menus.h"

#include "Forms/Application.h"

namespace wydruki::forms {
namespace {
constexpr UINT kFirstCommand = 1;
}  // namespace

void TMenuItem::SetEnabled(bool enabled) {
  enabled_ = enabled;
  EnableMenuItem(menu_.menu_, command_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

TPopupMenu::TPopupMenu(TComponent* owner) : TComponent(owner) {
  menu_ = CreatePopupMenu();
  window_ = MakeMessageWindow([this](MessageRecord& message) { WindowMessage(message); });
}

TPopupMenu::~TPopupMenu() {
  FreeMessageWindow(window_);
  if (menu_ != nullptr) DestroyMenu(menu_);
}

TMenuItem& TPopupMenu::Add(const std::string& caption, TNotifyEvent on_click) {
  const UINT command = kFirstCommand + static_cast<UINT>(items_.size());
  items_.push_back(std::unique_ptr<TMenuItem>(new TMenuItem(*this, caption, command)));
  TMenuItem& item = *items_.back();
  item.OnClick = std::move(on_click);
  if (item.IsSeparator())
    AppendMenuA(menu_, MF_SEPARATOR, command, nullptr);
  else
    AppendMenuA(menu_, MF_STRING, command, caption.c_str());
  return item;
}

void TPopupMenu::Popup(int x, int y) {
  TrackPopupMenu(menu_, TPM_LEFTALIGN | TPM_RIGHTBUTTON, x, y, 0, window_, nullptr);
}

void TPopupMenu::WindowMessage(MessageRecord& message) {
  if (message.Msg == WM_COMMAND && HIWORD(message.WParam) == 0) {
    const UINT command = LOWORD(message.WParam);
    for (auto& item : items_) {
      if (item->command_ == command && item->enabled_ && !item->IsSeparator()) {
        TMenuItem* chosen = item.get();
        chosen->OnClick(this);
        return;
      }
    }
    return;
  }
  DefaultHandler(window_, message);
}

}  // namespace wydruki::forms
