// SPDX-License-Identifier: MIT
// Buttons: a click sets the form's modal result from the button's, then runs OnClick.
#pragma once

#include <string>

#include "platform/winapi.h"

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

// Where a button's glyph stands beside its caption.
enum class TButtonLayout { blGlyphLeft, blGlyphRight };

class TBitBtn : public TButton {
 public:
  using TButton::TButton;

  TBitBtnKind Kind() const { return kind_; }
  // Any kind but bkCustom sets Default, Cancel, ModalResult, the stock glyph and the stock
  // caption.
  void SetKind(TBitBtnKind kind);
  void Click() override;

  // The picture beside the caption: the program's icon resource of that name, shown at the
  // small icon size. A name the program has no resource for leaves the button without one.
  void SetGlyph(const std::string& resource_name);
  HICON Glyph() const { return glyph_; }
  TButtonLayout Layout = TButtonLayout::blGlyphLeft;

 private:
  TBitBtnKind kind_ = TBitBtnKind::bkCustom;
  HICON glyph_ = nullptr;
};

}  // namespace wydruki::forms
