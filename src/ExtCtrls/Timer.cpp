// SPDX-License-Identifier: MIT
#include "ExtCtrls/Timer.h"

#include "Forms/Application.h"
#include "Forms/MessageWindow.h"
#include "Base/Exceptions.h"
#include "resources/MessageTexts.h"

namespace wydruki::extctrls {

namespace {
constexpr UINT_PTR kTimerId = 1;
}  // namespace

TTimer::TTimer(forms::TComponent* owner) : TComponent(owner) {
  window_ = forms::MakeMessageWindow([this](forms::MessageRecord& message) {
    if (message.Msg == WM_TIMER) {
      // Whatever the timer identifier: this window carries only this timer.
      FireTick();
      return;
    }
    forms::DefaultHandler(window_, message);
  });
}

TTimer::~TTimer() {
  enabled_ = false;
  KillTimer(window_, kTimerId);
  forms::FreeMessageWindow(window_);
}

void TTimer::ResetPlatformTimer() {
  KillTimer(window_, kTimerId);
  if (interval_ != 0 && enabled_ && on_timer_) {
    if (SetTimer(window_, kTimerId, interval_, nullptr) == 0)
      throw EOutOfResources(resources::kNoTimers);
  }
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  ResetPlatformTimer();
}

void TTimer::SetInterval(unsigned milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  ResetPlatformTimer();
}

void TTimer::SetOnTimer(forms::TNotifyEvent handler) {
  on_timer_ = std::move(handler);
  ResetPlatformTimer();
}

void TTimer::FireTick() {
  try {
    on_timer_(this);
  } catch (const std::exception& error) {
    if (forms::TApplication* application = forms::Application()) application->ReportError(error);
  }
}

}  // namespace wydruki::extctrls
