// SPDX-License-Identifier: MIT
// The built agent's command line and what it says when it starts: --help and --version answer
// and end, an unknown option is refused with the usage, and a start says in one line what is
// watched and where jobs go, with a warning for a job directory that is missing or open to
// other users.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/agent_harness.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

// Runs the program with `arguments` to its end; its exit status, and what it wrote to
// standard output and standard error.
struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};
Outcome RunProgramWith(AgentHarness& agent, const std::vector<std::string>& arguments) {
  const std::string out = agent.Path("stdout.txt");
  const std::string err = agent.Path("stderr.txt");
  std::string command = std::string(AGENT_PROGRAM);
  for (const auto& argument : arguments) command += " '" + argument + "'";
  command += " >'" + out + "' 2>'" + err + "' </dev/null";
  Outcome outcome;
  const int status = std::system(command.c_str());
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  outcome.out = agent.Dir().Read("stdout.txt");
  outcome.err = agent.Dir().Read("stderr.txt");
  return outcome;
}

TEST(AgentCommandLine, HelpAndVersionAnswerAndEnd) {
  AgentHarness agent;
  const Outcome help = RunProgramWith(agent, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: wydrukid95 [JOB-DIRECTORY]\n", 0), 0u) << help.out;
  EXPECT_NE(help.out.find("  win95.drk   a job:"), std::string::npos);
  EXPECT_NE(help.out.find("  koniec.drk  ends the agent"), std::string::npos);
  EXPECT_NE(help.out.find("Font settings: "), std::string::npos);
  EXPECT_NE(help.out.find("font.def"), std::string::npos);
  EXPECT_EQ(help.err, "");

  const Outcome version = RunProgramWith(agent, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "wydrukid95 2.0.3\n");
  EXPECT_FALSE(agent.Dir().Exists("screen.txt")) << "neither started the agent";
}

TEST(AgentCommandLine, AnUnknownOptionIsRefusedWithTheUsage) {
  AgentHarness agent;
  const Outcome wrong = RunProgramWith(agent, {"--jobs", agent.JobDirectory()});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_EQ(wrong.out, "");
  EXPECT_EQ(wrong.err,
            "wydrukid95: unknown option --jobs\n"
            "Usage: wydrukid95 [JOB-DIRECTORY]\n"
            "       wydrukid95 --help | --version\n");
}

// Starts the agent with its job directory, waits for its first tick and ends it; what it
// wrote to standard error.
std::string StartAndStop(AgentHarness& agent, const std::vector<std::string>& arguments) {
  agent.CaptureErrors();
  const pid_t pid = agent.Start(arguments);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  ::kill(pid, SIGTERM);
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  return agent.ErrorOutput();
}

TEST(AgentStartup, OneLineSaysWhatIsWatchedAndWhereJobsGo) {
  AgentHarness agent;
  ::chmod(agent.Path("jobs").c_str(), 0755);
  const std::string err = StartAndStop(agent, {agent.JobDirectory()});
  EXPECT_EQ(err, "wydrukid95 2.0.3: job directory " + agent.JobDirectory() +
                     ", printer \"trace-file\" (a trace record in " + agent.Path("trace.txt") +
                     "), display null, font.def " + agent.Path("program/font.def") + "\n");
}

TEST(AgentStartup, TheLineNamesThePdfDirectoryForThePdfPrinter) {
  AgentHarness agent;
  ::chmod(agent.Path("jobs").c_str(), 0755);
  std::string profile = agent.Dir().Read("win.ini");
  profile.replace(profile.find("device=trace-file,builtin,x"), 27,
                  "device=pdf-file,builtin,x\n[pdf-file]\nport=" + agent.Path("pdf"));
  agent.Dir().Write("win.ini", profile);
  // A relative job directory is shown as the directory it stands for.
  const std::string err = StartAndStop(agent, {"jobs/"});
  EXPECT_NE(err.find("wydrukid95 2.0.3: job directory " + agent.JobDirectory() +
                     ", printer \"pdf-file\" (PDF files in " + agent.Path("pdf") + ")"),
            std::string::npos)
      << err;
}

TEST(AgentStartup, AMissingJobDirectoryIsReportedAndStillPolled) {
  AgentHarness agent;
  const std::string later = agent.Path("later") + "/";
  agent.CaptureErrors();
  const pid_t pid = agent.Start(std::vector<std::string>{later});
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  const std::string warning = "wydrukid95: warning: the job directory " + agent.Path("later") +
                              " does not exist; it is polled until it does\n";
  EXPECT_NE(agent.ErrorOutput().find(warning), std::string::npos) << agent.ErrorOutput();
  EXPECT_EQ(agent.Count(agent.Screen(), "NOTICE warning: the job directory"), 1);
  // The companion makes the directory later and drops a job: it prints.
  std::filesystem::create_directories(agent.Path("later"));
  agent.Dir().Write("later/A.TXT", "A\r\n");
  agent.Dir().Write("later/win95.drk", agent.Path("later/A.TXT") + "\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return !agent.Dir().Exists("later/win95.drk"); }));
  ::kill(pid, SIGTERM);
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "ENDDOC"), 1);
  // Said once, and nothing else while it waited: the start-up line, the warning, and the
  // job's own journal line.
  const std::vector<std::string> lines = agent.Lines("agent.err");
  EXPECT_EQ(lines.size(), 3u) << agent.ErrorOutput();
  EXPECT_EQ(agent.Count(lines, "wydrukid95: job \"" + agent.Path("later/A.TXT") + "\""), 1);
}

TEST(AgentStartup, AJobDirectoryOthersMayWriteIsAWarning) {
  // The sticky bit keeps other users from removing files, not from writing signals.
  for (const mode_t mode : {0775, 0777, 01777}) {
    AgentHarness agent;
    ::chmod(agent.Path("jobs").c_str(), mode);
    const std::string said = StartAndStop(agent, {agent.JobDirectory()});
    EXPECT_NE(said.find("wydrukid95: warning: the job directory " + agent.Path("jobs") +
                        " may be written by other users: their signals are not acted on (the "
                        "profile's [security] other-users=accept would let them print)\n"),
              std::string::npos)
        << std::oct << mode << ": " << said;
  }

  AgentHarness own;
  ::chmod(own.Path("jobs").c_str(), 0755);
  const std::string quiet = StartAndStop(own, {own.JobDirectory()});
  EXPECT_EQ(quiet.find("warning"), std::string::npos) << quiet;
}

}  // namespace
}  // namespace wydruki::test
