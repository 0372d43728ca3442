// SPDX-License-Identifier: MIT
// One agent per job directory: two agents (two sessions, users or computers, each with its own
// single-instance mutex) on one job directory print every job once. The second says once who
// serves the directory, leaves it alone, and takes over when the first ends.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e/agent_harness.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(OneAgentPerJobDirectory, ASecondAgentWaitsSaysWhoServesAndTakesOver) {
  AgentHarness first;
  AgentHarness second;  // its own runtime directory, profile and trace
  first.CaptureErrors();
  second.CaptureErrors();
  const pid_t serving = first.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return first.FirstTickDone(); }));
  const pid_t waiting = second.Start(std::vector<std::string>{first.JobDirectory()});
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string served_by = "the job directory " + first.JobDirectory() +
                                " is served by another agent (on " + host + ", process " +
                                std::to_string(serving) +
                                "); this one waits and takes over when that one ends";
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    return second.ErrorOutput().find("wydrukid95: " + served_by + "\n") != std::string::npos;
  })) << second.ErrorOutput();

  for (const std::string name : {"A1.TXT", "A2.TXT", "A3.TXT", "A4.TXT", "A5.TXT"}) {
    first.Job(name, name + "\r\n");
    ASSERT_TRUE(AgentHarness::WaitUntil([&] { return first.SignalGone(); }));
  }
  EXPECT_EQ(first.Count(first.Trace(), "ENDDOC"), 5);
  EXPECT_FALSE(second.Dir().Exists("trace.txt")) << "the waiting agent printed nothing";
  struct stat lock {};
  ASSERT_EQ(::stat(first.Path("jobs/wydrukid95.lck").c_str(), &lock), 0);
  EXPECT_EQ(lock.st_mode & 0777, 0666u) << "agents of other users can lock it too";

  // The first ends on the companion's stop signal; the second takes the directory over.
  first.Stop();
  EXPECT_EQ(first.WaitForExit(serving, 20s), 0);
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    return second.ErrorOutput().find("wydrukid95: the job directory " + first.JobDirectory() +
                                     " is served by this agent now\n") != std::string::npos;
  }));
  first.Job("B.TXT", "B\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return first.SignalGone(); }));
  EXPECT_EQ(second.Count(second.Trace(), "ENDDOC"), 1);
  first.Stop();
  EXPECT_EQ(second.WaitForExit(waiting, 20s), 0);

  EXPECT_EQ(first.Count(first.Trace(), "ENDDOC"), 5) << "each job printed once";
  EXPECT_EQ(Occurrences(second.ErrorOutput(), served_by), 1) << "said once";
  EXPECT_EQ(second.Count(second.Screen(), "NOTICE " + served_by), 1);
}

}  // namespace
}  // namespace wydruki::test
