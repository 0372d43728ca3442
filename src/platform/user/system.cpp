// SPDX-License-Identifier: MIT
// Message boxes, system metrics and colours, and the pointer.
#include <string>

#include "platform/api/kernel.h"
#include "user/display.h"
#include "user/display_driver.h"
#include "user/user_state.h"

using wydruki::platform::UserLock;
using wydruki::platform::UserState;

namespace {

// The button a message box answers with when nobody chooses: its default button.
int DefaultAnswer(UINT type) {
  const UINT buttons = type & 0x0F;
  const int which = static_cast<int>((type >> 8) & 0x0F);  // MB_DEFBUTTONn - 1
  static const int kButtons[][3] = {{IDOK, IDOK, IDOK},           {IDOK, IDCANCEL, IDCANCEL},
                                    {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL},
                                    {IDYES, IDNO, IDNO},          {IDRETRY, IDCANCEL, IDCANCEL}};
  if (buttons > 5) return IDOK;
  return kButtons[buttons][which > 2 ? 0 : which];
}

}  // namespace

int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if (hWnd != nullptr && !IsWindow(hWnd)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  wydruki::platform::RecordSeen("MESSAGEBOX " + std::to_string(uType) + " " +
                                (lpCaption != nullptr ? lpCaption : "Error") + "|" +
                                (lpText != nullptr ? lpText : ""));
  // The owner is disabled while the box is up, as Windows does.
  const bool disable = hWnd != nullptr && IsWindowEnabled(hWnd);
  if (disable) EnableWindow(hWnd, FALSE);
  int answer = DefaultAnswer(uType);
  if (const auto scripted = wydruki::platform::TakeMessageBoxAnswer()) {
    answer = *scripted;
  } else {
    const auto pending = wydruki::platform::Display().ShowMessageBox(
        hWnd, lpText != nullptr ? lpText : "", lpCaption != nullptr ? lpCaption : "Error", uType,
        answer);
    if (pending) answer = wydruki::platform::RunUntilAnswered(*pending, answer);
  }
  if (disable) EnableWindow(hWnd, TRUE);
  return answer;
}

int WINAPI GetSystemMetrics(int nIndex) {
  switch (nIndex) {
    case SM_CXSCREEN:
      return wydruki::platform::ScreenWidth();
    case SM_CYSCREEN:
      return wydruki::platform::ScreenHeight();
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
      return 32;
    case SM_CXSMICON:
    case SM_CYSMICON:
      return 16;
    case SM_CYCAPTION:
      return 23;
    case SM_DBCSENABLED:
      return 0;
    default:
      return 0;
  }
}

DWORD WINAPI GetSysColor(int nIndex) {
  // The standard Windows colour scheme.
  static const COLORREF kColors[] = {
      RGB(200, 200, 200), RGB(0, 0, 0),       RGB(153, 180, 209), RGB(191, 205, 219),
      RGB(240, 240, 240), RGB(255, 255, 255), RGB(100, 100, 100), RGB(0, 0, 0),
      RGB(0, 0, 0),       RGB(0, 0, 0),       RGB(180, 180, 180), RGB(244, 247, 252),
      RGB(171, 171, 171), RGB(0, 120, 215),   RGB(255, 255, 255), RGB(240, 240, 240),
      RGB(160, 160, 160), RGB(109, 109, 109), RGB(0, 0, 0),       RGB(0, 0, 0),
      RGB(255, 255, 255), RGB(105, 105, 105), RGB(227, 227, 227), RGB(0, 0, 0),
      RGB(255, 255, 225)};
  if (nIndex < 0 || nIndex >= static_cast<int>(sizeof kColors / sizeof kColors[0])) return 0;
  return kColors[nIndex];
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint) {
  if (lpPoint == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpPoint = wydruki::platform::Display().PointerPosition();
  return TRUE;
}

HCURSOR WINAPI LoadCursorA(HINSTANCE hInstance, LPCSTR lpCursorName) {
  if (hInstance == nullptr && lpCursorName == IDC_ARROW) {
    static char arrow;
    return reinterpret_cast<HCURSOR>(&arrow);
  }
  SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
  return nullptr;
}

HCURSOR WINAPI SetCursor(HCURSOR hCursor) {
  UserLock lock(UserState::Instance().Lock());
  const HCURSOR old = UserState::Instance().cursor;
  UserState::Instance().cursor = hCursor;
  return old;
}
