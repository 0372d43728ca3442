// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "Forms/Application.h"
#include "Forms/Menus.h"
#include "Base/Exceptions.h"
#include "Icon6/Icon6.h"
#include "WTaskBar/WinTaskbar.h"
#include "test_support/icon_bytes.h"
#include "test_support/temp_dir.h"

namespace wydruki::wtaskbar {
namespace {

using forms::TForm;
using forms::TObject;
using graphics::TIcon;
using test::ScopedEnv;
using test::TempDir;

class TrayTest : public ::testing::Test {
 protected:
  TrayTest()
      : ini_("WYDRUKI_INI", dir_.Write("win.ini", "[display]\ndriver=null\nrecord=" +
                                                      dir_.Path("screen.txt") + "\n")) {
    application_ = std::make_unique<forms::TApplication>();
    forms::FormLayout layout;
    layout.caption = "main";
    application_->AddForm(form_, layout);
    tray_ = new TWinTaskbar(form_);
    idle_.LoadFromBytes(test::SolidIconFile(0, 128, 0));
    busy_.LoadFromBytes(test::SolidIconFile(200, 0, 0));
  }
  ~TrayTest() override { application_.reset(); }

  std::vector<std::string> TrayLines() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_.Path("screen.txt"));
    for (std::string line; std::getline(in, line);)
      if (line.rfind("TRAY ", 0) == 0 || line.rfind("MENU ", 0) == 0) lines.push_back(line);
    return lines;
  }
  static std::string Kind(const std::string& line) { return line.substr(0, line.find(' ', 5)); }

  // The shell's notification of a mouse message on the icon, delivered through the queue.
  void Mouse(UINT mouse_message) {
    PostMessageA(tray_->MessageWindow(), TrayCallbackMessage, 0, mouse_message);
    application_->DrainMessages();
  }

  TempDir dir_;
  ScopedEnv ini_;
  std::unique_ptr<forms::TApplication> application_;
  TForm* form_ = nullptr;
  TWinTaskbar* tray_ = nullptr;
  TIcon idle_, busy_;
};

TEST_F(TrayTest, ShowingAddsOnceThenModifiesAndTheSameHintSendsNothing) {
  tray_->SetHint("Wydruk dla D'95");
  tray_->SetIcon(&idle_);
  EXPECT_TRUE(TrayLines().empty()) << "nothing is shown while ShowIcon is false";
  tray_->SetShowIcon(true);
  tray_->SetShowIcon(true);
  auto lines = TrayLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Kind(lines[0]), "TRAY ADD");
  EXPECT_EQ(Kind(lines[1]), "TRAY MODIFY");
  EXPECT_NE(lines[0].find("Wydruk dla D'95"), std::string::npos);
  tray_->SetHint("Wydruk dla D'95");
  EXPECT_EQ(TrayLines().size(), 2u);
  EXPECT_EQ(tray_->IconData().uCallbackMessage, 1147u);
  EXPECT_EQ(tray_->IconData().uFlags, 7u);
  EXPECT_EQ(tray_->IconData().uID, 0u);
}

TEST_F(TrayTest, AnimationFramesModifyTheIconAndANullIconOrDestructionRemovesIt) {
  tray_->SetIcon(&idle_);
  tray_->SetShowIcon(true);
  tray_->SetIcon(&busy_);
  const HICON busy_handle = tray_->IconData().hIcon;
  tray_->SetIcon(&idle_);
  tray_->SetIcon(&busy_);
  EXPECT_EQ(tray_->IconData().hIcon, busy_handle) << "a frame's handle is made once";
  auto lines = TrayLines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_NE(lines[1].substr(12), lines[2].substr(12)) << "the two frames are different images";
  EXPECT_EQ(lines[1], lines[3]);
  tray_->SetIcon(nullptr);
  EXPECT_EQ(Kind(TrayLines().back()), "TRAY DELETE");
  EXPECT_EQ(tray_->IconData().hIcon, nullptr);
  tray_->SetIcon(&idle_);
  EXPECT_EQ(Kind(TrayLines().back()), "TRAY ADD");
  delete tray_;
  EXPECT_EQ(Kind(TrayLines().back()), "TRAY DELETE");
}

TEST_F(TrayTest, TipsLongerThanTheShellHoldsShowTheirBeginning) {
  tray_->SetIcon(&idle_);
  tray_->SetShowIcon(true);
  tray_->SetHint(std::string(70, 'x'));
  EXPECT_EQ(std::string(tray_->IconData().szTip), std::string(63, 'x'));
  EXPECT_EQ(tray_->Hint(), std::string(70, 'x'));
}

TEST_F(TrayTest, ADoubleClickIsOneClickOneDoubleClickAndASwallowedRelease) {
  int clicks = 0, double_clicks = 0;
  tray_->OnClick = [&](TObject*) { ++clicks; };
  tray_->OnDblClick = [&](TObject*) { ++double_clicks; };
  for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}) Mouse(m);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(double_clicks, 1);
  EXPECT_FALSE(tray_->DblClickSeen());
  Mouse(WM_RBUTTONDBLCLK);
  EXPECT_TRUE(tray_->DblClickSeen());
  Mouse(WM_LBUTTONUP);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(double_clicks, 2);
}

TEST_F(TrayTest, ARightPressOpensThePopupMenuWhenThereIsOne) {
  Mouse(WM_RBUTTONDOWN);
  EXPECT_TRUE(TrayLines().empty());
  auto* menu = new forms::TPopupMenu(form_);
  menu->Add("&Anuluj wydruk").SetEnabled(false);
  menu->Add("K&onfiguracja");
  menu->Add("-");
  menu->Add("&Koniec");
  tray_->PopUpMenu = menu;
  Mouse(WM_RBUTTONDOWN);
  const auto lines = TrayLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("MENU ", 0), 0u);
  EXPECT_NE(lines[0].find("K&onfiguracja"), std::string::npos) << lines[0];
  // A removed menu is forgotten.
  delete menu;
  EXPECT_EQ(tray_->PopUpMenu, nullptr);
}

TEST_F(TrayTest, OtherMessagesGetDefaultHandlingAndTheOwnerMustBeAForm) {
  EXPECT_EQ(SendMessageA(tray_->MessageWindow(), WM_USER + 7, 0, 0), 0);
  forms::TComponent not_a_form(nullptr);
  try {
    TWinTaskbar orphan(&not_a_form);
    FAIL();
  } catch (const EInvalidCast& e) {
    EXPECT_STREQ(e.what(), "Invalid class typecast");
  }
}

TEST(Icons, SharedImagesEmptyIconsAndInvalidFiles) {
  icon6::TIcon6 set(nullptr);
  for (int i = 1; i <= 6; ++i) EXPECT_TRUE(set.IconNumber(i).Empty());
  TIcon frame;
  frame.LoadFromBytes(test::SolidIconFile(1, 2, 3));
  set.SetIcon2(&frame);
  set.SetIcon3(&frame);
  EXPECT_TRUE(set.Icon2().SharesImageWith(frame));
  set.SetIcon3(nullptr);
  EXPECT_TRUE(set.Icon3().Empty());
  EXPECT_FALSE(set.Icon2().Empty());
  frame.LoadFromBytes(test::SolidIconFile(9, 9, 9));
  EXPECT_FALSE(set.Icon2().SharesImageWith(frame)) << "sharing ends with a new image";

  auto two_images = test::SolidIconFile(1, 1, 1);
  two_images[4] = 2;
  TIcon icon;
  EXPECT_THROW(icon.LoadFromBytes(two_images), EInvalidGraphic);
  auto cursor_file = test::SolidIconFile(1, 1, 1);
  cursor_file[2] = 2;
  icon.LoadFromBytes(cursor_file);
  EXPECT_THROW(icon.Handle(), EInvalidGraphic);
  auto truncated = test::SolidIconFile(1, 1, 1);
  truncated.resize(100);
  icon.LoadFromBytes(truncated);
  EXPECT_THROW(icon.Handle(), EInvalidGraphic);
  auto type_zero = test::SolidIconFile(1, 1, 1);
  type_zero[2] = 0;
  icon.LoadFromBytes(type_zero);
  EXPECT_EQ(icon.Handle(), LoadIconA(nullptr, IDI_APPLICATION));
  EXPECT_EQ(test::SolidIconFile(0, 0, 0).size(), 894u);
}

}  // namespace
}  // namespace wydruki::wtaskbar
