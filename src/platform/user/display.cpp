// SPDX-License-Identifier: MIT
#include "user/display.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "common/ascii_case.h"
#include "common/profile.h"
#include "platform/api/user.h"
#include "platform/display.h"
#include "user/display_driver.h"

namespace wydruki::platform {
namespace {

std::mutex& ScriptLock() {
  static std::mutex lock;
  return lock;
}
std::deque<UINT_PTR>& MenuChoices() {
  static std::deque<UINT_PTR> choices;
  return choices;
}
std::deque<int>& BoxAnswers() {
  static std::deque<int> answers;
  return answers;
}

int ProfileSize(const char* key, int fallback) {
  const auto text = ProfileValue("display", key);
  if (!text) return fallback;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  return (*end == '\0' && value > 0 && value < 100000) ? static_cast<int>(value) : fallback;
}

bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

std::unique_ptr<DisplayDriver> ChooseDisplay() {
  std::string wanted = AsciiLowered(ProfileValue("display", "driver").value_or(""));
  if (wanted == "null") return MakeNullDisplay();
  if (!wanted.empty() && wanted != "gtk") {
    std::fprintf(stderr,
                 "wydrukid95: [display] driver=%s is not a display driver (gtk or null); "
                 "choosing by the desktop\n",
                 wanted.c_str());
    wanted.clear();
  }
  const bool desktop = Set("DISPLAY") || Set("WAYLAND_DISPLAY");
  if (wanted == "gtk" || desktop) {
    if (auto gtk = MakeGtkDisplay()) return gtk;
    std::fprintf(stderr,
                 "wydrukid95: GTK cannot open the display; windows are not shown (display "
                 "driver null)\n");
  } else {
    std::fprintf(stderr,
                 "wydrukid95: no desktop (DISPLAY and WAYLAND_DISPLAY are not set); windows are "
                 "not shown (display driver null)\n");
  }
  return MakeNullDisplay();
}

}  // namespace

void RecordSeen(const std::string& line) {
  const auto path = ProfileValue("display", "record");
  if (!path || path->empty()) return;
  // Opened for each line, so the record is complete whenever another program reads it.
  FILE* record = std::fopen(path->c_str(), "ab");
  if (record == nullptr) return;
  std::fwrite(line.data(), 1, line.size(), record);
  std::fputc('\n', record);
  std::fclose(record);
}

int ProfileScreenWidth() { return ProfileSize("width", 1024); }
int ProfileScreenHeight() { return ProfileSize("height", 768); }

int ScreenWidth() { return Display().ScreenSize().cx; }
int ScreenHeight() { return Display().ScreenSize().cy; }

DisplayDriver& Display() {
  static const std::unique_ptr<DisplayDriver> driver = ChooseDisplay();
  return *driver;
}

const char* DisplayDriverName() { return Display().Name(); }

void PutAwayWindow(HWND window) {
  if (IsWindowVisible(window) && IsWindowEnabled(window))
    PostMessageA(window, WM_KEYDOWN, VK_RETURN, 1);
}

void QueueMenuChoice(UINT_PTR command) {
  std::lock_guard guard(ScriptLock());
  MenuChoices().push_back(command);
}

void QueueMessageBoxAnswer(int answer) {
  std::lock_guard guard(ScriptLock());
  BoxAnswers().push_back(answer);
}

std::optional<UINT_PTR> TakeMenuChoice() {
  std::lock_guard guard(ScriptLock());
  if (MenuChoices().empty()) return std::nullopt;
  const UINT_PTR choice = MenuChoices().front();
  MenuChoices().pop_front();
  return choice;
}

std::optional<int> TakeMessageBoxAnswer() {
  std::lock_guard guard(ScriptLock());
  if (BoxAnswers().empty()) return std::nullopt;
  const int answer = BoxAnswers().front();
  BoxAnswers().pop_front();
  return answer;
}

}  // namespace wydruki::platform
