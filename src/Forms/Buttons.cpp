#include "Forms/Buttons.h"

namespace wydruki::forms {
namespace {

struct KindTraits {
  TModalResult modal_result;
  bool keeps_modal_result;
  const char* caption;
};

KindTraits TraitsOf(TBitBtnKind kind) {
  switch (kind) {
    case TBitBtnKind::bkCustom:
      return {mrNone, true, ""};
    case TBitBtnKind::bkOK:
      return {mrOk, false, "OK"};
    case TBitBtnKind::bkCancel:
      return {mrCancel, false, "Cancel"};
    case TBitBtnKind::bkHelp:
      return {mrNone, false, "&Help"};
    case TBitBtnKind::bkYes:
      return {mrYes, false, "&Yes"};
    case TBitBtnKind::bkNo:
      return {mrNo, false, "&No"};
    case TBitBtnKind::bkClose:
      return {mrNone, false, "&Close"};
    case TBitBtnKind::bkAbort:
      return {mrAbort, false, "Abort"};
    case TBitBtnKind::bkRetry:
      return {mrRetry, false, "&Retry"};
    case TBitBtnKind::bkIgnore:
      return {mrIgnore, false, "&Ignore"};
    case TBitBtnKind::bkAll:
      return {mrAll, false, "&All"};
  }
  return {mrNone, true, ""};
}

}  // namespace

void TButton::Click() {
  if (form_ != nullptr) form_->ModalResult = ModalResult;
  OnClick(this);
}

void TBitBtn::SetKind(TBitBtnKind kind) {
  kind_ = kind;
  const KindTraits traits = TraitsOf(kind);
  if (traits.keeps_modal_result) return;
  Default = kind == TBitBtnKind::bkOK || kind == TBitBtnKind::bkYes;
  Cancel = kind == TBitBtnKind::bkCancel || kind == TBitBtnKind::bkNo;
  ModalResult = traits.modal_result;
  if (Caption().empty()) SetCaption(traits.caption);
}

void TBitBtn::Click() {
  if (kind_ == TBitBtnKind::bkClose) {
    if (form_ != nullptr) form_->CloseForm();
    return;
  }
  TButton::Click();
}

}  // namespace wydruki::forms
