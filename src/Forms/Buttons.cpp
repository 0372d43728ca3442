// SPDX-License-Identifier: MIT
#include "Forms/Buttons.h"

#include "resources/ProgramResources.h"

namespace wydruki::forms {
namespace {

struct KindTraits {
  TModalResult modal_result;
  bool keeps_modal_result;
  const char* caption;
  const char* glyph;
};

KindTraits TraitsOf(TBitBtnKind kind) {
  switch (kind) {
    case TBitBtnKind::bkCustom:
      return {mrNone, true, "", nullptr};
    case TBitBtnKind::bkOK:
      return {mrOk, false, "OK", resources::kGlyphOk};
    case TBitBtnKind::bkCancel:
      return {mrCancel, false, "Cancel", resources::kGlyphCancel};
    case TBitBtnKind::bkHelp:
      return {mrNone, false, "&Help", resources::kGlyphHelp};
    case TBitBtnKind::bkYes:
      return {mrYes, false, "&Yes", resources::kGlyphOk};
    case TBitBtnKind::bkNo:
      return {mrNo, false, "&No", resources::kGlyphCancel};
    case TBitBtnKind::bkClose:
      return {mrNone, false, "&Close", resources::kGlyphCancel};
    case TBitBtnKind::bkAbort:
      return {mrAbort, false, "Abort", resources::kGlyphCancel};
    case TBitBtnKind::bkRetry:
      return {mrRetry, false, "&Retry", resources::kGlyphHelp};
    case TBitBtnKind::bkIgnore:
      return {mrIgnore, false, "&Ignore", resources::kGlyphHelp};
    case TBitBtnKind::bkAll:
      return {mrAll, false, "&All", resources::kGlyphOk};
  }
  return {mrNone, true, "", nullptr};
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
  SetGlyph(traits.glyph);
  if (Caption().empty()) SetCaption(traits.caption);
}

void TBitBtn::SetGlyph(const std::string& resource_name) {
  glyph_ = static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), resource_name.c_str(),
                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  if (window_ != nullptr)
    SendMessageA(window_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyph_));
}

void TBitBtn::Click() {
  if (kind_ == TBitBtnKind::bkClose) {
    if (form_ != nullptr) form_->CloseForm();
    return;
  }
  TButton::Click();
}

}  // namespace wydruki::forms
