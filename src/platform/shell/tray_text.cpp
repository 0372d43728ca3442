// SPDX-License-Identifier: MIT
#include "shell/tray_text.h"

#include "common/utf8.h"
#include "gdi/code_pages.h"
#include "platform/api/gdi.h"
#include "platform/api/user.h"

namespace wydruki::platform {
namespace {

UINT Message(TrayButton button, UINT left, UINT right, UINT middle) {
  switch (button) {
    case TrayButton::kLeft:
      return left;
    case TrayButton::kRight:
      return right;
    case TrayButton::kMiddle:
      return middle;
  }
  return left;
}

}  // namespace

std::string Windows1250ToUtf8(const std::string& bytes) {
  const CodePage& page = CodePageForCharset(EASTEUROPE_CHARSET);
  std::string out;
  out.reserve(bytes.size() * 2);
  for (const char c : bytes) {
    const char32_t u = page.ToUnicode(static_cast<unsigned char>(c));
    // Control characters and bytes with no character would make D-Bus refuse the string or
    // show as boxes; they become nothing.
    if (u == 0 || u < 0x20 || u == 0xFFFD) continue;
    AppendUtf8(out, u);
  }
  return out;
}

std::string EscapeMarkup(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string MenuLabel(const std::string& windows_caption) {
  std::string marked;
  for (std::size_t i = 0; i < windows_caption.size(); ++i) {
    const char c = windows_caption[i];
    if (c == '&') {
      if (i + 1 < windows_caption.size() && windows_caption[i + 1] == '&') {
        marked += '&';
        ++i;
      } else if (i + 1 < windows_caption.size()) {
        marked += '_';
      }
    } else if (c == '_') {
      marked += "__";
    } else {
      marked += c;
    }
  }
  return Windows1250ToUtf8(marked);
}

UINT MouseSequence::Press(TrayButton button, std::int64_t now_ms) {
  const bool second = have_press_ && button == last_button_ && now_ms >= last_press_ms_ &&
                      now_ms - last_press_ms_ <= static_cast<std::int64_t>(double_click_ms_);
  if (second) {
    have_press_ = false;
    return Message(button, WM_LBUTTONDBLCLK, WM_RBUTTONDBLCLK, WM_MBUTTONDBLCLK);
  }
  have_press_ = true;
  last_button_ = button;
  last_press_ms_ = now_ms;
  return Message(button, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN);
}

UINT MouseSequence::Release(TrayButton button) {
  return Message(button, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONUP);
}

std::vector<UINT> MouseSequence::Click(TrayButton button, std::int64_t now_ms) {
  return {Press(button, now_ms), Release(button)};
}

}  // namespace wydruki::platform
