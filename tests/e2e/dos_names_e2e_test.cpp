// SPDX-License-Identifier: MIT
// Names as a DOS program writes them into a signal, end to end through the built agent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e/agent_harness.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

void MapDriveC(AgentHarness& agent) {
  agent.Dir().Write(
      "win.ini", agent.Dir().Read("win.ini") + "[drives]\nC=" + agent.Dir().path().string() + "\n");
}

// Such a signal was never resolved: it stayed, and the print-out was never printed.
TEST(DosNamesEndToEnd, ASignalWhoseNameEndsInBlanksOrDotsPrintsTheFile) {
  AgentHarness agent;
  MapDriveC(agent);
  const pid_t pid = agent.Start(std::vector<std::string>{"C:\\JOBS\\"});
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Dir().Write("jobs/a.txt", "kropka\r\n");
  agent.Signal("C:\\JOBS\\A.TXT. \r\n");
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Dir().Write("jobs/b.txt", "spacja\r\n");
  agent.Signal("C:\\JOBS\\B.TXT  \r\n");
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "DOC "), 2);
  EXPECT_EQ(agent.Count(agent.Trace(), "ENDDOC"), 2);
}

TEST(DosNamesEndToEnd, AnEmulatorsAliasesForADirectoryAndAFilePrintTheLongNamedFile) {
  AgentHarness agent;
  MapDriveC(agent);
  const pid_t pid = agent.Start(std::vector<std::string>{"C:\\JOBS\\"});
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Dir().Write("Moje Dokumenty/faktura lipiec.txt", "lipiec\r\n");
  agent.Signal("C:\\MOJEDO~1\\FAKTUR~1.TXT\r\n");
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "ENDDOC"), 1);
}

}  // namespace
}  // namespace wydruki::test
