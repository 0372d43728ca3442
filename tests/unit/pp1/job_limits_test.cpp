// SPDX-License-Identifier: MIT
// Bounds on what the agent reads from outside, and its command line: a signal's line is read
// only as far as a path can go, and options are told apart from the job directory.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "pp1/AgentCommandLine.h"
#include "pp1/JobSignal.h"
#include "pp1/JobWait.h"
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
      ReadJobFile(dir.Write("win95.drk", std::string(4097, 'C') + "\r\n76\r\n"));
  EXPECT_EQ(overlong.file_name, "");
  EXPECT_FALSE(overlong.lines_per_page.has_value()) << "line 2 is not read either";

  const std::string longest(4096, 'C');
  const JobSignal fits = ReadJobFile(dir.Write("win95.drk", longest + "\r\n76\r\n"));
  EXPECT_EQ(fits.file_name, longest);
  EXPECT_EQ(fits.lines_per_page, 77);
}

// What a user is told about a signal that waits: each reason in words to act on, and nothing
// for a signal that names a print-out that is there.
TEST(WaitingSignals, EachReasonASignalWaitsIsNamed) {
  TempDir dir;
  const std::string present = dir.Write("F.TXT", "x\r\n");
  const auto why = [&](const std::string& bytes) {
    return WhySignalWaits(ReadSignal(dir.Write("win95.drk", bytes)));
  };
  EXPECT_EQ(why(present + "\r\n76\r\n"), "");
  const std::string absent = "win95.drk names " + dir.Path("NIEMA.TXT") + ", which does not exist";
#ifdef _WIN32
  EXPECT_EQ(why(dir.Path("NIEMA.TXT") + "\r\n"), absent);
#else
  // Where it was looked for: the path, or the drive letter that is not mapped.
  EXPECT_EQ(why(dir.Path("NIEMA.TXT") + "\r\n"),
            absent + " (looked for " + dir.Path("NIEMA.TXT") + ")");
  EXPECT_NE(why("Q:\\F.TXT\r\n").find("drive Q: is not in [drives] of "), std::string::npos);
#endif
  EXPECT_EQ(why(present + "\n76\n"),
            "win95.drk ends its lines with LF only; the companion writes CR LF");
  EXPECT_EQ(why("\xEF\xBB\xBF" + present + "\r\n"),
            "win95.drk starts with a UTF-8 byte order mark; the companion writes none");
  EXPECT_EQ(why(std::string(4097, 'C') + "\r\n"),
            "win95.drk has a first line of more than 4096 bytes: it names no file");
  EXPECT_EQ(why("\r\n76\r\n"), "win95.drk names no file: its first line is empty");
}

// The job and the signal's identity come from one read, made when nobody writes the signal.
TEST(WaitingSignals, ASignalStillBeingWrittenIsNotReadUntilItsWriterCloses) {
  TempDir dir;
  const std::string path = dir.Write("win95.drk", "");
  {
    std::ofstream writer(path, std::ios::binary);
    writer << "C:\\F.TX" << std::flush;
    const SignalRead during = ReadSignal(path);
    EXPECT_FALSE(during.taken);
    EXPECT_TRUE(during.held);
    EXPECT_EQ(during.job.file_name, "") << "nothing of it is used";
    writer << "T\r\n";
  }
  const SignalRead after = ReadSignal(path);
  ASSERT_TRUE(after.taken);
  EXPECT_EQ(after.bytes, "C:\\F.TXT\r\n");
  EXPECT_EQ(after.job.file_name, "C:\\F.TXT");
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
