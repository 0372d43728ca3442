// SPDX-License-Identifier: MIT
// The null display: nothing is shown and nobody acts. Windows keep their state in the user
// layer only; a message box takes its default button and a popup menu is dismissed at once;
// the wait blocks in poll() on the signal pipe until the next timer is due.
#include <poll.h>

#include "common/profile.h"
#include "user/display.h"
#include "user/display_driver.h"

namespace wydruki::platform {
namespace {

class Immediate final : public PendingAnswer {
 public:
  explicit Immediate(int answer) : answer_(answer) {}
  std::optional<int> Answer() override { return answer_; }

 private:
  int answer_;
};

class NullDisplay final : public DisplayDriver {
 public:
  const char* Name() const override { return "null"; }

  void WindowCreated(HWND) override {}
  void WindowDestroyed(HWND) override {}
  void WindowShown(HWND, bool) override {}
  void WindowPlaced(HWND) override {}
  void WindowTextChanged(HWND) override {}
  void WindowEnabled(HWND, bool) override {}
  void WindowActivated(HWND) override {}
  void WindowFocused(HWND) override {}
  void WindowIconChanged(HWND) override {}
  void ControlChanged(HWND) override {}
  void WindowDrawn(HWND) override {}

  void Wait(int deadline_ms, int signal_fd) override {
    pollfd fd{signal_fd, POLLIN, 0};
    ::poll(&fd, signal_fd >= 0 ? 1 : 0, deadline_ms);
  }
  // Posts come from the thread that waits, so there is never anyone to wake.
  void Wake() override {}
  void Pump() override {}

  std::unique_ptr<PendingAnswer> ShowMessageBox(HWND, const std::string&, const std::string&, UINT,
                                                int default_answer) override {
    return std::make_unique<Immediate>(default_answer);
  }
  std::unique_ptr<PendingAnswer> ShowPopupMenu(const Menu&, HWND, POINT) override {
    return std::make_unique<Immediate>(0);
  }

  bool TrayAdd(const TrayIconState&) override { return true; }
  bool TrayModify(const TrayIconState&) override { return true; }
  void TrayDelete(const TrayIconState&) override {}

  SIZE ScreenSize() override { return SIZE{ProfileScreenWidth(), ProfileScreenHeight()}; }
  // There is no pointer; it rests in the middle of the screen.
  POINT PointerPosition() override {
    const SIZE screen = ScreenSize();
    return POINT{screen.cx / 2, screen.cy / 2};
  }
};

}  // namespace

std::unique_ptr<DisplayDriver> MakeNullDisplay() { return std::make_unique<NullDisplay>(); }

}  // namespace wydruki::platform
