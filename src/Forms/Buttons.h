// Buttons: a click sets the form's modal result from the button's, then runs OnClick.
#pragma once

#include <string>

#include "Forms/Component.h"
#include "Forms/Form.h"

namespace wydruki::forms {

class TButton : public TComponent {
 public:
  explicit TButton(TCustomForm* form) : TComponent(form), form_(form) {}

  // The user's click: the form takes the button's modal result, then OnClick runs.
  virtual void Click();

  std::string Caption;
  TModalResult ModalResult = mrNone;
  bool Default = false;
  bool Cancel = false;
  bool Enabled = true;
  TNotifyEvent OnClick;

 protected:
  TCustomForm* form_;
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
