// Buttons: a click sets the form's modal result from the button's, then runs OnClick.
#pragma once

#include <string>

#include "Forms/Component.h"
#include "Forms/Controls.h"
#include "Forms/Form.h"

namespace wydruki::forms {

class TButton : public TControl {
 public:
  explicit TButton(TCustomForm* form, const Bounds& bounds = {}, const std::string& caption = "")
      : TControl(form, "BUTTON", BS_PUSHBUTTON | WS_TABSTOP, bounds, caption) {}

  // The user's click: the form takes the button's modal result, then OnClick runs.
  virtual void Click();
  void Command(WORD code) override {
    if (code == BN_CLICKED) Click();
  }

  TModalResult ModalResult = mrNone;
  bool Default = false;
  bool Cancel = false;
  TNotifyEvent OnClick;
};

enum class TBitBtnKind {
  bkCustom,
  bkOK,
  bkCancel,
  bkHelp,
  bkYes,
  bkNo,
  bkClose,
  bkAbort,
  bkRetry,
  bkIgnore,
  bkAll
};

class TBitBtn : public TButton {
 public:
  using TButton::TButton;

  TBitBtnKind Kind() const { return kind_; }
  // Any kind but bkCustom sets Default, Cancel, ModalResult and the stock caption.
  void SetKind(TBitBtnKind kind);
  void Click() override;

 private:
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
};

}  // namespace wydruki::forms
