// SPDX-License-Identifier: MIT
// The font selection dialog with its settings file beside the program (this test program).
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "Forms/Application.h"
#include "pp2/FontSettings.h"
#include "pp2/WyborFonty.h"
#include "test_support/temp_dir.h"

namespace wydruki::pp2 {
namespace {

class FontDialogTest : public ::testing::Test {
 protected:
  FontDialogTest() : ini_("WYDRUKI_INI", files_.Write("win.ini", "[display]\ndriver=null\n")) {
    std::remove(Native().c_str());
  }
  ~FontDialogTest() override {
    application_.reset();
    std::remove(Native().c_str());
  }
  // The settings file as this system names it: beside the program.
  static std::string Native() {
    char path[4096] = {};
    const auto length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string program(path, length > 0 ? static_cast<std::size_t>(length) : 0);
    return program.substr(0, program.rfind('/') + 1) + "font.def";
  }
  TWyborFonty& Open() {
    application_ = std::make_unique<forms::TApplication>();
    application_->AddForm(WyborFonty);
    return *WyborFonty;
  }

  test::TempDir files_;
  test::ScopedEnv ini_;
  std::unique_ptr<forms::TApplication> application_;
};

TEST_F(FontDialogTest, WithoutSettingsTheDefaultsAreShownAndPrintingHasAFontAtOnce) {
  TWyborFonty& dialog = Open();
  EXPECT_GE(dialog.FontyRodzaj->IndexOf("Courier New"), 0) << "the standard face is offered";
  EXPECT_EQ(dialog.FontyRodzaj->Text(), "Courier New");
  EXPECT_EQ(dialog.Wys->Text(), "120");
  EXPECT_EQ(dialog.Grubosc->ItemIndex(), 3);
  EXPECT_EQ(PrintLogFont.lfHeight, 33);
  EXPECT_EQ(PrintLogFont.lfWidth, 28);
  EXPECT_EQ(PrintLogFont.lfWeight, 700);
  EXPECT_EQ(dialog.PreviewFaceName(), "Courier New");
  for (const auto& face : dialog.FontyRodzaj->Items()) {
    EXPECT_NE(face, "Liberation Sans") << "proportional faces are not offered";
    EXPECT_NE(face, "Default");
  }
  std::FILE* file = std::fopen(Native().c_str(), "rb");
  EXPECT_EQ(file, nullptr) << "loading never writes the settings";
  if (file != nullptr) std::fclose(file);
}

TEST_F(FontDialogTest, OkSavesTheFieldsButTheFaceOfTheLastPreview) {
  TWyborFonty& dialog = Open();
  dialog.FormShow(nullptr);
  const int other = dialog.FontyRodzaj->IndexOf("DejaVu Sans Mono");
  if (other >= 0) dialog.FontyRodzaj->SetItemIndex(other);
  dialog.Grubosc->SetItemIndex(4);
  dialog.Wys->SetText("85");
  dialog.OKClick(nullptr);
  std::FILE* file = std::fopen(Native().c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char buffer[256] = {};
  const auto n = std::fread(buffer, 1, sizeof buffer - 1, file);
  std::fclose(file);
  EXPECT_EQ(std::string(buffer, n), "Courier New\r\n85 \r\n4\r\nFALSE\r\n");
  EXPECT_EQ(PrintLogFont.lfWeight, 700) << "the print font changes only at a preview";
}

TEST_F(FontDialogTest, CancelBringsBackWhatTheDialogShowedWhenItOpened) {
  TWyborFonty& dialog = Open();
  dialog.FormShow(nullptr);
  dialog.Wys->SetText("50");
  dialog.Grubosc->SetItemIndex(0);
  dialog.BitBtn2Click(nullptr);  // apply
  EXPECT_EQ(PrintLogFont.lfHeight, 14);
  EXPECT_EQ(PrintLogFont.lfWeight, 400);
  dialog.AnulujClick(nullptr);
  EXPECT_EQ(dialog.Wys->Text(), "120");
  EXPECT_EQ(dialog.Grubosc->ItemIndex(), 3);
  EXPECT_EQ(PrintLogFont.lfHeight, 33);
  EXPECT_EQ(PrintLogFont.lfWeight, 700);
  EXPECT_EQ(dialog.SavedPrintLogFont.lfHeight, 33);
}

TEST_F(FontDialogTest, AFaceThatIsNotInstalledFallsBackToAFixedPitchFaceNamedInTheDialog) {
  // Left to the font mapper with no pitch asked for, a missing face prints in a proportional
  // face and tears the grid's columns apart.
  std::FILE* file = std::fopen(Native().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("No Such Face\r\n100\r\n1\r\nFALSE\r\n", file);
  std::fclose(file);
  TWyborFonty& dialog = Open();
  ASSERT_GE(dialog.FontyRodzaj->ItemIndex(), 0);
  const std::string substitute = dialog.FontyRodzaj->Text();
  EXPECT_NE(substitute, "No Such Face");
  EXPECT_STREQ(PrintLogFont.lfFaceName, substitute.c_str());
  EXPECT_EQ(dialog.PreviewFaceName(), substitute);
  // The substitute is a monospaced TrueType face of the modern family.
  LOGFONTA query{};
  query.lfHeight = 28;
  query.lfCharSet = 238;
  std::strncpy(query.lfFaceName, substitute.c_str(), sizeof query.lfFaceName - 1);
  HFONT font = CreateFontIndirectA(&query);
  HDC screen = GetDC(nullptr);
  HGDIOBJ previous = SelectObject(screen, font);
  TEXTMETRICA metrics{};
  EXPECT_TRUE(GetTextMetricsA(screen, &metrics));
  EXPECT_EQ(metrics.tmPitchAndFamily, 0x36) << substitute;
  SelectObject(screen, previous);
  ReleaseDC(nullptr, screen);
  DeleteObject(font);
  EXPECT_TRUE(dialog.Zamiennik->Visible());
  EXPECT_EQ(dialog.Zamiennik->Caption(),
            "Brak czcionki \"No Such Face\", u\xBFyto \"" + substitute + "\".");
  EXPECT_EQ(dialog.Grubosc->ItemIndex(), 1);
  EXPECT_EQ(PrintLogFont.lfHeight, 28);

  // Once a listed face is loaded, the note goes.
  file = std::fopen(Native().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("Courier New\r\n100\r\n1\r\nFALSE\r\n", file);
  std::fclose(file);
  LoadFontSettings(&dialog);
  EXPECT_EQ(dialog.PreviewFaceName(), "Courier New");
  EXPECT_FALSE(dialog.Zamiennik->Visible());
}

// Filling the face list measures every face in the preview font; an empty face line must not
// leave the preview (and so the print font) in the face that happened to be measured last.
TEST_F(FontDialogTest, AnEmptyFaceLineKeepsTheStandardFace) {
  std::FILE* file = std::fopen(Native().c_str(), "wb");
  ASSERT_NE(file, nullptr);
  std::fputs("\r\n100\r\n1\r\nFALSE\r\n", file);
  std::fclose(file);
  TWyborFonty& dialog = Open();
  ASSERT_GT(dialog.FontyRodzaj->Items().size(), 1u) << "more than one face was measured";
  EXPECT_EQ(dialog.PreviewFaceName(), "Courier New");
  EXPECT_EQ(dialog.FontyRodzaj->Text(), "Courier New");
  EXPECT_STREQ(PrintLogFont.lfFaceName, "Courier New");
}

}  // namespace
}  // namespace wydruki::pp2
