// SPDX-License-Identifier: MIT
// The built agent end to end: jobs dropped into a job directory the way the companion drops
// them, printed on the "trace-file" printer, and checked position by position.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "e2e/agent_harness.h"
#include "platform/winapi.h"
#include "test_support/cups_scheduler.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

// Starts the agent, prints one job and ends the agent; the trace of that run.
std::vector<std::string> PrintOne(AgentHarness& agent, const std::string& bytes,
                                  const std::string& line2 = "") {
  const pid_t pid = agent.Start();
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("WYDRUK.TXT", bytes, line2);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  return agent.Trace();
}

TEST(AgentEndToEnd, CharactersLandOnTheGridOfANarrowPage) {
  AgentHarness agent("HORZRES=2044\nVERTRES=3000\n");
  const auto texts = Texts(PrintOne(agent, "ABCD\r\n"));
  ASSERT_EQ(texts.size(), 4u);
  const int x[] = {106, 129, 152, 176};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(texts[i].x, x[i]);
    EXPECT_EQ(texts[i].y, 172);
  }
}

TEST(AgentEndToEnd, FormFeedsMakePagesAndTheLettersOfCodePage852BecomeWindows1250) {
  AgentHarness agent;
  const auto trace = PrintOne(agent,
                              "A\xA5\x86\xA4\xC4\x8A\r\n\x0C\r\nB\x1A"
                              "CD\r\n");
  EXPECT_EQ(trace.front(), "DOC " + agent.Path("jobs/WYDRUK.TXT"));
  EXPECT_EQ(agent.Count(trace, "PAGE "), 2);
  EXPECT_EQ(trace.back(), "ENDDOC");
  const auto texts = Texts(trace);
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(texts[1].hex, "B9");  // a-ogonek
  EXPECT_EQ(texts[2].hex, "E6");  // c-acute
  EXPECT_EQ(texts[3].hex, "A5");  // A-ogonek, mapped once
  EXPECT_EQ(texts[4].hex, "97");  // the line, as an em dash
  EXPECT_EQ(texts[5].hex, "8A");  // other letters pass
  EXPECT_EQ(texts[6].hex, "42");  // B; Ctrl-Z ends the file before C
  EXPECT_EQ(texts[0].x, 247);     // 192 + 55.2
  EXPECT_EQ(texts[0].y, 404);
  // The chosen font path with the defaults: Courier New, 120 %, weight "Duza".
  EXPECT_EQ(texts[0].font, "Courier New|131|55|700|0|238");
}

TEST(AgentEndToEnd, LineTwoOfTheSignalSetsTheJobSpacing) {
  AgentHarness agent;
  const auto texts = Texts(PrintOne(agent, "\x1BGA\r\nB\r\n\x1BgC\r\nD\r\n", "40"));
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts[1].y, 404 + 5792 / 41);
  EXPECT_EQ(texts[2].y, texts[1].y + 5792 / 41);
  EXPECT_EQ(texts[3].y, texts[2].y + 5792 / 58);
}

TEST(AgentEndToEnd, EscapeCommandsOnTheChosenFontPath) {
  AgentHarness agent;
  const auto texts = Texts(PrintOne(agent,
                                    "\x1BWAB\x1Bw\x1B"
                                    "BC\x1B"
                                    "b\x1B"
                                    "CD\x1B"
                                    "cE\x1BPF\x1BpG\r\n"));
  ASSERT_EQ(texts.size(), 7u);
  EXPECT_EQ(texts[0].x, 192 + 110);                          // double width: two cells
  EXPECT_EQ(texts[1].x, 192 + 221);                          // 220.8 rounded
  EXPECT_EQ(texts[0].font, "Courier New|157|77|700|0|238");  // 110 × 0.7, reduced height
  EXPECT_NE(texts[2].font.find("|800|"), std::string::npos) << texts[2].font;
  EXPECT_EQ(texts[3].font, "Courier New|86|36|700|0|238");  // condensed, full height
  EXPECT_EQ(texts[4].font, "Courier New|112|55|700|0|238");
  EXPECT_EQ(texts[5].font, "Courier New|93|46|700|0|238");
}

TEST(AgentEndToEnd, TheStandardFontPathStartsInBoldAtTheFittedSize) {
  AgentHarness agent;
  agent.Dir().Write("program/font.def", "Courier New\r\n120\r\n3\r\nTRUE\r\n");
  const auto texts = Texts(PrintOne(agent,
                                    "A\x1B"
                                    "bB\x1B"
                                    "CC\r\n"));
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_NE(texts[0].font.find("Courier New|-"), std::string::npos) << texts[0].font;
  EXPECT_NE(texts[0].font.find("|700|"), std::string::npos) << texts[0].font;
  EXPECT_NE(texts[1].font.find("|400|"), std::string::npos) << texts[1].font;
  EXPECT_NE(texts[2].font, texts[1].font) << "condensed is a smaller size";
  // The settings file is left as it was: loading never writes it.
  EXPECT_EQ(agent.Dir().Read("program/font.def"), "Courier New\r\n120\r\n3\r\nTRUE\r\n");
}

TEST(AgentEndToEnd, AStaleStopSignalIsRemovedAtStartAndBothSignalsInOneTickPrintThenStop) {
  AgentHarness agent;
  agent.Stop();
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  EXPECT_FALSE(agent.Dir().Exists("jobs/koniec.drk"));
  EXPECT_FALSE(agent.WaitForExit(pid, 1500ms).has_value()) << "the agent keeps running";
  agent.Job("A.TXT", "X\r\n");
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_TRUE(agent.SignalGone());
  EXPECT_EQ(agent.Trace().back(), "ENDDOC");
  const auto screen = agent.Screen();
  EXPECT_EQ(agent.Count(screen, "TRAY DELETE"), 1) << "the icon leaves with the agent";
}

TEST(AgentEndToEnd, ASignalNamingAFileNotYetWrittenWaitsForIt) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  OpenWatch ticks(agent.Path("jobs"));
  agent.Signal(agent.Path("jobs/LATER.TXT") + "\r\n");
  // A tick opens the signal once or twice: six opens are three ticks or more.
  ASSERT_TRUE(ticks.WaitForOpens("win95.drk", 6));
  EXPECT_FALSE(agent.SignalGone());
  EXPECT_TRUE(agent.Trace().empty());
  agent.Dir().Write("jobs/LATER.TXT", "late\r\n");
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "DOC "), 1);
}

TEST(AgentEndToEnd, UpperCaseSignalsWithDosPathsOnAMappedDrive) {
  AgentHarness agent("HORZRES=4800\nVERTRES=6600\n", "");
  agent.Dir().Write(
      "win.ini", agent.Dir().Read("win.ini") + "[drives]\nC=" + agent.Dir().path().string() + "\n");
  const pid_t pid = agent.Start(std::vector<std::string>{"C:\\JOBS\\"});
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Dir().Write("jobs/dane.txt", "DOS\r\n");
  agent.Dir().Write("jobs/WIN95.DRK", "C:\\JOBS\\DANE.TXT\r\n76\r\n");
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return !agent.Dir().Exists("jobs/WIN95.DRK"); }));
  agent.Dir().Write("jobs/KONIEC.DRK", "");
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Trace().front(), "DOC C:\\JOBS\\DANE.TXT");
}

TEST(AgentEndToEnd, ASecondCopyStartsTheCompanionAndEnds) {
  AgentHarness agent("HORZRES=4800\nVERTRES=6600\n");
  const std::string launcher = agent.Dir().Write(
      "launcher.sh", "#!/bin/sh\necho \"$@\" >> " + agent.Path("companion.log") + "\n");
  std::filesystem::permissions(launcher, std::filesystem::perms::owner_all);
  agent.Dir().Write("program/d95.pif", "companion shortcut\r\n");
  agent.Dir().Write("win.ini",
                    agent.Dir().Read("win.ini") + "[extensions]\npif=" + launcher + "\n");
  const pid_t first = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.Dir().Exists("companion.log"); }));
  const pid_t second = agent.Start();
  EXPECT_EQ(agent.WaitForExit(second, 20s), 0);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.Lines("companion.log").size() == 2; }));
  EXPECT_NE(agent.Lines("companion.log")[0].find("d95.pif"), std::string::npos);
  EXPECT_FALSE(agent.WaitForExit(first, 200ms).has_value()) << "the first copy goes on";
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(first, 20s), 0);
}

TEST(AgentEndToEnd, AJobWhoseFileIsStillBeingWrittenWaitsAndIsPrintedOnce) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  const std::string file = agent.Path("jobs/BUSY.TXT");
  {
    std::ofstream writer(file);  // held open for writing, as the companion still writes it
    writer << "busy\r\n" << std::flush;
    OpenWatch ticks(agent.Path("jobs"));
    agent.Signal(file + "\r\n");
    ASSERT_TRUE(ticks.WaitForOpens("win95.drk", 6));
    EXPECT_FALSE(agent.SignalGone()) << "not dropped while the file is in use";
  }
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "DOC "), 1);
}

TEST(AgentEndToEndFailures, APrinterErrorIsReportedOnceAndTheJobIsKept) {
  AgentHarness agent;
  agent.Dir().Write("win.ini",
                    "[windows]\ndevice=no-such-printer,cups,no-such-printer\n"
                    "[display]\ndriver=null\nrecord=" +
                        agent.Path("screen.txt") + "\n");
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  OpenWatch ticks(agent.Path("jobs"));
  agent.Job("A.TXT", "A\r\n");
  // A kept job is tried again a few seconds later. Every tick opens the signal once or twice:
  // fourteen opens are seven ticks or more, so the second attempt has been made.
  ASSERT_TRUE(ticks.WaitForOpens("win95.drk", 14));
  EXPECT_FALSE(agent.SignalGone()) << "the job is not lost";
  EXPECT_EQ(agent.Count(agent.Screen(),
                        "MESSAGEBOX 16 Wydruki z D'95|Printer \"no-such-printer\": the print "
                        "system cannot be reached (no answer from 127.0.0.1:1). The job is kept "
                        "and tried again."),
            1);
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0) << "polling went on after the report";
}

TEST(AgentEndToEndFailures, ASignalThatCannotBeDeletedIsNotPrintedAgain) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("A.TXT", "A\r\n");
  // Held open without sharing deletion, as another program might hold it.
  const HANDLE holder = CreateFileA(agent.Path("jobs/win95.drk").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.Count(agent.Trace(), "ENDDOC") == 1; }));
  OpenWatch ticks(agent.Path("jobs"));
  ASSERT_TRUE(ticks.WaitForOpens("win95.drk", 6));  // three ticks or more
  EXPECT_FALSE(agent.SignalGone());
  EXPECT_EQ(agent.Count(agent.Trace(), "DOC "), 1) << "printed once";
  CloseHandle(holder);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "DOC "), 1);
}

TEST(AgentThroughCups, AJobReachesTheQueueWithItsPolishLetters) {
  if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
  CupsScheduler scheduler;
  scheduler.AddQueue("biuro");
  AgentHarness agent;
  agent.Dir().Write("win.ini",
                    "[windows]\ndevice=biuro,cups,biuro\n[display]\ndriver=null\n"
                    "record=" +
                        agent.Path("screen.txt") + "\n");
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  // "Zażółć gęślą jaźń" in code page 852, a form feed, and a second page.
  agent.Job("FAKTURA.TXT", "Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4\r\n\x0C\r\nStrona 2\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  ASSERT_TRUE(scheduler.WaitUntilIdle()) << scheduler.Log();
  std::string text;
  FILE* pipe = ::popen(("pdftotext '" + scheduler.OutputPath("biuro") + "' - 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  ::pclose(pipe);
  const auto form_feed = text.find('\f');
  ASSERT_NE(form_feed, std::string::npos) << text << scheduler.Log();
  EXPECT_LT(text.find("Zażółć gęślą jaźń"), form_feed) << text;
  EXPECT_GT(text.find("Strona 2"), form_feed) << text;
}

}  // namespace
}  // namespace wydruki::test

namespace wydruki::test {
namespace {

// Without [display] driver=, a DISPLAY where no server answers must not stop the agent: it
// says so and works on the null display, record included.
TEST(AgentDisplayChoice, ADesktopThatCannotBeOpenedLeavesTheAgentOnTheNullDisplay) {
  AgentHarness agent;
  agent.Dir().Write("win.ini", "[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport=" +
                                   agent.Path("trace.txt") +
                                   "\n[display]\nrecord=" + agent.Path("screen.txt") + "\n");
  ScopedEnv display("DISPLAY", ":9753");
  ScopedEnv wayland("WAYLAND_DISPLAY", "");
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("A.TXT", "A\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.Count(agent.Trace(), "ENDDOC") == 1; }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, std::chrono::seconds(20)), 0);
}

}  // namespace
}  // namespace wydruki::test
