// SPDX-License-Identifier: MIT
// Hidden message windows: a window handle bound to one object's handler, for components that
// need window messages (timers, the notification-area icon) without a visible window.
#pragma once

#include <functional>

#include "platform/winapi.h"

namespace wydruki::forms {

// One window message as a handler sees it; the handler sets Result (0 unless set).
struct MessageRecord {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;
};

using MessageHandler = std::function<void(MessageRecord&)>;

// Creates a hidden "TPUtilWindow" window bound to `handler` (unbound when it has none).
HWND MakeMessageWindow(MessageHandler handler);
void FreeMessageWindow(HWND window);

// Binds any window's procedure to a handler; the binding is released when the window is
// destroyed. Messages the handler leaves alone go on to `fallback` through the default
// procedure when the handler does not exist.
void BindWindow(HWND window, MessageHandler handler);
void UnbindWindow(HWND window);

// Passes a message to the default window procedure and stores its answer.
void DefaultHandler(HWND window, MessageRecord& message);

}  // namespace wydruki::forms
