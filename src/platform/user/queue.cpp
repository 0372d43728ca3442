// SPDX-License-Identifier: MIT
// The thread's message queue: posted messages, the quit message, timers generated on demand,
// and the wait, which the display driver does until a timer is due, a signal arrives or the
// person does something.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "common/termination_signals.h"
#include "platform/api/kernel.h"
#include "user/display_driver.h"
#include "user/user_state.h"

using wydruki::platform::Deliver;
using wydruki::platform::Display;
using wydruki::platform::Timer;
using wydruki::platform::UserLock;
using wydruki::platform::UserState;
using wydruki::platform::Window;
using Clock = std::chrono::steady_clock;

namespace {

UserState& State() { return UserState::Instance(); }

// The termination signals reach the queue through a pipe: the handler writes a byte, then sets
// a flag so the queue reads the pipe only when a signal came. The byte is written first: a
// queue that sees the flag always finds the byte, and a queue that finds the pipe readable
// before the flag is set reads it at the next look. The other order could let the queue clear
// the flag, find the pipe still empty, and then wait on a pipe it would never read again.
int signal_pipe[2] = {-1, -1};
std::atomic<bool> signal_arrived{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set in a signal handler");

void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(signal_pipe[1], &byte, 1);
  signal_arrived.store(true);
  errno = saved;
}

void InstallSignalHandlers() {
  static const bool installed = [] {
    if (::pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : wydruki::platform::kTerminationSignals)
      ::sigaction(signal, &action, nullptr);
    return true;
  }();
  (void)installed;
}

DWORD Now() { return GetTickCount(); }

// A termination request asks every top-level window to close, as a polite task manager does,
// so a job in progress finishes before the program ends. Tool windows (hidden helpers) are not
// asked.
void TakeSignals() {
  if (signal_pipe[0] < 0 || !signal_arrived.exchange(false)) return;
  char bytes[16];
  bool requested = false;
  while (::read(signal_pipe[0], bytes, sizeof bytes) > 0) requested = true;
  if (!requested) return;
  for (HWND window : State().TopLevel()) {
    const Window* w = State().Find(window);
    if (w == nullptr || (w->ex_style & WS_EX_TOOLWINDOW) != 0) continue;
    State().posted.push_back(MSG{window, WM_CLOSE, 0, 0, Now(), POINT{0, 0}});
  }
}

bool Matches(const MSG& m, HWND hWnd, UINT first, UINT last) {
  if (hWnd == reinterpret_cast<HWND>(-1)) {
    if (m.hwnd != nullptr) return false;
  } else if (hWnd != nullptr && m.hwnd != hWnd) {
    const Window* w = State().Find(m.hwnd);
    bool child = false;
    while (w != nullptr && w->parent != nullptr) {
      if (w->parent == hWnd) child = true;
      w = State().Find(w->parent);
    }
    if (!child) return false;
  }
  if (first == 0 && last == 0) return true;
  return m.message >= first && m.message <= last;
}

// Takes (or looks at) the next message: posted messages first, then a due timer; the quit
// message only when no posted message is left.
bool NextMessage(MSG* out, HWND hWnd, UINT first, UINT last, bool remove) {
  UserState& s = State();
  TakeSignals();
  for (auto it = s.posted.begin(); it != s.posted.end(); ++it) {
    if (!Matches(*it, hWnd, first, last)) continue;
    *out = *it;
    if (remove) s.posted.erase(it);
    return true;
  }
  if (s.quit_posted && (first == 0 || (WM_QUIT >= first && WM_QUIT <= last))) {
    *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quit_code), 0, Now(), POINT{0, 0}};
    if (remove) s.quit_posted = false;
    return true;
  }
  const auto now = Clock::now();
  for (Timer& t : s.timers) {
    if (t.due > now) continue;
    const MSG m{t.window, WM_TIMER,   t.id, reinterpret_cast<LPARAM>(t.procedure),
                Now(),    POINT{0, 0}};
    if (!Matches(m, hWnd, first, last)) continue;
    *out = m;
    // At most one tick is pending per timer: the next is due a full interval after this one.
    if (remove) t.due = now + std::chrono::milliseconds(t.interval);
    return true;
  }
  return false;
}

}  // namespace

LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  UserLock lock(State().Lock());
  Window* w = State().Find(hWnd);
  if (w == nullptr) return 0;
  switch (Msg) {
    case WM_NCCREATE:
      return TRUE;
    case WM_CLOSE:
      DestroyWindow(hWnd);
      return 0;
    case WM_SETTEXT:
      w->text = lParam != 0 ? reinterpret_cast<const char*>(lParam) : "";
      Display().WindowTextChanged(hWnd);
      return TRUE;
    case WM_GETTEXT: {
      if (wParam == 0 || lParam == 0) return 0;
      const std::size_t n = std::min<std::size_t>(w->text.size(), wParam - 1);
      std::memcpy(reinterpret_cast<char*>(lParam), w->text.data(), n);
      reinterpret_cast<char*>(lParam)[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(w->text.size());
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? w->big_icon : w->small_icon);
    case WM_SETICON: {
      HICON& slot = wParam == ICON_BIG ? w->big_icon : w->small_icon;
      const HICON old = slot;
      slot = reinterpret_cast<HICON>(lParam);
      Display().WindowIconChanged(hWnd);
      return reinterpret_cast<LRESULT>(old);
    }
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          PostMessageA(hWnd, WM_CLOSE, 0, 0);
          return 0;
        case SC_MINIMIZE:
          ShowWindow(hWnd, SW_MINIMIZE);
          return 0;
        case SC_MAXIMIZE:
          ShowWindow(hWnd, SW_SHOWMAXIMIZED);
          return 0;
        case SC_RESTORE:
          ShowWindow(hWnd, SW_RESTORE);
          return 0;
        default:
          return 0;
      }
    default:
      return 0;
  }
}

LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam,
                               LPARAM lParam) {
  return lpPrevWndFunc != nullptr ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  UserLock lock(State().Lock());
  InstallSignalHandlers();
  if (hWnd != nullptr && State().Find(hWnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  State().posted.push_back(MSG{hWnd, Msg, wParam, lParam, Now(), POINT{0, 0}});
  Display().Wake();
  return TRUE;
}

LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
  if (!IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return Deliver(hWnd, Msg, wParam, lParam);
}

BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax,
                         UINT wRemoveMsg) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  InstallSignalHandlers();
  Display().Pump();
  UserLock lock(State().Lock());
  return NextMessage(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0);
}

BOOL WINAPI WaitMessage() {
  InstallSignalHandlers();
  for (;;) {
    int timeout = -1;
    {
      UserLock lock(State().Lock());
      MSG ignored;
      if (NextMessage(&ignored, nullptr, 0, 0, false)) return TRUE;
      const auto now = Clock::now();
      for (const Timer& t : State().timers) {
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(t.due - now).count() + 1;
        timeout = timeout < 0 ? static_cast<int>(std::max<long long>(wait, 0))
                              : std::min(timeout, static_cast<int>(std::max<long long>(wait, 0)));
      }
    }
    Display().Wait(timeout, signal_pipe[0]);
  }
}

BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax) {
  if (lpMsg == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  while (!PeekMessageA(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, PM_REMOVE)) WaitMessage();
  return lpMsg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI TranslateMessage(const MSG*) {
  // Keystrokes become characters only on a keyboard; the null display has none.
  return FALSE;
}

LRESULT WINAPI DispatchMessageA(const MSG* lpMsg) {
  if (lpMsg == nullptr) return 0;
  if (lpMsg->message == wydruki::platform::kActivatedOnDisplay) {
    // A disabled window (the owner of a modal dialog) is not activated, as on Windows.
    if (IsWindowVisible(lpMsg->hwnd) && IsWindowEnabled(lpMsg->hwnd)) SetActiveWindow(lpMsg->hwnd);
    return 0;
  }
  if (lpMsg->message == WM_TIMER && lpMsg->lParam != 0) {
    reinterpret_cast<TIMERPROC>(lpMsg->lParam)(lpMsg->hwnd, WM_TIMER, lpMsg->wParam,
                                               static_cast<DWORD>(lpMsg->time));
    return 0;
  }
  if (lpMsg->hwnd == nullptr) return 0;
  if (!IsWindow(lpMsg->hwnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  return Deliver(lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

void WINAPI PostQuitMessage(int nExitCode) {
  UserLock lock(State().Lock());
  State().quit_posted = true;
  State().quit_code = nExitCode;
  Display().Wake();
}

UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
  UserLock lock(State().Lock());
  InstallSignalHandlers();
  UserState& s = State();
  if (hWnd != nullptr && s.Find(hWnd) == nullptr) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  const UINT interval = std::clamp<UINT>(uElapse, USER_TIMER_MINIMUM, 0x7FFFFFFF);
  if (hWnd == nullptr) {
    // A timer of no window gets a fresh identifier unless an existing one is named.
    const bool known = std::any_of(s.timers.begin(), s.timers.end(), [&](const Timer& t) {
      return t.window == nullptr && t.id == nIDEvent;
    });
    if (!known) nIDEvent = 0x1000 + s.next_thread_timer++;
  }
  s.timers.erase(
      std::remove_if(s.timers.begin(), s.timers.end(),
                     [&](const Timer& t) { return t.window == hWnd && t.id == nIDEvent; }),
      s.timers.end());
  s.timers.push_back(Timer{hWnd, nIDEvent, interval, lpTimerFunc,
                           Clock::now() + std::chrono::milliseconds(interval)});
  return hWnd == nullptr ? nIDEvent : (nIDEvent == 0 ? 1 : nIDEvent);
}

BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
  UserLock lock(State().Lock());
  auto& timers = State().timers;
  const auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) {
    return t.window == hWnd && t.id == uIDEvent;
  });
  if (it == timers.end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  timers.erase(it);
  return TRUE;
}

namespace wydruki::platform {

bool TerminationPending() { return signal_arrived.load(); }

int RunUntilAnswered(PendingAnswer& pending, int fallback) {
  for (;;) {
    if (const auto answer = pending.Answer()) return *answer;
    MSG message;
    if (!GetMessageA(&message, nullptr, 0, 0)) {
      // The program's own loop must still see that it is to end.
      PostQuitMessage(static_cast<int>(message.wParam));
      return fallback;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace wydruki::platform
