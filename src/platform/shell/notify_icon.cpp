// SPDX-License-Identifier: MIT
// The notification area: icons the program puts there, each known by its window and
// identifier. The state and the record are kept here; the display driver shows them.
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "platform/api/kernel.h"
#include "platform/api/shell.h"
#include "user/display.h"
#include "user/display_driver.h"
#include "user/icons.h"

namespace {

using TrayIcon = wydruki::platform::TrayIconState;

std::map<std::pair<HWND, UINT>, TrayIcon>& Icons() {
  static std::map<std::pair<HWND, UINT>, TrayIcon> icons;
  return icons;
}

std::mutex& Lock() {
  static std::mutex lock;
  return lock;
}

void Record(const char* request, const TrayIcon& icon) {
  std::uint32_t id = 0;
  wydruki::platform::IconImageId(icon.icon, &id);
  wydruki::platform::RecordSeen(std::string("TRAY ") + request + " " + std::to_string(id) + " " +
                                icon.tip);
}

}  // namespace

BOOL WINAPI Shell_NotifyIconA(DWORD dwMessage, PNOTIFYICONDATAA lpData) {
  // Every form of the record starts with the first one, which ends after a 64-byte tip.
  if (lpData == nullptr || lpData->cbSize < NOTIFYICONDATAA_V1_SIZE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(Lock());
  const auto key = std::make_pair(lpData->hWnd, lpData->uID);
  auto& icons = Icons();
  const auto it = icons.find(key);
  const auto apply = [&](TrayIcon& icon) {
    if ((lpData->uFlags & NIF_ICON) != 0) icon.icon = lpData->hIcon;
    if ((lpData->uFlags & NIF_MESSAGE) != 0) icon.callback = lpData->uCallbackMessage;
    if ((lpData->uFlags & NIF_TIP) != 0) icon.tip.assign(lpData->szTip, strnlen(lpData->szTip, 63));
  };
  switch (dwMessage) {
    case NIM_ADD: {
      if (it != icons.end()) return FALSE;
      TrayIcon icon;
      icon.window = lpData->hWnd;
      icon.id = lpData->uID;
      apply(icon);
      if (!wydruki::platform::Display().TrayAdd(icon)) return FALSE;
      icons[key] = icon;
      Record("ADD", icon);
      return TRUE;
    }
    case NIM_MODIFY:
      if (it == icons.end()) return FALSE;
      apply(it->second);
      if (!wydruki::platform::Display().TrayModify(it->second)) return FALSE;
      Record("MODIFY", it->second);
      return TRUE;
    case NIM_DELETE: {
      if (it == icons.end()) return FALSE;
      const TrayIcon gone = it->second;
      icons.erase(it);
      wydruki::platform::Display().TrayDelete(gone);
      Record("DELETE", gone);
      return TRUE;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
  }
}
