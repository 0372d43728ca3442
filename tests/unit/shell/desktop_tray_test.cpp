// SPDX-License-Identifier: MIT
// The desktop tray as a display driver uses it: Windows tray calls in, posted messages out.
// The test thread is the program's user-interface thread: it turns the GLib main context and
// dispatches the posted messages, while bus clients and the watcher run on threads of their
// own. Run under a private bus (dbus-run-session).
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <vector>

#include "platform/api/user.h"
#include "shell/desktop_tray.h"
#include "shell/tray_presence.h"
#include "shell_bus_support.h"
#include "test_support/icon_bytes.h"

namespace wydruki::platform {
namespace {

constexpr UINT kCallback = WM_USER + 123;
std::vector<LPARAM> tray_messages;
std::vector<WPARAM> commands;
HMENU popup_menu = nullptr;

// Behaves as the program's tray component: a right button press opens its popup.
LRESULT CALLBACK Program(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kCallback) {
    tray_messages.push_back(lparam);
    if (lparam == WM_RBUTTONDOWN)
      TrackPopupMenu(popup_menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, 0, 0, 0, window, nullptr);
    return 0;
  }
  if (message == WM_COMMAND) {
    commands.push_back(wparam);
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

HICON Icon(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  auto file = test::SolidIconFile(r, g, b);
  return CreateIconFromResourceEx(file.data() + 22, static_cast<DWORD>(file.size() - 22), TRUE,
                                  0x00030000, 16, 16, 0);
}

// Turns the main context and the message queue until `done` holds or the deadline passes.
template <typename Done>
bool Pump(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    g_usleep(1000);  // the queue has no file descriptor to wait on
  }
  return false;
}

template <typename T>
T PumpFor(std::future<T> future) {
  Pump([&] { return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
  return future.get();
}

TEST(DesktopTrayTest, TheProgramsMenuIsExportedFollowedAndItsCommandsComeBack) {
  Log<Registration> registrations;
  Watcher watcher(registrations);
  WNDCLASSA wc{};
  wc.lpfnWndProc = &Program;
  wc.lpszClassName = "TrayOwnerForTest";
  ASSERT_NE(RegisterClassA(&wc), 0);
  HWND window = CreateWindowExA(0, "TrayOwnerForTest", "", 0, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  popup_menu = CreatePopupMenu();
  AppendMenuA(popup_menu, MF_STRING | MF_GRAYED, 1, "&Anuluj wydruk");
  AppendMenuA(popup_menu, MF_STRING, 2, "K&onfiguracja");
  AppendMenuA(popup_menu, MF_SEPARATOR, 3, nullptr);
  AppendMenuA(popup_menu, MF_STRING, 4, "&Koniec");

  auto tray = std::make_unique<DesktopTray>();
  TrayIconState icon{window, 0, Icon(0x12, 0x34, 0x56), "Wydruk dla D'95", kCallback};
  ASSERT_TRUE(tray->Add(icon));
  EXPECT_FALSE(tray->Add(icon)) << "a second add of the same icon must fail";
  ASSERT_TRUE(Pump([&] { return registrations.Size() >= 1; }));
  const std::string service = registrations.Items()[0].service;
  Client client(service);

  // The right click that fetched the menu reached the program, and took the menu without
  // showing it or choosing anything.
  ASSERT_TRUE(Pump([&] { return tray_messages.size() >= 2; }));
  EXPECT_EQ(tray_messages[0], WM_RBUTTONDOWN);
  EXPECT_EQ(tray_messages[1], WM_RBUTTONUP);
  EXPECT_TRUE(commands.empty());

  EXPECT_EQ(PumpFor(std::async(std::launch::async, [&] { return client.MenuLabels(); })),
            "1:_Anuluj wydruk (off)|2:K_onfiguracja|3:separator|4:_Koniec");

  // Enabling the first entry, as the print driver does at a job's start, reaches the host.
  EnableMenuItem(popup_menu, 1, MF_BYCOMMAND | MF_ENABLED);
  EXPECT_EQ(PumpFor(std::async(std::launch::async, [&] { return client.MenuLabels(); })),
            "1:_Anuluj wydruk|2:K_onfiguracja|3:separator|4:_Koniec");
  PumpFor(std::async(std::launch::async, [&] { return client.Click(1); }));
  PumpFor(std::async(std::launch::async, [&] { return client.Click(4); }));
  ASSERT_TRUE(Pump([&] { return commands.size() >= 2; }));
  EXPECT_EQ(commands, (std::vector<WPARAM>{1, 4}));

  // The tip follows a modify, converted from Windows-1250.
  icon.tip = "Wydruk dla D'95 Drukowanie :7% \xB3";
  icon.icon = Icon(0, 0xFF, 0);
  ASSERT_TRUE(tray->Modify(icon));
  EXPECT_EQ(PumpFor(std::async(std::launch::async, [&] { return client.TipTitle(); })),
            "Wydruk dla D'95 Drukowanie :7% ł");

  // A double click on the icon is Windows' sequence.
  tray_messages.clear();
  PumpFor(std::async(std::launch::async, [&] { return client.Activate() && client.Activate(); }));
  ASSERT_TRUE(Pump([&] { return tray_messages.size() >= 4; }));
  EXPECT_EQ(tray_messages,
            (std::vector<LPARAM>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));

  tray->Delete(icon);
  EXPECT_FALSE(tray->Modify(icon));
  tray.reset();
  DestroyMenu(popup_menu);
  DestroyWindow(window);
}

}  // namespace
}  // namespace wydruki::platform
