// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pp1/CharMap.h"
#include "pp1/JobSignal.h"
#include "pp1/RetryPace.h"
#include "pp2/TextLines.h"
#include "test_support/temp_dir.h"

namespace wydruki::pp1 {
namespace {

using test::TempDir;

std::vector<std::string> ReadAll(const std::string& path, std::string* after_end = nullptr) {
  pp2::TextLineReader reader(path);
  EXPECT_TRUE(reader.IsOpen());
  std::vector<std::string> lines;
  while (!reader.AtEnd()) lines.push_back(reader.ReadLine());
  if (after_end != nullptr) *after_end = reader.ReadLine();
  return lines;
}

TEST(TextLines, LinesEndAtCrOrCrLfAndABareLfStaysInTheLine) {
  TempDir dir;
  const auto path = dir.Write("a.txt", std::string("one\r\ntwo\rthree\nstill three\n\r\r\nlast"));
  std::string past_end = "x";
  EXPECT_EQ(ReadAll(path, &past_end),
            (std::vector<std::string>{"one", "two", "three\nstill three\n", "", "last"}));
  EXPECT_EQ(past_end, "");
  // A final CR LF adds no empty line.
  EXPECT_EQ(ReadAll(dir.Write("b.txt", "x\r\n")), (std::vector<std::string>{"x"}));
  EXPECT_TRUE(ReadAll(dir.Write("c.txt", "")).empty());
}

TEST(TextLines, CtrlZEndsTheFileAndEveryOtherByteIsKept) {
  TempDir dir;
  const std::string bytes(
      "a\x00\x0C\x1B"
      "b\r\ncd\x1A"
      "ef\r\ngh",
      15);
  EXPECT_EQ(ReadAll(dir.Write("z.txt", bytes)),
            (std::vector<std::string>{std::string("a\x00\x0C\x1B"
                                                  "b",
                                                  5),
                                      "cd"}));
}

TEST(TextLines, LongLinesCrossTheBufferAndCrLfSplitAcrossBuffersIsOneEnd) {
  TempDir dir;
  std::string long_line(1000, 'x');
  std::string text = std::string(127, 'a') + "\r\n" + long_line + "\r\nend";
  pp2::TextLineReader reader(dir.Write("long.txt", text));
  EXPECT_EQ(reader.Size(), text.size());
  EXPECT_EQ(reader.ReadLine(), std::string(127, 'a'));
  EXPECT_EQ(reader.BytesFetched(), 256u) << "the LF was fetched with the next buffer";
  EXPECT_EQ(reader.ReadLine(), long_line);
  EXPECT_EQ(reader.ReadLine(), "end");
  EXPECT_TRUE(reader.AtEnd());

  // The same where one read from the file ends between CR and LF, and progress still counts
  // whole 128-byte blocks, not reads.
  const std::size_t read = pp2::TextLineReader::kReadSize;
  const std::string after_end(1000, 'z');
  pp2::TextLineReader blocks(
      dir.Write("blocks.txt", std::string(read - 1, 'b') + "\r\ntail\x1A" + after_end));
  EXPECT_EQ(blocks.ReadLine(), std::string(read - 1, 'b'));
  EXPECT_EQ(blocks.BytesFetched(), read + 128);
  EXPECT_EQ(blocks.ReadLine(), "tail");
  EXPECT_TRUE(blocks.AtEnd());
}

TEST(TextLines, AMissingFileDoesNotOpen) {
  TempDir dir;
  pp2::TextLineReader reader(dir.Path("none.txt"));
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_TRUE(reader.AtEnd());
  EXPECT_EQ(reader.ReadLine(), "");
}

TEST(CharMap, PolishLettersAndTheLineMapOnceAndEverythingElsePasses) {
  EXPECT_EQ(ConvertLine("\xA5\x86\xA4\xC4\x8A"), "\xB9\xE6\xA5\x97\x8A");
  // 0xA4 becomes 0xA5 (A-ogonek) and is not mapped again to 0xB9.
  EXPECT_EQ(ConvertLine("\xA4"), "\xA5");
  const std::string all852 =
      "\xA4\x8F\xA8\x9D\xE3\xE0\x97\xBD\x8D\xA5\x86\xA9\x88\xE4\xA2\x98\xBE\xAB";
  EXPECT_EQ(ConvertLine(all852),
            "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\xAF\x8F\xB9\xE6\xEA\xB3\xF1\xF3\x9C\xBF\x9F");
  EXPECT_EQ(ConvertLine(std::string("a\x00z", 3)), std::string("a\x00z", 3));
}

TEST(JobInteger, DecimalHexadecimalSignsAndLeadingBlanksOnly) {
  EXPECT_EQ(ParseJobInteger("76"), 76);
  EXPECT_EQ(ParseJobInteger("   76"), 76);
  EXPECT_EQ(ParseJobInteger("+76"), 76);
  EXPECT_EQ(ParseJobInteger("-1"), -1);
  EXPECT_EQ(ParseJobInteger("$4C"), 76);
  EXPECT_EQ(ParseJobInteger("-$10"), -16);
  EXPECT_EQ(ParseJobInteger("2147483647"), 2147483647);
  EXPECT_EQ(ParseJobInteger("-2147483648"), -2147483647 - 1);
  for (const char* invalid : {"76 ", "", " ", "+", "$", "7 6", "0x4C", "2147483648", "$80000000",
                              "99999999999999999999", "\t76", "76\n"})
    EXPECT_FALSE(ParseJobInteger(invalid).has_value()) << invalid;
}

TEST(JobSignal, TheFirstLineNamesTheFileAndTheSecondGivesTheLinesPerPage) {
  TempDir dir;
  const auto signal =
      ReadJobFile(dir.Write("win95.drk", "C:\\D95\\WYDRUK.TXT\r\n76\r\nignored\r\n"));
  EXPECT_EQ(signal.file_name, "C:\\D95\\WYDRUK.TXT");
  EXPECT_EQ(signal.lines_per_page, 77);
  EXPECT_FALSE(ReadJobFile(dir.Write("one.drk", "name only")).lines_per_page.has_value());
  EXPECT_FALSE(ReadJobFile(dir.Write("blank.drk", "n\r\n76 \r\n")).lines_per_page.has_value());
  EXPECT_FALSE(ReadJobFile(dir.Write("max.drk", "n\r\n2147483647\r\n")).lines_per_page.has_value());
  // Bare LF line ends make one line: the name holds the rest of the file.
  EXPECT_EQ(ReadJobFile(dir.Write("lf.drk", "a.txt\n76\n")).file_name, "a.txt\n76\n");
  EXPECT_EQ(ReadJobFile(dir.Path("missing.drk")).file_name, "");
  EXPECT_EQ(ReadJobFile(dir.Write("empty.drk", "")).file_name, "");
}

// A kept job is tried again at most every five seconds, and at the first tick after that
// however long the gap: days of suspend, or the wrap of the 32-bit tick count.
TEST(RetryPaceTest, AttemptsAreFiveSecondsApartAndNoGapHoldsAJobBack) {
  RetryPace pace;
  EXPECT_FALSE(pace.Waiting(1000)) << "nothing failed yet";
  pace.Failed(1000);
  EXPECT_TRUE(pace.Waiting(1000));
  EXPECT_TRUE(pace.Waiting(5999));
  EXPECT_FALSE(pace.Waiting(6000));
  EXPECT_FALSE(pace.Waiting(1000 + 60000)) << "a minute between two ticks";
  EXPECT_FALSE(pace.Waiting(1000 + 30u * 24 * 3600 * 1000)) << "thirty days of suspend";
  pace.Failed(0xFFFFF000u);  // 4096 ms before the tick count wraps
  EXPECT_TRUE(pace.Waiting(0x00000100u));
  EXPECT_FALSE(pace.Waiting(0x00000400u));
  pace.Clear();
  EXPECT_FALSE(pace.Waiting(0xFFFFF001u));
}

}  // namespace
}  // namespace wydruki::pp1
