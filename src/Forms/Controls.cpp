// SPDX-License-Identifier: MIT
#include "Forms/Controls.h"

#include <algorithm>
#include <cctype>

namespace wydruki::forms {
namespace {

int NextControlId() {
  static int next = 100;
  return next++;
}

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string WindowText(HWND window) {
  if (window == nullptr) return {};
  const int length = GetWindowTextLengthA(window);
  std::string text(static_cast<std::size_t>(std::max(length, 0)) + 1, '\0');
  const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

// The size of `text` in `font` on the screen: its width, and the height of a line from the top
// of its accents to the bottom of its descenders.
SIZE TextSize(HFONT font, const std::string& text) {
  SIZE size{0, 0};
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return size;
  const HGDIOBJ previous = SelectObject(screen, font);
  TEXTMETRICA metrics{};
  if (GetTextMetricsA(screen, &metrics)) size.cy = metrics.tmHeight;
  SIZE extent{0, 0};
  if (GetTextExtentPoint32A(screen, text.c_str(), static_cast<int>(text.size()), &extent))
    size.cx = extent.cx;
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  return size;
}

}  // namespace

TControl::TControl(TCustomForm* form, const char* window_class, DWORD style, const Bounds& bounds,
                   const std::string& caption)
    : TComponent(form), form_(form), caption_(caption), bounds_(bounds), id_(NextControlId()) {
  if (form != nullptr && form->Handle() != nullptr) {
    window_ = CreateWindowExA(0, window_class, caption.c_str(), WS_CHILD | WS_VISIBLE | style,
                              bounds.left, bounds.top, bounds.width, bounds.height, form->Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
                              GetModuleHandleA(nullptr), nullptr);
    // Controls write in the form's font, not in the system's larger default.
    if (window_ != nullptr)
      SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(form->WindowFont()), FALSE);
  }
}

void TControl::FitToCaption(bool keep_right) {
  if (form_ == nullptr) return;
  const SIZE needed = TextSize(form_->WindowFont(), caption_);
  if (bounds_.height >= needed.cy && bounds_.width >= needed.cx) return;
  bounds_.height = std::max<int>(bounds_.height, needed.cy);
  if (bounds_.width < needed.cx) {
    if (keep_right) bounds_.left -= needed.cx - bounds_.width;
    bounds_.width = needed.cx;
  }
  if (window_ != nullptr)
    SetWindowPos(window_, nullptr, bounds_.left, bounds_.top, bounds_.width, bounds_.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

TControl::~TControl() {
  if (window_ != nullptr) DestroyWindow(window_);
}

void TControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (window_ != nullptr) SetWindowTextA(window_, caption.c_str());
}

void TControl::SetVisible(bool visible) {
  visible_ = visible;
  if (window_ != nullptr) ShowWindow(window_, visible ? SW_SHOW : SW_HIDE);
}

void TControl::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (window_ != nullptr) EnableWindow(window_, enabled ? TRUE : FALSE);
}

TLabel::TLabel(TCustomForm* form, const Bounds& bounds, const std::string& caption,
               TAlignment alignment)
    : TControl(form, "STATIC",
               alignment == TAlignment::taRightJustify ? DWORD{SS_RIGHT} : DWORD{SS_LEFT}, bounds,
               caption) {
  // A label cut at the baseline loses its descenders ("E2E_PS" reads "E2E PS").
  FitToCaption(alignment == TAlignment::taRightJustify);
}

TGroupBox::TGroupBox(TCustomForm* form, const Bounds& bounds, const std::string& caption)
    : TControl(form, "BUTTON", BS_GROUPBOX, bounds, caption) {}

TPanel::TPanel(TCustomForm* form, const Bounds& bounds, const std::string& caption)
    : TControl(form, "STATIC", SS_ETCHEDFRAME, bounds, caption) {}

TCheckBox::TCheckBox(TCustomForm* form, const Bounds& bounds, const std::string& caption)
    : TControl(form, "BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, bounds, caption) {}

void TCheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  if (window_ != nullptr)
    SendMessageA(window_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  OnClick(this);
}

void TCheckBox::Command(WORD code) {
  if (code != BN_CLICKED || window_ == nullptr) return;
  SetChecked(SendMessageA(window_, BM_GETCHECK, 0, 0) == BST_CHECKED);
}

TComboBox::TComboBox(TCustomForm* form, const Bounds& bounds)
    : TControl(form, "COMBOBOX", CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, bounds,
               "") {}

void TComboBox::AddItem(const std::string& item) {
  items_.push_back(item);
  if (window_ != nullptr)
    SendMessageA(window_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void TComboBox::SetItemIndex(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) index = -1;
  item_index_ = index;
  text_ = index >= 0 ? items_[static_cast<std::size_t>(index)] : std::string();
  if (window_ != nullptr) {
    SendMessageA(window_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SetWindowTextA(window_, text_.c_str());
  }
}

void TComboBox::SetText(const std::string& text) {
  text_ = text;
  item_index_ = -1;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == text) {
      item_index_ = static_cast<int>(i);
      break;
    }
  }
  if (window_ != nullptr) SetWindowTextA(window_, text_.c_str());
}

int TComboBox::IndexOf(const std::string& text) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (EqualIgnoringCase(items_[i], text)) return static_cast<int>(i);
  }
  return -1;
}

void TComboBox::Command(WORD code) {
  if (window_ == nullptr) return;
  if (code == CBN_SELCHANGE) {
    const auto selected = static_cast<int>(SendMessageA(window_, CB_GETCURSEL, 0, 0));
    if (selected >= 0 && selected < static_cast<int>(items_.size())) {
      item_index_ = selected;
      text_ = items_[static_cast<std::size_t>(selected)];
    }
  } else if (code == CBN_EDITCHANGE) {
    text_ = WindowText(window_);
    item_index_ = -1;
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (items_[i] == text_) item_index_ = static_cast<int>(i);
  }
}

TMaskEdit::TMaskEdit(TCustomForm* form, const Bounds& bounds)
    : TControl(form, "EDIT", ES_LEFT | WS_BORDER | WS_TABSTOP, bounds, "   ") {
  if (window_ != nullptr) SendMessageA(window_, EM_LIMITTEXT, 3, 0);
}

void TMaskEdit::SetText(const std::string& text) {
  std::string kept;
  for (const char c : text) {
    if (kept.size() == 3) break;
    if ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == ' ') kept += c;
  }
  kept.resize(3, ' ');
  text_ = kept;
  if (window_ != nullptr && WindowText(window_) != text_) SetWindowTextA(window_, text_.c_str());
}

void TMaskEdit::Command(WORD code) {
  if (code == EN_CHANGE && window_ != nullptr) SetText(WindowText(window_));
}

TPaintBox::TPaintBox(TCustomForm* form, const Bounds& bounds)
    : TControl(form, "STATIC", SS_WHITERECT, bounds, "") {
  // Without a window of its own the box draws on a screen context, unseen but measurable.
  dc_ = GetDC(window_);
  canvas_.SetDeviceHandle(dc_);
  if (window_ == nullptr) return;
  window_procedure_ = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window_, GWLP_WNDPROC));
  BindWindow(window_, [this](MessageRecord& message) {
    message.Result =
        CallWindowProcA(window_procedure_, window_, message.Msg, message.WParam, message.LParam);
    if (message.Msg == WM_PAINT) OnPaint(this);
  });
}

TPaintBox::~TPaintBox() {
  if (window_ != nullptr && window_procedure_ != nullptr) {
    // The control's own procedure sees the window out; this object is going.
    UnbindWindow(window_);
    SetWindowLongPtrA(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(window_procedure_));
  }
  canvas_.SetDeviceHandle(nullptr);
  if (dc_ != nullptr) ReleaseDC(window_, dc_);
}

}  // namespace wydruki::forms
