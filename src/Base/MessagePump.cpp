// SPDX-License-Identifier: MIT
#include "Base/MessagePump.h"

#include <utility>

#include "platform/winapi.h"

namespace wydruki::base {
namespace {

void DispatchWaitingMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

std::function<void()>& InstalledPump() {
  static std::function<void()> pump = DispatchWaitingMessages;
  return pump;
}

}  // namespace

void SetMessagePump(std::function<void()> pump) {
  InstalledPump() = pump ? std::move(pump) : std::function<void()>(DispatchWaitingMessages);
}

void PumpMessages() { InstalledPump()(); }

}  // namespace wydruki::base
