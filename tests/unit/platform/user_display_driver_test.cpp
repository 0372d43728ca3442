// SPDX-License-Identifier: MIT
// What a display driver hands the user layer: a window a person brought to the front becomes
// the active one from the program's own loop, and the driver's private message never reaches
// a window procedure.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/display.h"
#include "platform/winapi.h"
#include "test_support/temp_dir.h"
#include "user/user_state.h"

namespace {

using wydruki::test::ScopedEnv;
using wydruki::test::TempDir;

std::vector<UINT>* seen = nullptr;

LRESULT CALLBACK Recording(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (seen != nullptr) seen->push_back(message);
  return DefWindowProcA(window, message, wparam, lparam);
}

class DisplayDriverTest : public ::testing::Test {
 protected:
  DisplayDriverTest() : ini_("WYDRUKI_INI", dir_.Write("win.ini", "[display]\ndriver=null\n")) {
    seen = &messages_;
    WNDCLASSA wc{};
    wc.lpfnWndProc = Recording;
    wc.lpszClassName = "DriverTestWindow";
    RegisterClassA(&wc);
    first_ = CreateWindowExA(0, "DriverTestWindow", "first", WS_POPUP | WS_CAPTION, 0, 0, 100, 50,
                             nullptr, nullptr, nullptr, nullptr);
    second_ = CreateWindowExA(0, "DriverTestWindow", "second", WS_POPUP | WS_CAPTION, 0, 0, 100, 50,
                              nullptr, nullptr, nullptr, nullptr);
    ShowWindow(first_, SW_SHOW);
    ShowWindow(second_, SW_SHOW);
    messages_.clear();
  }
  ~DisplayDriverTest() override {
    DestroyWindow(first_);
    DestroyWindow(second_);
    seen = nullptr;
  }

  void RunPosted() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
  }

  TempDir dir_;
  ScopedEnv ini_;
  std::vector<UINT> messages_;
  HWND first_ = nullptr;
  HWND second_ = nullptr;
};

TEST_F(DisplayDriverTest, TheDriverInForceIsNamedAsTheProfileChoseIt) {
  EXPECT_STREQ(wydruki::platform::DisplayDriverName(), "null");
}

TEST_F(DisplayDriverTest, AWindowBroughtToTheFrontBecomesActiveWithTheWindowsMessages) {
  ASSERT_EQ(GetActiveWindow(), second_);
  PostMessageA(first_, wydruki::platform::kActivatedOnDisplay, 0, 0);
  EXPECT_EQ(GetActiveWindow(), second_) << "activated inside the driver's callback";
  RunPosted();
  EXPECT_EQ(GetActiveWindow(), first_);
  EXPECT_NE(std::find(messages_.begin(), messages_.end(), static_cast<UINT>(WM_ACTIVATE)),
            messages_.end());
  EXPECT_EQ(std::find(messages_.begin(), messages_.end(), wydruki::platform::kActivatedOnDisplay),
            messages_.end())
      << "the driver's message reached a window procedure";
}

TEST_F(DisplayDriverTest, ADisabledWindowIsNotActivatedFromTheDisplay) {
  EnableWindow(first_, FALSE);
  messages_.clear();
  PostMessageA(first_, wydruki::platform::kActivatedOnDisplay, 0, 0);
  RunPosted();
  EXPECT_EQ(GetActiveWindow(), second_);
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
