// The display driver: what shows windows, menus, message boxes and the notification-area icon
// to a user. The "null" driver shows nothing; it keeps the state and, when the profile's
// [display] section names a record= file, appends one line for every thing a user would have
// seen:
//   SHOW <window caption>            a top-level window appeared
//   HIDE <window caption>            it disappeared
//   TRAY ADD|MODIFY|DELETE <icon id> <tip>
//   MESSAGEBOX <flags> <caption>|<text>
//   MENU <item captions, separated by |>
// Texts are written as the program's bytes (Windows-1250), without conversion.
#pragma once

#include <optional>
#include <string>

#include "platform/api/types.h"

namespace wydruki::platform {

// Appends a line to the record (nothing when no record is kept).
void RecordSeen(const std::string& line);

// The screen's size: [display] width= and height=, else 1024 × 768.
int ScreenWidth();
int ScreenHeight();

// What a user does next, for tests and headless use: the menu command chosen at the next
// popup menu, and the answer to the next message box. Without one, nothing is chosen and a
// message box takes its default button.
void QueueMenuChoice(UINT_PTR command);
void QueueMessageBoxAnswer(int answer);
std::optional<UINT_PTR> TakeMenuChoice();
std::optional<int> TakeMessageBoxAnswer();

}  // namespace wydruki::platform
