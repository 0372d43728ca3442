// Bounds on what the agent reads from outside, and its command line: a signal's line is read
// only as far as a path can go, and options are told apart from the job directory.
#include <gtest/gtest.h>

#include <string>

#include "pp1/AgentCommandLine.h"
#include "pp1/JobSignal.h"
#include "pp2/TextLines.h"
#include "test_support/temp_dir.h"

namespace wydruki::pp1 {
namespace {

using test::TempDir;

TEST(BoundedLines, ALineLongerThanTheLimitIsRefusedAfterReadingJustPastTheLimit) {
  TempDir dir;
  pp2::TextLineReader reader(dir.Write("long.txt", std::string(100000, 'x') + "\r\nnext\r\n"));
  EXPECT_FALSE(reader.ReadLineUpTo(4096).has_value());
  // Whole 128-byte buffers: 4097 bytes are in the 33rd.
  EXPECT_EQ(reader.BytesFetched(), 33u * 128u);

  pp2::TextLineReader exact(dir.Write("exact.txt", std::string(4096, 'y') + "\r\nnext\r\n"));
  EXPECT_EQ(exact.ReadLineUpTo(4096), std::string(4096, 'y'));
  EXPECT_EQ(exact.ReadLineUpTo(4096), "next");
}

TEST(BoundedLines, ASignalWithAnOverlongFirstLineNamesNothing) {
  TempDir dir;
  const JobSignal overlong =
      ReadJobFile(dir.Write("win95.drk", std::string(kMaxSignalLine + 1, 'C') + "\r\n76\r\n"));
  EXPECT_EQ(overlong.file_name, "");
  EXPECT_FALSE(overlong.lines_per_page.has_value()) << "line 2 is not read either";

  const std::string longest(kMaxSignalLine, 'C');
  const JobSignal fits = ReadJobFile(dir.Write("win95.drk", longest + "\r\n76\r\n"));
  EXPECT_EQ(fits.file_name, longest);
  EXPECT_EQ(fits.lines_per_page, 77);
}

TEST(CommandLineOptions, OptionsAreToldApartFromTheJobDirectory) {
  EXPECT_EQ(ParseCommandLine({}).action, CommandAction::Run);
  EXPECT_EQ(ParseCommandLine({"C:\\D95\\"}).action, CommandAction::Run);
  EXPECT_EQ(ParseCommandLine({"-jobs/"}).action, CommandAction::Run) << "one dash is a name";
  EXPECT_EQ(ParseCommandLine({"--help"}).action, CommandAction::Help);
  EXPECT_EQ(ParseCommandLine({"/srv/jobs/", "--version"}).action, CommandAction::Version);
  const CommandLine wrong = ParseCommandLine({"/srv/jobs/", "--verbose"});
  EXPECT_EQ(wrong.action, CommandAction::Misuse);
  EXPECT_EQ(wrong.unknown_option, "--verbose");
}

}  // namespace
}  // namespace wydruki::pp1
