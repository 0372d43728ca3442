// SPDX-License-Identifier: MIT
// The timer: periodic ticks delivered through window messages of its own hidden window.
#pragma once

#include "Forms/Component.h"
#include "Base/Exceptions.h"
#include "platform/winapi.h"

namespace wydruki::extctrls {

class TTimer : public forms::TComponent {
 public:
  explicit TTimer(forms::TComponent* owner);
  // Switches the timer off and frees its window.
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  // A different value restarts the count; the same value does nothing.
  void SetEnabled(bool enabled);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned milliseconds);
  const forms::TNotifyEvent& OnTimer() const { return on_timer_; }
  // Always re-arms the platform timer.
  void SetOnTimer(forms::TNotifyEvent handler);

  HWND WindowHandle() const { return window_; }

 private:
  // Kills platform timer 1 and sets it again when the timer is armed: Interval not 0,
  // Enabled, and a handler assigned. Fails with "Not enough timers available".
  void ResetPlatformTimer();
  void FireTick();

  bool enabled_ = true;
  unsigned interval_ = 1000;
  forms::TNotifyEvent on_timer_;
  HWND window_ = nullptr;
};

// The platform refused a timer.
class EOutOfResources : public Exception {
 public:
  using Exception::Exception;
};

}  // namespace wydruki::extctrls
