// SPDX-License-Identifier: MIT
// The notification-area icon: one icon with a tip, kept in step with its properties, whose
// mouse notifications become component events: a right-button press opens the popup menu at
// the pointer, a double click calls OnDblClick, a single left click calls OnClick.
#pragma once

#include <string>

#include "Forms/Component.h"
#include "Forms/Form.h"
#include "Forms/Menus.h"
#include "Forms/MessageWindow.h"
#include "Graphics/Icon.h"
#include "platform/winapi.h"

namespace wydruki::wtaskbar {

enum class TMouseButton { mbLeft, mbRight, mbMiddle };
// Shift, Alt, Ctrl and the buttons held; the shell tells none of them, so it is always empty.
using TShiftState = unsigned;
using TMouseEvent = forms::Event<forms::TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = forms::Event<forms::TObject*, TShiftState, int, int>;

// The shell's callback message for the icon: the first user message number plus 123.
inline constexpr UINT TrayCallbackMessage = WM_USER + 123;

class TCustomWinTaskbar : public forms::TComponent {
 public:
  // The owner must be a form: "Invalid class typecast" otherwise.
  explicit TCustomWinTaskbar(forms::TComponent* owner);
  // Removes the icon from the notification area.
  ~TCustomWinTaskbar() override;

  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  graphics::TIcon& Icon() { return icon_; }
  void SetIcon(const graphics::TIcon* icon);
  bool ShowIcon() const { return show_icon_; }
  // Sends the shell its request even when the value is unchanged.
  void SetShowIcon(bool show);
  forms::TPopupMenu* PopUpMenu = nullptr;
  forms::TNotifyEvent OnDblClick;
  TMouseEvent OnButtonDown;
  TMouseMoveEvent OnPointerMove;
  TMouseEvent OnButtonUp;

  const NOTIFYICONDATAA& IconData() const { return icon_data_; }
  HWND OwnerWindow() const { return owner_window_; }
  HWND MessageWindow() const { return message_window_; }

  void Notification(forms::TComponent* component, forms::TOperation operation) override;
  // The handler bound to the hidden message window.
  void HandleTrayMessage(forms::MessageRecord& message);

 protected:
  virtual void NotifyDblClick();
  virtual void NotifyButtonDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void NotifyPointerMove(TShiftState shift, int x, int y);
  virtual void NotifyButtonUp(TMouseButton button, TShiftState shift, int x, int y);
  void ShowMenuAt(int x, int y);

 private:
  // The one place that talks to the shell.
  void SyncShellIcon();

  std::string hint_;
  graphics::TIcon icon_;
  NOTIFYICONDATAA icon_data_{};
  HWND owner_window_ = nullptr;
  bool show_icon_ = false;
  HWND message_window_ = nullptr;
};

class TWinTaskbar : public TCustomWinTaskbar {
 public:
  using TCustomWinTaskbar::TCustomWinTaskbar;

  forms::TNotifyEvent OnClick;
  bool DblClickSeen() const { return dbl_click_seen_; }

 protected:
  void NotifyDblClick() override;
  void NotifyButtonDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void NotifyButtonUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void NotifyClick();

  bool dbl_click_seen_ = false;
};

}  // namespace wydruki::wtaskbar
