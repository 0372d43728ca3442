// SPDX-License-Identifier: MIT
// What the user layer shares about the display, whichever driver shows it (display_driver.h).
//
// The record: when the profile's [display] section names a record= file, one line is appended
// for every thing a user would have seen, by either driver:
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

// The screen's size as the driver in force reports it.
int ScreenWidth();
int ScreenHeight();
// The size the profile gives a screen without a display: [display] width= and height=, else
// 1024 × 768.
int ProfileScreenWidth();
int ProfileScreenHeight();

// What a user does next, for tests and headless use: the menu command chosen at the next
// popup menu, and the answer to the next message box. A scripted answer is taken without
// showing anything, whichever the driver; without one, the driver asks the person (the null
// driver: nothing is chosen and a message box takes its default button).
void QueueMenuChoice(UINT_PTR command);
void QueueMessageBoxAnswer(int answer);
std::optional<UINT_PTR> TakeMenuChoice();
std::optional<int> TakeMessageBoxAnswer();

}  // namespace wydruki::platform
