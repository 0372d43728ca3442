// SPDX-License-Identifier: MIT
// The controls the program's windows carry: labels, a group frame, a bevelled panel, a check
// box, combo boxes, a masked edit field and paint boxes. Each keeps its state in the object and
// shows it in a child window of the system's standard control class, so the state is the same
// whether or not a display shows it.
#pragma once

#include <string>
#include <vector>

#include "Forms/Component.h"
#include "Forms/Form.h"
#include "Graphics/Canvas.h"
#include "platform/winapi.h"

namespace wydruki::forms {

struct Bounds {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

class TControl : public TComponent {
 public:
  // A child window of `window_class` on the form (none when the class cannot be made: the
  // control then works without a window).
  TControl(TCustomForm* form, const char* window_class, DWORD style, const Bounds& bounds,
           const std::string& caption);
  ~TControl() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  const Bounds& BoundsRect() const { return bounds_; }
  HWND Handle() const { return window_; }
  TCustomForm* Form() const { return form_; }
  int ControlId() const { return id_; }

  // A notification from the control's window (WM_COMMAND code), passed on by the form.
  virtual void Command(WORD /*code*/) {}

 protected:
  // Grows the control to a whole line of the form's font when the layout made it lower, and
  // to the width of its caption when it is narrower; `keep_right` keeps the right edge.
  void FitToCaption(bool keep_right);

  TCustomForm* form_;
  HWND window_ = nullptr;

 private:
  std::string caption_;
  Bounds bounds_;
  bool visible_ = true;
  bool enabled_ = true;
  int id_;
};

enum class TAlignment { taLeftJustify, taRightJustify };

// A label grows, when its caption needs it, to a whole line of the form's font and to the
// caption's width (a label that is too narrow wraps its last words onto a line nobody sees).
// A right-aligned label keeps its right edge and grows to the left.
class TLabel : public TControl {
 public:
  TLabel(TCustomForm* form, const Bounds& bounds, const std::string& caption,
         TAlignment alignment = TAlignment::taLeftJustify);
};

class TGroupBox : public TControl {
 public:
  TGroupBox(TCustomForm* form, const Bounds& bounds, const std::string& caption);
};

// A bevelled panel (raised inner, lowered outer bevel).
class TPanel : public TControl {
 public:
  TPanel(TCustomForm* form, const Bounds& bounds, const std::string& caption = "");
};

class TCheckBox : public TControl {
 public:
  TCheckBox(TCustomForm* form, const Bounds& bounds, const std::string& caption);

  bool Checked() const { return checked_; }
  // A change of state runs OnClick, whether the user or the program makes it.
  void SetChecked(bool checked);
  void Command(WORD code) override;

  TNotifyEvent OnClick;

 private:
  bool checked_ = false;
};

// A combo box with an editable text field.
class TComboBox : public TControl {
 public:
  TComboBox(TCustomForm* form, const Bounds& bounds);

  void AddItem(const std::string& item);
  const std::vector<std::string>& Items() const { return items_; }
  int ItemIndex() const { return item_index_; }
  // Selects an item and shows it in the text field; -1 (or an index not in the list) selects
  // none and empties the field.
  void SetItemIndex(int index);
  const std::string& Text() const { return text_; }
  // What the user typed: the selection follows an item of that text, else is none.
  void SetText(const std::string& text);
  // The first item equal to `text` without regard to letter case, or -1.
  int IndexOf(const std::string& text) const;
  void Command(WORD code) override;

 private:
  std::vector<std::string> items_;
  int item_index_ = -1;
  std::string text_;
};

// An edit field with the mask "###;1; ": three positions, each a digit, a sign or empty; the
// text is always three characters, padded at the end with blanks.
class TMaskEdit : public TControl {
 public:
  TMaskEdit(TCustomForm* form, const Bounds& bounds);

  const std::string& Text() const { return text_; }
  // Keeps what the mask accepts: digits and signs, at most three, padded with blanks.
  void SetText(const std::string& text);
  void Command(WORD code) override;

 private:
  std::string text_ = "   ";
};

// A white box that the program draws on through its canvas. The box's window paints itself
// white, over whatever was drawn before; OnPaint then draws the content again.
class TPaintBox : public TControl {
 public:
  TPaintBox(TCustomForm* form, const Bounds& bounds);
  ~TPaintBox() override;

  TNotifyEvent OnPaint;

  // The canvas on the box's window; none attached when there is no window to draw on.
  graphics::TCanvas& Canvas() { return canvas_; }
  graphics::TFont& Font() { return canvas_.Font(); }
  int Width() const { return BoundsRect().width; }
  int Height() const { return BoundsRect().height; }

 private:
  graphics::TCanvas canvas_;
  HDC dc_ = nullptr;
  WNDPROC window_procedure_ = nullptr;  // the standard control's own
};

}  // namespace wydruki::forms
