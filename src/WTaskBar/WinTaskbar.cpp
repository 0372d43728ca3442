// SPDX-License-Identifier: MIT
#include "WTaskBar/WinTaskbar.h"

#include <algorithm>
#include <cstring>

#include "Base/Exceptions.h"
#include "resources/MessageTexts.h"

namespace wydruki::wtaskbar {
namespace {

forms::TCustomForm* OwnerForm(forms::TComponent* owner) {
  auto* form = dynamic_cast<forms::TCustomForm*>(owner);
  if (form == nullptr) throw EInvalidCast(resources::kInvalidCast);
  return form;
}

// The first form of the record has a tip of 64 bytes: 63 characters and a terminator. A longer
// hint shows its beginning.
constexpr std::size_t kTipBytes = 64;

void CopyTip(NOTIFYICONDATAA& data, const std::string& hint) {
  std::memset(data.szTip, 0, kTipBytes);
  std::memcpy(data.szTip, hint.data(), std::min(hint.size(), kTipBytes - 1));
}

}  // namespace

TCustomWinTaskbar::TCustomWinTaskbar(forms::TComponent* owner) : TComponent(owner) {
  owner_window_ = OwnerForm(owner)->Handle();
  message_window_ =
      forms::MakeMessageWindow([this](forms::MessageRecord& m) { HandleTrayMessage(m); });
  icon_data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
  icon_data_.hWnd = message_window_;
  icon_data_.uID = 0;
  icon_data_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  icon_data_.uCallbackMessage = TrayCallbackMessage;
  icon_data_.hIcon = nullptr;
  CopyTip(icon_data_, hint_);
}

TCustomWinTaskbar::~TCustomWinTaskbar() {
  try {
    SetShowIcon(false);
  } catch (const std::exception&) {
    // Going away regardless.
  }
  forms::FreeMessageWindow(message_window_);
}

void TCustomWinTaskbar::SyncShellIcon() {
  DWORD request = NIM_DELETE;
  HICON handle = nullptr;
  if (show_icon_ && !icon_.Empty()) {
    request = icon_data_.hIcon != nullptr ? NIM_MODIFY : NIM_ADD;
    handle = icon_.Handle();
  }
  icon_data_.hIcon = handle;
  Shell_NotifyIconA(request, &icon_data_);
}

void TCustomWinTaskbar::SetHint(const std::string& hint) {
  if (hint != hint_) {
    CopyTip(icon_data_, hint);
    hint_ = hint;
    SyncShellIcon();
  }
  hint_ = hint;
}

void TCustomWinTaskbar::SetIcon(const graphics::TIcon* icon) {
  icon_.Assign(icon);
  SyncShellIcon();
}

void TCustomWinTaskbar::SetShowIcon(bool show) {
  show_icon_ = show;
  SyncShellIcon();
}

void TCustomWinTaskbar::Notification(forms::TComponent* component, forms::TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == forms::TOperation::opRemove && component == PopUpMenu) PopUpMenu = nullptr;
}

void TCustomWinTaskbar::HandleTrayMessage(forms::MessageRecord& message) {
  POINT pointer{0, 0};
  GetCursorPos(&pointer);
  if (message.Msg != TrayCallbackMessage) {
    forms::DefaultHandler(message_window_, message);
    return;
  }
  const int x = pointer.x;
  const int y = pointer.y;
  constexpr TShiftState kNone = 0;
  switch (message.LParam) {
    case WM_MOUSEMOVE:
      NotifyPointerMove(kNone, x, y);
      break;
    case WM_LBUTTONDOWN:
      NotifyButtonDown(TMouseButton::mbLeft, kNone, x, y);
      break;
    case WM_LBUTTONUP:
      NotifyButtonUp(TMouseButton::mbLeft, kNone, x, y);
      break;
    case WM_RBUTTONDOWN:
      NotifyButtonDown(TMouseButton::mbRight, kNone, x, y);
      break;
    case WM_RBUTTONUP:
      NotifyButtonUp(TMouseButton::mbRight, kNone, x, y);
      break;
    case WM_MBUTTONDOWN:
      NotifyButtonDown(TMouseButton::mbMiddle, kNone, x, y);
      break;
    case WM_MBUTTONUP:
      NotifyButtonUp(TMouseButton::mbMiddle, kNone, x, y);
      break;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
      NotifyDblClick();
      break;
    default:
      break;
  }
}

void TCustomWinTaskbar::NotifyDblClick() { OnDblClick(this); }

void TCustomWinTaskbar::NotifyButtonDown(TMouseButton button, TShiftState shift, int x, int y) {
  OnButtonDown(this, button, shift, x, y);
}

void TCustomWinTaskbar::NotifyPointerMove(TShiftState shift, int x, int y) {
  OnPointerMove(this, shift, x, y);
}

void TCustomWinTaskbar::NotifyButtonUp(TMouseButton button, TShiftState shift, int x, int y) {
  OnButtonUp(this, button, shift, x, y);
}

void TCustomWinTaskbar::ShowMenuAt(int x, int y) {
  if (PopUpMenu == nullptr) return;
  SetForegroundWindow(owner_window_);
  PopUpMenu->Popup(x, y);
  PostMessageA(owner_window_, WM_USER, 0, 0);
}

void TWinTaskbar::NotifyButtonDown(TMouseButton button, TShiftState, int x, int y) {
  if (button == TMouseButton::mbRight) ShowMenuAt(x, y);
}

void TWinTaskbar::NotifyButtonUp(TMouseButton button, TShiftState, int, int) {
  if (button != TMouseButton::mbLeft) return;
  if (dbl_click_seen_) {
    // The release that ends a double click is not a click.
    dbl_click_seen_ = false;
    return;
  }
  NotifyClick();
}

void TWinTaskbar::NotifyClick() {
  if (!OnClick) return;
  SetForegroundWindow(OwnerWindow());
  OnClick(this);
}

void TWinTaskbar::NotifyDblClick() {
  if (!OnDblClick) return;
  dbl_click_seen_ = true;
  SetForegroundWindow(OwnerWindow());
  OnDblClick(this);
}

}  // namespace wydruki::wtaskbar
