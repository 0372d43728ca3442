// SPDX-License-Identifier: MIT
// Forms: top-level windows with a visibility switch, a close protocol and a modal mode.
#pragma once

#include <string>

#include "Forms/Component.h"
#include "Forms/MessageWindow.h"
#include "Graphics/GraphicsObject.h"
#include "platform/winapi.h"

namespace wydruki::forms {

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrAll = 8;

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TPosition { poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

class TButton;

// What a form's window looks like when it is made (the stored layout's part of it).
struct FormLayout {
  std::string class_name = "TForm";
  std::string caption;
  int left = 0;
  int top = 0;
  int width = 0;  // of the whole window
  int height = 0;
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPSIBLINGS;
  DWORD ex_style = 0;
  TPosition position = TPosition::poDesigned;
};

class TCustomForm : public TComponent {
 public:
  TCustomForm(TComponent* owner, const FormLayout& layout);
  ~TCustomForm() override;

  HWND Handle() const { return handle_; }

  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  void ShowForm();
  void HideForm();
  void CloseForm();
  TModalResult RunModal();
  // True unless OnCloseQuery vetoes.
  bool MayClose();

  TModalResult ModalResult = mrNone;
  TWindowState WindowState = TWindowState::wsNormal;
  TPosition Position = TPosition::poDesigned;
  bool Creating() const { return creating_; }
  bool Modal() const { return modal_; }
  bool Enabled() const { return IsWindowEnabled(handle_) != FALSE; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  Event<TObject*, TCloseAction&> OnClose;
  Event<TObject*, bool&> OnCloseQuery;

  // The font of the form's controls: "MS Sans Serif" 8 point (-11 pixels), as dialogs have.
  HFONT WindowFont() { return font_.FontHandle(); }

  // The buttons that Enter and Esc click.
  TButton* DefaultButton() const;
  TButton* CancelButton() const;

  // Runs OnCreate and applies a visibility wish recorded during construction; the
  // application calls it once the object is complete.
  virtual void AfterConstruction();

 protected:
  virtual void WindowMessage(MessageRecord& message);

 private:
  void ShowWindowNow();
  void HideWindowNow();
  void EndModal();
  void ClickButton(TButton* button);

  HWND handle_ = nullptr;
  bool visible_ = false;
  bool creating_ = true;
  bool showing_ = false;
  bool modal_ = false;
  bool visible_wish_ = false;
  graphics::TFont font_;
  // The button face of the user's colour scheme: the form's background, and the background
  // of the labels, frames and check boxes on it.
  graphics::TBrush face_;
};

using TForm = TCustomForm;

}  // namespace wydruki::forms
