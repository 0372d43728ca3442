// SPDX-License-Identifier: MIT
// Windows, the message queue, timers and the null display against documented user32 and
// shell32 behaviour.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/program_resources.h"
#include "platform/winapi.h"
#include "test_support/temp_dir.h"
#include "user/display.h"

namespace {

using wydruki::test::ScopedEnv;
using wydruki::test::TempDir;

// Every message a window receives, in order.
std::vector<UINT>* journal = nullptr;

LRESULT CALLBACK Journaling(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (journal != nullptr) journal->push_back(message);
  return DefWindowProcA(window, message, wparam, lparam);
}

class UserTest : public ::testing::Test {
 protected:
  UserTest()
      : ini_("WYDRUKI_INI", dir_.Write("win.ini", "[display]\ndriver=null\nrecord=" +
                                                      dir_.Path("screen.txt") + "\n")) {
    journal = &messages_;
    WNDCLASSA wc{};
    wc.lpfnWndProc = Journaling;
    wc.lpszClassName = "UserTestWindow";
    RegisterClassA(&wc);
  }
  ~UserTest() override {
    for (HWND w : made_) DestroyWindow(w);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
    journal = nullptr;
  }
  HWND Make(const char* caption, DWORD style = WS_POPUP | WS_CAPTION, HWND parent = nullptr,
            DWORD ex_style = 0) {
    HWND w = CreateWindowExA(ex_style, "UserTestWindow", caption, style, 10, 10, 200, 100, parent,
                             nullptr, nullptr, nullptr);
    made_.push_back(w);
    return w;
  }
  std::vector<std::string> Screen() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_.Path("screen.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  TempDir dir_;
  ScopedEnv ini_;
  std::vector<UINT> messages_;
  std::vector<HWND> made_;
};

TEST_F(UserTest, CreationShowingAndDestructionSendTheirMessagesInWindowsOrder) {
  HWND w = Make("Okno");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(messages_, (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
  messages_.clear();
  EXPECT_FALSE(ShowWindow(w, SW_SHOWNORMAL));
  EXPECT_TRUE(IsWindowVisible(w));
  EXPECT_EQ(GetActiveWindow(), w) << "a shown window becomes active";
  EXPECT_EQ(messages_,
            (std::vector<UINT>{WM_SHOWWINDOW, WM_ACTIVATEAPP, WM_ACTIVATE, WM_SETFOCUS}));
  messages_.clear();
  EXPECT_TRUE(DestroyWindow(w));
  EXPECT_FALSE(IsWindow(w));
  ASSERT_GE(messages_.size(), 2u);
  EXPECT_EQ(messages_[messages_.size() - 2], static_cast<UINT>(WM_DESTROY));
  EXPECT_EQ(messages_.back(), static_cast<UINT>(WM_NCDESTROY));
  const auto screen = Screen();
  ASSERT_EQ(screen.size(), 2u);
  EXPECT_EQ(screen[0], "SHOW Okno");
  EXPECT_EQ(screen[1], "HIDE Okno");
}

TEST_F(UserTest, InvalidHandlesAndClassesFailWithTheirErrors) {
  const HWND bogus = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x4321));
  EXPECT_FALSE(DestroyWindow(bogus));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_FALSE(PostMessageA(bogus, WM_NULL, 0, 0));
  EXPECT_EQ(SetTimer(bogus, 1, 100, nullptr), 0u);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                            nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "userTESTwindow";  // class names ignore letter case
  EXPECT_EQ(RegisterClassA(&wc), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
  HWND w = Make("x");
  EXPECT_FALSE(UnregisterClassA("UserTestWindow", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  EXPECT_EQ(GetWindowLongPtrA(w, 12345), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
  char text[4];
  EXPECT_EQ(GetWindowTextA(Make("abcdef"), text, sizeof text), 3);
  EXPECT_STREQ(text, "abc");
}

TEST_F(UserTest, QuitComesAfterPostedMessagesAndTimersAreLowPriorityAndSinglePending) {
  HWND w = Make("q");
  PostQuitMessage(3);
  PostMessageA(w, WM_USER, 1, 0);
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER));
  EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
  EXPECT_EQ(m.message, static_cast<UINT>(WM_QUIT));
  EXPECT_EQ(m.wParam, 3u);

  ASSERT_EQ(SetTimer(w, 7, 10, nullptr), 7u);
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  PostMessageA(w, WM_USER, 2, 0);
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_USER)) << "posted messages come before ticks";
  ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, static_cast<UINT>(WM_TIMER));
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
      << "six intervals passed, yet only one tick was pending";
  EXPECT_TRUE(KillTimer(w, 7));
  EXPECT_FALSE(KillTimer(w, 7));
  // The wait blocks until the next tick is due, without spinning.
  ASSERT_EQ(SetTimer(w, 8, 30, nullptr), 8u);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(WaitMessage());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(20));
  ASSERT_TRUE(PeekMessageA(&m, w, WM_TIMER, WM_TIMER, PM_REMOVE));
  EXPECT_EQ(m.wParam, 8u);
}

TEST_F(UserTest, TerminationSignalsAskTopLevelWindowsToClose) {
  HWND main_window = Make("main");
  HWND helper = Make("", WS_POPUP, nullptr, WS_EX_TOOLWINDOW);
  HWND child = Make("child", WS_CHILD, main_window);
  MSG m;
  PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists, with its signal handling
  ::raise(SIGTERM);
  std::vector<HWND> closing;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
    if (m.message == WM_CLOSE) closing.push_back(m.hwnd);
  EXPECT_EQ(closing, std::vector<HWND>{main_window});
  (void)helper;
  (void)child;
}

TEST_F(UserTest, HidingTheActiveWindowActivatesTheNextAndDisabledWindowsAreNotActivated) {
  HWND first = Make("first");
  HWND second = Make("second");
  ShowWindow(first, SW_SHOW);
  ShowWindow(second, SW_SHOW);
  EXPECT_EQ(GetActiveWindow(), second);
  ShowWindow(second, SW_HIDE);
  EXPECT_EQ(GetActiveWindow(), first);
  EXPECT_FALSE(EnableWindow(first, FALSE)) << "it was enabled";
  EXPECT_TRUE(EnableWindow(first, FALSE)) << "it was disabled";
  EXPECT_FALSE(IsWindowEnabled(first));
  ShowWindow(second, SW_SHOWNA);
  EXPECT_NE(GetActiveWindow(), second) << "SW_SHOWNA does not activate";
  std::vector<HWND> listed;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND w, LPARAM data) {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(w);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&listed));
  EXPECT_NE(std::find(listed.begin(), listed.end(), first), listed.end());
}

TEST_F(UserTest, MessageBoxesAndMenusAreRecordedAndAnsweredByScript) {
  HWND owner = Make("owner");
  EXPECT_EQ(MessageBoxA(owner, "Brak papieru.", "Wydruki", MB_OK | MB_ICONSTOP), IDOK);
  EXPECT_EQ(MessageBoxA(owner, "Dalej?", "W", MB_YESNO | MB_DEFBUTTON2), IDNO);
  wydruki::platform::QueueMessageBoxAnswer(IDYES);
  EXPECT_EQ(MessageBoxA(owner, "Dalej?", "W", MB_YESNO), IDYES);
  EXPECT_TRUE(IsWindowEnabled(owner));

  HMENU menu = CreatePopupMenu();
  AppendMenuA(menu, MF_STRING, 11, "&Anuluj");
  AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuA(menu, MF_STRING, 12, "&Koniec");
  EXPECT_EQ(EnableMenuItem(menu, 11, MF_BYCOMMAND | MF_GRAYED), MF_ENABLED);
  EXPECT_EQ(EnableMenuItem(menu, 99, MF_BYCOMMAND), -1);
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0) << "dismissed";
  wydruki::platform::QueueMenuChoice(11);
  EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 0, 0, 0, owner, nullptr), 0) << "greyed";
  wydruki::platform::QueueMenuChoice(12);
  EXPECT_TRUE(TrackPopupMenu(menu, 0, 0, 0, 0, owner, nullptr));
  MSG m;
  ASSERT_TRUE(PeekMessageA(&m, owner, WM_COMMAND, WM_COMMAND, PM_REMOVE));
  EXPECT_EQ(m.wParam, 12u);
  EXPECT_TRUE(DestroyMenu(menu));
  EXPECT_FALSE(DestroyMenu(menu));
  const auto screen = Screen();
  EXPECT_NE(std::find(screen.begin(), screen.end(), "MESSAGEBOX 16 Wydruki|Brak papieru."),
            screen.end());
  EXPECT_NE(std::find(screen.begin(), screen.end(), "MENU &Anuluj|-|&Koniec"), screen.end());
  HMENU system = GetSystemMenu(owner, FALSE);
  EXPECT_TRUE(DeleteMenu(system, SC_MAXIMIZE, MF_BYCOMMAND));
  EXPECT_FALSE(DeleteMenu(system, SC_MAXIMIZE, MF_BYCOMMAND));
}

TEST_F(UserTest, StandardControlsKeepTheirStateAndNotifyTheirParent) {
  HWND form = Make("form");
  messages_.clear();
  HWND box = CreateWindowExA(0, "BUTTON", "Fonty", WS_CHILD | BS_AUTOCHECKBOX, 0, 0, 10, 10, form,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(42)), nullptr, nullptr);
  ASSERT_NE(box, nullptr);
  SendMessageA(box, BM_CLICK, 0, 0);
  EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_NE(std::find(messages_.begin(), messages_.end(), static_cast<UINT>(WM_COMMAND)),
            messages_.end());
  HWND combo = CreateWindowExA(0, "COMBOBOX", "", WS_CHILD | CBS_DROPDOWN, 0, 0, 10, 10, form,
                               nullptr, nullptr, nullptr);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Mała"));
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>("Duża"));
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 1, 0), 1);
  char text[16];
  GetWindowTextA(combo, text, sizeof text);
  EXPECT_STREQ(text, "Duża");
  EXPECT_EQ(SendMessageA(combo, CB_SETCURSEL, 5, 0), CB_ERR);
  EXPECT_EQ(GetWindowTextLengthA(combo), 0);
  DestroyWindow(form);
  EXPECT_FALSE(IsWindow(box)) << "children go with their parent";
}

// A one-image icon file of 1×1 pixel, as the resource compiler reads it.
std::vector<std::uint8_t> TinyIconFile() {
  std::vector<std::uint8_t> file = {0, 0, 1, 0, 1, 0, 1, 1, 0, 0, 1, 0, 24, 0};
  const std::uint32_t image_size = 40 + 4 + 4;
  for (std::uint32_t v : {image_size, 22u})
    for (int i = 0; i < 4; ++i) file.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  file.insert(file.end(), {40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0});
  file.resize(file.size() + image_size - 16, 0);
  return file;
}

TEST_F(UserTest, NamedIconsAreTheProgramsResourcesAndButtonsKeepTheirPictures) {
  namespace platform = wydruki::platform;
  HINSTANCE self = GetModuleHandleA(nullptr);
  auto file = TinyIconFile();
  ASSERT_TRUE(platform::RegisterIconResource("TestIcon", file.data(), file.size()));
  HICON icon = LoadIconA(self, "TESTICON");
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIconA(self, "testicon"), icon) << "one shared icon, any letter case";
  EXPECT_EQ(LoadImageA(self, "TestIcon", IMAGE_ICON, 16, 16, LR_SHARED), icon);
  EXPECT_EQ(LoadImageA(self, "TestIcon", IMAGE_BITMAP, 16, 16, 0), nullptr);
  EXPECT_EQ(LoadIconA(self, "NoSuchIcon"), nullptr);
  EXPECT_EQ(GetLastError(), 1814u);
  // Bytes that are not an icon file register nothing.
  auto bad = file;
  bad[2] = 2;  // a cursor file
  EXPECT_FALSE(platform::RegisterIconResource("Bad", bad.data(), bad.size()));
  bad = file;
  bad[18] = 200;  // the image lies beyond the end
  EXPECT_FALSE(platform::RegisterIconResource("Bad", bad.data(), bad.size()));
  EXPECT_FALSE(platform::RegisterIconResource("Bad", file.data(), 21));
  EXPECT_EQ(LoadIconA(self, "Bad"), nullptr);

  HWND form = Make("form");
  EXPECT_EQ(SendMessageA(form, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon)), 0);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(form, WM_GETICON, ICON_BIG, 0)), icon);
  HWND button =
      CreateWindowExA(0, "BUTTON", "OK", WS_CHILD, 0, 0, 10, 10, form, nullptr, nullptr, nullptr);
  EXPECT_EQ(SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon)), 0);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(button, BM_GETIMAGE, IMAGE_ICON, 0)), icon);
  EXPECT_EQ(SendMessageA(button, BM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "an icon is no bitmap";
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(button, BM_SETIMAGE, IMAGE_ICON, 0)), icon);
}

TEST_F(UserTest, TheNotificationAreaFollowsTheShellsRules) {
  HWND w = Make("", WS_POPUP, nullptr, WS_EX_TOOLWINDOW);
  NOTIFYICONDATAA data{};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = w;
  data.uFlags = NIF_TIP | NIF_ICON | NIF_MESSAGE;
  data.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  std::memset(data.szTip, 'x', 70);  // longer than the first form's tip, not terminated in it
  data.szTip[100] = '\0';
  EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &data)) << "nothing to modify yet";
  EXPECT_FALSE(Shell_NotifyIconA(NIM_DELETE, &data));
  EXPECT_TRUE(Shell_NotifyIconA(NIM_ADD, &data));
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data)) << "already there";
  EXPECT_TRUE(Shell_NotifyIconA(NIM_MODIFY, &data));
  EXPECT_TRUE(Shell_NotifyIconA(NIM_DELETE, &data));
  data.cbSize = 20;
  EXPECT_FALSE(Shell_NotifyIconA(NIM_ADD, &data));
  const auto screen = Screen();
  ASSERT_EQ(screen.size(), 3u);
  EXPECT_EQ(screen[0].rfind("TRAY ADD ", 0), 0u);
  EXPECT_EQ(screen[0].substr(screen[0].size() - 64), " " + std::string(63, 'x'));
  EXPECT_EQ(screen[2].rfind("TRAY DELETE ", 0), 0u);
}

}  // namespace
