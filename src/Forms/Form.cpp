// SPDX-License-Identifier: MIT
#include "Forms/Form.h"

#include <algorithm>
#include <vector>

#include "Forms/Application.h"
#include "Forms/Buttons.h"
#include "Forms/Controls.h"
#include "Base/Exceptions.h"
#include "Graphics/Colors.h"
#include "resources/MessageTexts.h"

namespace wydruki::forms {
namespace {

// Posted to a form that closes with caFree: it is destroyed after the messages already queued.
constexpr UINT kReleaseMessage = WM_USER + 0x3F00;
// The keyboard preview of a key press (see TApplication::TakeMessage).
constexpr UINT kPreviewKeyDown = WM_KEYDOWN + 48128;

struct ThreadWindows {
  std::vector<HWND> windows;
  HWND except = nullptr;
};

BOOL CALLBACK CollectThreadWindow(HWND window, LPARAM data) {
  auto* list = reinterpret_cast<ThreadWindows*>(data);
  if (window != list->except) list->windows.push_back(window);
  return TRUE;
}

std::vector<HWND> OtherThreadWindows(HWND except) {
  ThreadWindows list;
  list.except = except;
  EnumThreadWindows(GetCurrentThreadId(), CollectThreadWindow, reinterpret_cast<LPARAM>(&list));
  return list.windows;
}

void EnsureClass(const std::string& name) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  if (GetClassInfoA(instance, name.c_str(), &existing)) return;
  WNDCLASSA wc{};
  wc.lpfnWndProc = &DefWindowProcA;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // Without a background the system leaves the client area unpainted: black, or whatever
  // was beneath. Forms are dialogs and have the dialog colour.
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = name.c_str();
  if (RegisterClassA(&wc) == 0) throw Exception(resources::kWindowClassFailed);
}

template <typename Action>
void Reported(Action&& action) {
  if (TApplication* application = Application())
    application->Guard(std::forward<Action>(action));
  else
    action();
}

}  // namespace

TCustomForm::TCustomForm(TComponent* owner, const FormLayout& layout) : TComponent(owner) {
  font_.SetName("MS Sans Serif");
  font_.SetHeight(-11);
  face_.SetColor(graphics::clBtnFace);
  EnsureClass(layout.class_name);
  const HWND owner_window = Application() != nullptr ? Application()->Handle() : nullptr;
  handle_ = CreateWindowExA(layout.ex_style, layout.class_name.c_str(), layout.caption.c_str(),
                            layout.style & ~static_cast<DWORD>(WS_VISIBLE), layout.left, layout.top,
                            layout.width, layout.height, owner_window, nullptr,
                            GetModuleHandleA(nullptr), nullptr);
  if (handle_ == nullptr) throw Exception(resources::kWindowFailed);
  Position = layout.position;
  BindWindow(handle_, [this](MessageRecord& message) { WindowMessage(message); });
}

TCustomForm::~TCustomForm() {
  MarkDestroying();
  // Components (timers, icons, buttons) go first, while the window still exists.
  DestroyComponents();
  if (handle_ != nullptr) {
    UnbindWindow(handle_);
    DestroyWindow(handle_);
  }
}

void TCustomForm::AfterConstruction() {
  creating_ = false;
  OnCreate(this);
  if (visible_wish_) {
    visible_wish_ = false;
    SetVisible(true);
  }
}

void TCustomForm::SetVisible(bool visible) {
  if (creating_) {
    visible_wish_ = visible;
    return;
  }
  if (visible == visible_) return;
  if (showing_) throw EInvalidOperation(resources::kVisibleInShowHide);
  visible_ = visible;
  if (visible)
    ShowWindowNow();
  else
    HideWindowNow();
  if (TApplication* application = Application()) application->UpdateVisibility();
}

void TCustomForm::ShowWindowNow() {
  showing_ = true;
  Reported([&] { OnShow(this); });
  showing_ = false;
  if (Position == TPosition::poScreenCenter) {
    RECT frame{};
    GetWindowRect(handle_, &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = std::max(0, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
    const int y = std::max(0, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
    SetWindowPos(handle_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Position = TPosition::poDesigned;
  }
  const int command = WindowState == TWindowState::wsMinimized   ? SW_SHOWMINNOACTIVE
                      : WindowState == TWindowState::wsMaximized ? SW_SHOWMAXIMIZED
                                                                 : SW_SHOWNORMAL;
  ShowWindow(handle_, command);
}

void TCustomForm::HideWindowNow() {
  showing_ = true;
  Reported([&] { OnHide(this); });
  showing_ = false;
  constexpr UINT kHideQuietly =
      SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOZORDER | SWP_NOMOVE | SWP_NOSIZE;
  if (modal_) {
    SetWindowPos(handle_, nullptr, 0, 0, 0, 0, kHideQuietly);
    return;
  }
  if (GetActiveWindow() == handle_ && !IsIconic(handle_)) {
    // Hand activation to another visible window of the program, preferring normal ones.
    const HWND application = Application() != nullptr ? Application()->Handle() : nullptr;
    HWND normal = nullptr;
    HWND topmost = nullptr;
    for (HWND window : OtherThreadWindows(handle_)) {
      if (window == application || !IsWindowVisible(window) || !IsWindowEnabled(window)) continue;
      const bool is_topmost = (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
      if (!is_topmost && normal == nullptr) normal = window;
      if (is_topmost && topmost == nullptr) topmost = window;
    }
    if (HWND next = normal != nullptr ? normal : topmost) {
      SetWindowPos(handle_, nullptr, 0, 0, 0, 0, kHideQuietly);
      SetActiveWindow(next);
      return;
    }
  }
  ShowWindow(handle_, SW_HIDE);
}

void TCustomForm::ShowForm() {
  SetVisible(true);
  SetWindowPos(handle_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void TCustomForm::HideForm() { SetVisible(false); }

bool TCustomForm::MayClose() {
  bool may_close = true;
  OnCloseQuery(this, may_close);
  return may_close;
}

void TCustomForm::CloseForm() {
  if (modal_) {
    ModalResult = mrCancel;
    return;
  }
  if (!MayClose()) return;
  TCloseAction action = TCloseAction::caHide;
  OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  TApplication* application = Application();
  if (application != nullptr && application->PrimaryForm() == this) {
    application->RequestQuit();
    return;
  }
  switch (action) {
    case TCloseAction::caHide:
      HideForm();
      break;
    case TCloseAction::caMinimize:
      ShowWindow(handle_, SW_MINIMIZE);
      break;
    case TCloseAction::caFree:
      PostMessageA(handle_, kReleaseMessage, 0, 0);
      break;
    case TCloseAction::caNone:
      break;
  }
}

TModalResult TCustomForm::RunModal() {
  if (visible_ || !Enabled() || modal_) throw EInvalidOperation(resources::kVisibleModal);
  TApplication* application = Application();
  if (HWND capture = GetCapture()) {
    SendMessageA(capture, WM_CANCELMODE, 0, 0);
    ReleaseCapture();
  }
  modal_ = true;
  const HWND previously_active = GetActiveWindow();
  std::vector<HWND> disabled;
  for (HWND window : OtherThreadWindows(handle_)) {
    if (IsWindowVisible(window) && IsWindowEnabled(window)) {
      EnableWindow(window, FALSE);
      disabled.push_back(window);
    }
  }
  struct Restore {
    TCustomForm& form;
    std::vector<HWND>& disabled;
    HWND previously_active;
    ~Restore() {
      try {
        form.HideForm();
      } catch (const std::exception&) {
      }
      for (HWND window : disabled) EnableWindow(window, TRUE);
      if (previously_active != nullptr && IsWindow(previously_active) &&
          (GetActiveWindow() == form.handle_ || GetActiveWindow() == nullptr))
        SetActiveWindow(previously_active);
      form.modal_ = false;
    }
  } restore{*this, disabled, previously_active};
  ShowForm();
  Reported([&] { OnActivate(this); });
  ModalResult = mrNone;
  do {
    if (application == nullptr) break;
    application->HandleNextMessage();
    if (application->QuitSeen())
      ModalResult = mrCancel;
    else if (ModalResult != mrNone)
      EndModal();
  } while (ModalResult == mrNone);
  if (application == nullptr && ModalResult == mrNone) ModalResult = mrCancel;
  return ModalResult;
}

void TCustomForm::EndModal() {
  try {
    if (!MayClose()) {
      ModalResult = mrNone;
      return;
    }
    TCloseAction action = TCloseAction::caHide;
    OnClose(this, action);
    if (action == TCloseAction::caNone) {
      ModalResult = mrNone;
    } else if (action == TCloseAction::caFree) {
      PostMessageA(handle_, kReleaseMessage, 0, 0);
    }
  } catch (const std::exception& error) {
    ModalResult = mrNone;
    if (TApplication* application = Application()) application->ReportError(error);
  }
}

TButton* TCustomForm::DefaultButton() const {
  for (TComponent* component : Components()) {
    if (auto* button = dynamic_cast<TButton*>(component); button != nullptr && button->Default)
      return button;
  }
  return nullptr;
}

TButton* TCustomForm::CancelButton() const {
  for (TComponent* component : Components()) {
    if (auto* button = dynamic_cast<TButton*>(component); button != nullptr && button->Cancel)
      return button;
  }
  return nullptr;
}

void TCustomForm::ClickButton(TButton* button) {
  if (button != nullptr && button->Enabled()) Reported([&] { button->Click(); });
}

void TCustomForm::WindowMessage(MessageRecord& message) {
  switch (message.Msg) {
    case WM_CLOSE:
      // The close box and Alt+F4 close the form through its own protocol.
      Reported([&] { CloseForm(); });
      return;
    case WM_ACTIVATE:
      if (LOWORD(message.WParam) != WA_INACTIVE) Reported([&] { OnActivate(this); });
      break;
    case WM_QUERYENDSESSION:
      message.Result = MayClose() ? TRUE : FALSE;
      return;
    case kPreviewKeyDown:
      if (message.WParam == VK_RETURN && DefaultButton() != nullptr) {
        ClickButton(DefaultButton());
        message.Result = 1;
        return;
      }
      if (message.WParam == VK_ESCAPE && CancelButton() != nullptr) {
        ClickButton(CancelButton());
        message.Result = 1;
        return;
      }
      message.Result = 0;
      return;
    case kReleaseMessage:
      delete this;
      return;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      // Labels, frames and check boxes stand on the form's own colour.
      const HDC dc = reinterpret_cast<HDC>(message.WParam);
      SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      message.Result = reinterpret_cast<LRESULT>(face_.BrushHandle());
      return;
    }
    case WM_COMMAND:
      // Notifications of the form's controls go to the control that sent them.
      if (message.LParam != 0) {
        const HWND sender = reinterpret_cast<HWND>(message.LParam);
        for (TComponent* component : Components()) {
          auto* control = dynamic_cast<TControl*>(component);
          if (control != nullptr && control->Handle() == sender) {
            Reported([&] { control->Command(HIWORD(message.WParam)); });
            return;
          }
        }
      }
      break;
    default:
      break;
  }
  DefaultHandler(handle_, message);
}

}  // namespace wydruki::forms
