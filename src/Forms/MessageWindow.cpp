// SPDX-License-Identifier: MIT
#include "Forms/MessageWindow.h"

#include <cstring>
#include <exception>
#include <new>

#include "Forms/Application.h"

namespace wydruki::forms {
namespace {

constexpr const char* kUtilWindowClass = "TPUtilWindow";

struct Binding {
  MessageHandler handler;
};

LRESULT CALLBACK BoundProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* binding = reinterpret_cast<Binding*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (binding == nullptr) return DefWindowProcA(window, message, wparam, lparam);
  MessageRecord record{message, wparam, lparam, 0};
  // Keeps the binding alive while its handler runs, even if the handler destroys the window.
  MessageHandler handler = binding->handler;
  try {
    handler(record);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& error) {
    // An error escaping a handler is shown where the message was dispatched; the program goes on.
    if (TApplication* application = Application()) application->ReportError(error);
  }
  if (message == WM_NCDESTROY) UnbindWindow(window);
  return record.Result;
}

}  // namespace

void DefaultHandler(HWND window, MessageRecord& message) {
  message.Result = DefWindowProcA(window, message.Msg, message.WParam, message.LParam);
}

void BindWindow(HWND window, MessageHandler handler) {
  UnbindWindow(window);
  auto* binding = new Binding{std::move(handler)};
  SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(binding));
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoundProcedure));
}

void UnbindWindow(HWND window) {
  auto* binding = reinterpret_cast<Binding*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (binding == nullptr) return;
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
  delete binding;
}

HWND MakeMessageWindow(MessageHandler handler) {
  const HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA existing{};
  const BOOL registered = GetClassInfoA(instance, kUtilWindowClass, &existing);
  if (!registered || existing.lpfnWndProc != &DefWindowProcA) {
    if (registered) UnregisterClassA(kUtilWindowClass, instance);
    WNDCLASSA wc{};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = kUtilWindowClass;
    RegisterClassA(&wc);
  }
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, kUtilWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, instance, nullptr);
  if (window != nullptr && handler) BindWindow(window, std::move(handler));
  return window;
}

void FreeMessageWindow(HWND window) {
  if (window == nullptr) return;
  UnbindWindow(window);
  DestroyWindow(window);
}

}  // namespace wydruki::forms
