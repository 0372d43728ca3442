// SPDX-License-Identifier: MIT
#include "Forms/Application.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "Base/Exceptions.h"
#include "Base/MessagePump.h"
#include "resources/MessageTexts.h"

namespace wydruki::forms {
namespace {

constexpr const char* kApplicationClass = "TApplication";
// A form's keyboard preview: the message number plus this offset is sent to the target window.
constexpr UINT kKeyboardPreviewOffset = 48128;

TApplication* the_application = nullptr;

// The program file's name without its directory, cut at its first full stop, lower case from
// the second character on: the title until the program sets its own.
std::string TitleFromModuleName() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = path;
  if (const auto slash = name.find_last_of("\\/"); slash != std::string::npos)
    name = name.substr(slash + 1);
  if (const auto dot = name.find('.'); dot != std::string::npos) name.resize(dot);
  for (std::size_t i = 1; i < name.size(); ++i)
    name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
  return name;
}

struct DisabledWindows {
  std::vector<HWND> windows;
  HWND except = nullptr;
};

BOOL CALLBACK CollectEnabledWindow(HWND window, LPARAM data) {
  auto* list = reinterpret_cast<DisabledWindows*>(data);
  if (window != list->except && IsWindowVisible(window) && IsWindowEnabled(window))
    list->windows.push_back(window);
  return TRUE;
}

}  // namespace

TApplication* Application() { return the_application; }

std::string ErrorText(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

TApplication::TApplication() : TComponent(nullptr) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  if (!GetClassInfoA(instance, kApplicationClass, &existing)) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = kApplicationClass;
    if (RegisterClassA(&wc) == 0) throw Exception(resources::kWindowClassFailed);
  }
  title_ = TitleFromModuleName();
  handle_ = CreateWindowExA(0, kApplicationClass, title_.c_str(),
                            WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX,
                            GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 0,
                            0, nullptr, nullptr, instance, nullptr);
  if (handle_ == nullptr) throw Exception(resources::kWindowClassFailed);
  if (HMENU menu = GetSystemMenu(handle_, FALSE)) {
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_SIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
  }
  HICON icon = LoadIconA(instance, "MAINICON");
  if (icon == nullptr) icon = LoadIconA(nullptr, IDI_APPLICATION);
  SendMessageA(handle_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  BindWindow(handle_, [this](MessageRecord& message) { WindowMessage(message); });
  the_application = this;
  // Work that waits (the spooler between pages) handles the program's messages through here.
  base::SetMessagePump([this] { DrainMessages(); });
}

TApplication::~TApplication() {
  Finish();
  base::SetMessagePump(nullptr);
  UnbindWindow(handle_);
  DestroyWindow(handle_);
  if (the_application == this) the_application = nullptr;
}

void TApplication::SetAppTitle(const std::string& title) {
  title_ = title;
  SetWindowTextA(handle_, title_.c_str());
}

void TApplication::RunLoop() {
  running_ = true;
  struct ClearRunning {
    bool& flag;
    ~ClearRunning() { flag = false; }
  } clear{running_};
  if (primary_form_ == nullptr) return;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  GetStartupInfoA(&startup);
  const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
  bool minimized = false;
  if (show == SW_SHOWMAXIMIZED) primary_form_->WindowState = TWindowState::wsMaximized;
  if (show == SW_SHOWMINNOACTIVE) minimized = true;
  if (ShowPrimaryOnRun) {
    if (minimized)
      Minimize();
    else
      Guard([&] { primary_form_->SetVisible(true); });
  }
  while (!quit_seen_) HandleNextMessage();
}

void TApplication::HandleNextMessage() {
  if (!TakeMessage()) IdleWait();
}

bool TApplication::TakeMessage() {
  MSG message;
  if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) return false;
  if (message.message == WM_QUIT) {
    quit_seen_ = true;
    return true;
  }
  if (message.message >= WM_KEYDOWN && message.message <= WM_SYSDEADCHAR &&
      GetCapture() == nullptr && message.hwnd != nullptr &&
      SendMessageA(message.hwnd, message.message + kKeyboardPreviewOffset, message.wParam,
                   message.lParam) != 0)
    return true;
  TranslateMessage(&message);
  DispatchMessageA(&message);
  return true;
}

void TApplication::IdleWait() { WaitMessage(); }

void TApplication::DrainMessages() {
  while (TakeMessage()) {
  }
}

void TApplication::RequestQuit() { PostQuitMessage(0); }

void TApplication::ReportError(const std::exception& error) {
  if (HWND capture = GetCapture()) SendMessageA(capture, WM_CANCELMODE, 0, 0);
  if (dynamic_cast<const EAbort*>(&error) != nullptr) return;
  const std::string text = ErrorText(error.what());
  const HWND active = GetActiveWindow();
  DisabledWindows disabled;
  disabled.except = handle_;
  EnumThreadWindows(GetCurrentThreadId(), CollectEnabledWindow,
                    reinterpret_cast<LPARAM>(&disabled));
  for (HWND window : disabled.windows) EnableWindow(window, FALSE);
  MessageBoxA(handle_, text.c_str(), title_.c_str(), MB_OK | MB_ICONSTOP);
  for (HWND window : disabled.windows) EnableWindow(window, TRUE);
  if (active != nullptr && IsWindow(active)) SetActiveWindow(active);
}

void TApplication::Finish() {
  if (finished_) return;
  finished_ = true;
  MarkDestroying();
  for (TComponent* component : Components()) {
    if (auto* form = dynamic_cast<TCustomForm*>(component)) form->MarkDestroying();
  }
  primary_form_ = nullptr;
  DestroyComponents();
}

void TApplication::Minimize() { ShowWindow(handle_, SW_MINIMIZE); }

void TApplication::Restore() { ShowWindow(handle_, SW_RESTORE); }

void TApplication::UpdateVisibility() {
  bool any_visible = false;
  for (TComponent* component : Components()) {
    if (auto* form = dynamic_cast<TCustomForm*>(component); form != nullptr && form->Visible())
      any_visible = true;
  }
  SetWindowPos(handle_, nullptr, 0, 0, 0, 0,
               SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE |
                   (any_visible ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

void TApplication::WindowMessage(MessageRecord& message) {
  switch (message.Msg) {
    case WM_CLOSE:
      if (primary_form_ != nullptr) Guard([&] { primary_form_->CloseForm(); });
      return;
    case WM_ENDSESSION:
      if (message.WParam != 0) {
        if (OnSessionEnd) Guard([&] { OnSessionEnd(); });
        Finish();
        std::exit(0);
      }
      return;
    case WM_SYSCOMMAND:
      if ((message.WParam & 0xFFF0) == SC_MINIMIZE) {
        Minimize();
        return;
      }
      if ((message.WParam & 0xFFF0) == SC_RESTORE) {
        Restore();
        return;
      }
      break;
    default:
      break;
  }
  DefaultHandler(handle_, message);
}

}  // namespace wydruki::forms
