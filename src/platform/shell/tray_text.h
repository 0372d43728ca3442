// SPDX-License-Identifier: MIT
// Texts and clicks between the program's Windows conventions and a desktop's tray.
//
// The program's tips and menu captions are Windows-1250 bytes; D-Bus and GTK take UTF-8. A
// host may render a tooltip as markup, so '&', '<' and '>' are escaped there; quotes are
// special only inside markup attributes and stay as they are, so a host that shows the text
// raw still reads "Wydruk dla D'95". A
// Windows caption marks its mnemonic with '&' ("&&" is a literal ampersand); a dbusmenu or
// GTK label marks it with '_' ("__" is a literal underscore).
//
// A desktop reports a click as one call; the program's tray component expects the mouse
// messages Windows would post, and tells a double click by WM_LBUTTONDBLCLK. MouseSequence
// replays Windows' rule: a press of the same button within the double-click time after the
// previous press is a double click, and the press after a double click starts afresh.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/api/types.h"

namespace wydruki::platform {

std::string Windows1250ToUtf8(const std::string& bytes);
std::string EscapeMarkup(const std::string& utf8);
std::string MenuLabel(const std::string& windows_caption);  // UTF-8, '_' mnemonic

enum class TrayButton { kLeft, kRight, kMiddle };

class MouseSequence {
 public:
  explicit MouseSequence(unsigned double_click_ms = 500) : double_click_ms_(double_click_ms) {}
  void SetDoubleClickTime(unsigned ms) { double_click_ms_ = ms; }

  // The messages for a press at `now_ms`: WM_?BUTTONDOWN, or WM_?BUTTONDBLCLK for the
  // second press of a double click.
  UINT Press(TrayButton button, std::int64_t now_ms);
  static UINT Release(TrayButton button);
  // Another button was used: the next press starts afresh.
  void Forget() { have_press_ = false; }
  // A whole click as a desktop reports it: the press, then the release.
  std::vector<UINT> Click(TrayButton button, std::int64_t now_ms);

 private:
  unsigned double_click_ms_;
  bool have_press_ = false;
  TrayButton last_button_ = TrayButton::kLeft;
  std::int64_t last_press_ms_ = 0;
};

}  // namespace wydruki::platform
