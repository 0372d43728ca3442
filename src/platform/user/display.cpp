#include "user/display.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "common/profile.h"
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
  static const std::unique_ptr<DisplayDriver> driver = MakeNullDisplay();
  return *driver;
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
