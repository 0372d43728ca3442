// SPDX-License-Identifier: MIT
#include "pp2/FontSettings.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support/temp_dir.h"

namespace wydruki::pp2 {
namespace {

using test::TempDir;

class FontSettingsTest : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.Path("font.def"); }
  FontChoice Load(const std::string& content) {
    dir_.Write("font.def", content);
    FontChoice dialog{"Before", "77", 1};
    LoadFontSettingsFrom(Path(), &dialog);
    return dialog;
  }
  TempDir dir_;
};

TEST_F(FontSettingsTest, WithoutAFileTheDialogGetsTheDefaultsAndNothingIsWritten) {
  UseStandardFonts = true;
  FontChoice dialog{"Other", "50", 0};
  LoadFontSettingsFrom(Path(), &dialog);
  EXPECT_EQ(dialog.face, "Courier New");
  EXPECT_EQ(dialog.height_text, "120");
  EXPECT_EQ(dialog.weight_index, 3);
  EXPECT_FALSE(UseStandardFonts);
  EXPECT_FALSE(dir_.Exists("font.def"));
  // Without the dialog only the switch is settled.
  UseStandardFonts = true;
  LoadFontSettingsFrom(Path(), nullptr);
  EXPECT_FALSE(UseStandardFonts);
}

TEST_F(FontSettingsTest, FourLinesRoundTripAndOnlyTheExactWordFalseClearsTheSwitch) {
  FontChoice dialog = Load("Courier New\r\n85 \r\n4\r\nTRUE\r\n");
  EXPECT_EQ(dialog.face, "Courier New");
  EXPECT_EQ(dialog.height_text, "85");
  EXPECT_EQ(dialog.weight_index, 4);
  EXPECT_TRUE(UseStandardFonts);
  Load("Courier New\r\n120\r\n3\r\nfalse\r\n");
  EXPECT_TRUE(UseStandardFonts);
  Load("Courier New\r\n120\r\n3\r\nFALSE\r\n");
  EXPECT_FALSE(UseStandardFonts);

  FontChoice saved{"Liberation Mono", "12 ", -1};
  UseStandardFonts = true;
  ASSERT_TRUE(SaveFontSettingsTo(Path(), saved));
  EXPECT_EQ(dir_.Read("font.def"), "Liberation Mono\r\n12 \r\n-1\r\nTRUE\r\n");
  FontChoice loaded{"x", "x", 0};
  LoadFontSettingsFrom(Path(), &loaded);
  EXPECT_EQ(loaded.face, "Liberation Mono");
  EXPECT_EQ(loaded.height_text, "12");
  EXPECT_EQ(loaded.weight_index, -1);
  EXPECT_TRUE(UseStandardFonts);
}

TEST_F(FontSettingsTest, MalformedFilesKeepWhatTheyCannotSay) {
  // An empty face keeps the dialog's face; lines without a number keep their values.
  FontChoice dialog = Load("\r\nabc\r\n   \r\nFALSE\r\n");
  EXPECT_EQ(dialog.face, "Before");
  EXPECT_EQ(dialog.height_text, "77");
  EXPECT_EQ(dialog.weight_index, 1);
  EXPECT_FALSE(UseStandardFonts);
  // Hexadecimal and signed numbers; the rest of a number line is ignored.
  dialog = Load("Mono\r\n$64 percent\r\n-1 none\r\nFALSE");
  EXPECT_EQ(dialog.height_text, "100");
  EXPECT_EQ(dialog.weight_index, -1);
  // A file that ends after its third line leaves the switch clear.
  UseStandardFonts = true;
  Load("FALSE-looking face\r\n100\r\n2\r\n");
  EXPECT_FALSE(UseStandardFonts);
  // Ctrl-Z ends the file wherever it stands.
  dialog = Load("Mono\r\n90\x1A\r\n4\r\nTRUE\r\n");
  EXPECT_EQ(dialog.height_text, "90");
  EXPECT_EQ(dialog.weight_index, 1);
  EXPECT_FALSE(UseStandardFonts);
  // An out-of-range index is taken as it is; the weight list shows no selection for it.
  EXPECT_EQ(Load("Mono\r\n100\r\n7\r\nFALSE\r\n").weight_index, 7);
  EXPECT_EQ(WeightForIndex(7), 0);
}

TEST_F(FontSettingsTest, ASaveThatCannotBeWrittenReportsFailure) {
  EXPECT_FALSE(SaveFontSettingsTo(dir_.Path("no/such/dir/font.def"), FontChoice{}));
}

TEST(BuildPrintLogFont, FillsTheWholeRecordFromTheDialogsValues) {
  BuildPrintLogFont("Courier New", "85 ", 4);
  EXPECT_EQ(HeightPercent, 85);
  EXPECT_EQ(PrintLogFont.lfHeight, 23);
  EXPECT_EQ(PrintLogFont.lfWidth, 28);
  EXPECT_EQ(PrintLogFont.lfWeight, 800);
  EXPECT_EQ(ChosenWeight, 800);
  EXPECT_EQ(PrintLogFont.lfCharSet, 238);
  EXPECT_EQ(PrintLogFont.lfQuality, 2);
  EXPECT_EQ(PrintLogFont.lfPitchAndFamily, 0);
  EXPECT_STREQ(PrintLogFont.lfFaceName, "Courier New");

  BuildPrintLogFont(std::string(40, 'F'), "12 ", -1);
  EXPECT_EQ(PrintLogFont.lfHeight, 3);
  EXPECT_EQ(PrintLogFont.lfWeight, 0);
  EXPECT_EQ(std::string(PrintLogFont.lfFaceName), std::string(31, 'F'));
  BuildPrintLogFont("x", "   ", 0);
  EXPECT_EQ(HeightPercent, 0);
  EXPECT_EQ(PrintLogFont.lfHeight, 0);
  BuildPrintLogFont("x", "-50", 0);
  EXPECT_EQ(HeightPercent, 0);
  // The extended-precision product truncates to the integer quotient for every height.
  for (int percent = 0; percent <= 999; ++percent) {
    BuildPrintLogFont("x", std::to_string(percent), 1);
    ASSERT_EQ(PrintLogFont.lfHeight, percent * 28 / 100) << percent;
  }
}

TEST(ProgramDirectory, CutAfterTheLastBackslash) {
  EXPECT_EQ(DirectoryOfProgram("C:\\PROG\\AGENT.EXE"), "C:\\PROG\\");
  EXPECT_EQ(DirectoryOfProgram("Z:\\usr\\bin\\wydrukid95"), "Z:\\usr\\bin\\");
  EXPECT_EQ(DirectoryOfProgram("C:\\AGENT.EXE"), "C:\\");
  EXPECT_EQ(DirectoryOfProgram("AGENT.EXE"), "AG");
  const std::string own = ProgramDirectory();
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own.back(), '\\');
}

}  // namespace
}  // namespace wydruki::pp2
