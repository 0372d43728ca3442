// SPDX-License-Identifier: MIT
// The job journal on standard error: one line per job with the print-out, the printer, the
// pages and the result; a failing job once, however often it is retried; nothing while idle.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "e2e/agent_harness.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

std::vector<std::string> JournalLines(const AgentHarness& agent) {
  std::vector<std::string> lines;
  for (const auto& line : agent.Lines("stderr.txt"))
    if (line.rfind("wydrukid95: job ", 0) == 0) lines.push_back(line);
  return lines;
}

TEST(JobJournal, OneLinePerPrintedJobWithItsPrinterAndPages) {
  AgentHarness agent;
  agent.CaptureStderr();
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("JEDNA.TXT", "jedna strona\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Job("DWIE.TXT", "strona 1\r\n\x0C\r\nstrona 2\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  // An empty print-out still prints its one (blank) page; a name with a line feed and an
  // escape sequence in it stays one harmless journal line.
  agent.Job("PUSTY\n\x1B[2J.TXT", "");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  // A signal naming a file that is not there yet waits silently, tick after tick.
  agent.Signal(agent.Path("jobs/BRAK.TXT") + "\r\n");
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  const auto lines = JournalLines(agent);
  ASSERT_EQ(lines.size(), 3u) << agent.Dir().Read("stderr.txt");
  EXPECT_EQ(lines[0], "wydrukid95: job \"" + agent.Path("jobs/JEDNA.TXT") +
                          "\" on \"trace-file\": printed, 1 page");
  EXPECT_EQ(lines[1], "wydrukid95: job \"" + agent.Path("jobs/DWIE.TXT") +
                          "\" on \"trace-file\": printed, 2 pages");
  EXPECT_EQ(lines[2], "wydrukid95: job \"" + agent.Path("jobs/PUSTY\\x0a\\x1b[2J.TXT") +
                          "\" on \"trace-file\": printed, 1 page");
  EXPECT_EQ(agent.Count(agent.Trace(), "PAGE"), 4) << "the pages the journal counted";
  // The trace holds every printed byte: it is the user's alone.
  struct stat trace {};
  ASSERT_EQ(::stat(agent.Path("trace.txt").c_str(), &trace), 0);
  EXPECT_EQ(trace.st_mode & 0077, 0u);
}

TEST(JobJournal, TheFilesChannelSaysWhatWasDeletedInOrder) {
  AgentHarness agent;
  agent.CaptureStderr();
  agent.SetEnvironment("WYDRUKI_DEBUG", "files");
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("JEDNA.TXT", "jedna strona\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  const std::string errors = agent.Dir().Read("stderr.txt");
  const auto signal =
      errors.find("wydrukid95[files]: delete \"" + agent.Path("jobs/win95.drk") + "\"\n");
  const auto stop =
      errors.find("wydrukid95[files]: delete \"" + agent.Path("jobs/koniec.drk") + "\"\n");
  ASSERT_NE(signal, std::string::npos) << errors;
  ASSERT_NE(stop, std::string::npos) << errors;
  EXPECT_LT(signal, stop) << "the job's signal goes first, the stop signal last";
  EXPECT_EQ(errors.find("wydrukid95[printers]"), std::string::npos) << "only the files channel";
}

TEST(JobJournal, AFailingJobIsJournaledOnceWithItsReasonAndKept) {
  AgentHarness agent;
  agent.Dir().Write("win.ini",
                    "[windows]\ndevice=no-such-printer,cups,no-such-printer\n"
                    "[display]\ndriver=null\nrecord=" +
                        agent.Path("screen.txt") + "\n");
  agent.CaptureStderr();
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("A.TXT", "A\r\n");
  ASSERT_TRUE(
      AgentHarness::WaitUntil([&] { return agent.Count(agent.Screen(), "MESSAGEBOX") == 1; }));
  // The tick that sees the stop signal tries the job once more before the agent ends.
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_FALSE(agent.SignalGone()) << "the job is kept";
  const auto lines = JournalLines(agent);
  ASSERT_EQ(lines.size(), 1u) << agent.Dir().Read("stderr.txt");
  EXPECT_EQ(lines[0].rfind("wydrukid95: job \"" + agent.Path("jobs/A.TXT") + "\" on \"", 0), 0u)
      << lines[0];
  EXPECT_NE(lines[0].find(": failed after 0 pages (There is no default printer currently "
                          "selected), kept for retry"),
            std::string::npos)
      << lines[0];
}

}  // namespace
}  // namespace wydruki::test
