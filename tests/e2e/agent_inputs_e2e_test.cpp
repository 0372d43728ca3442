// SPDX-License-Identifier: MIT
// The built agent against what an office meets: files that are no files, signals of a closed
// terminal, printer names in another letter case, long directory paths, a runtime directory it
// cannot use, and a job directory shared between users.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "e2e/agent_harness.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

// The harness's profile with `from` replaced by `to`.
void EditProfile(const AgentHarness& agent, const std::string& from, const std::string& to) {
  std::string profile = agent.Dir().Read("win.ini");
  const auto at = profile.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  profile.replace(at, from.size(), to);
  agent.Dir().Write("win.ini", profile);
}

// Points the harness's profile at the "pdf-file" printer writing into `directory`.
void PrintToPdfFile(const AgentHarness& agent, const std::string& directory) {
  std::filesystem::create_directories(directory);
  EditProfile(agent, "device=trace-file,builtin,x",
              "device=pdf-file,builtin,x\n[pdf-file]\nport=" + directory);
}

// All the bytes a running process has read so far (its rchar), -1 when it cannot be told.
long long BytesRead(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  for (std::string key; io >> key;) {
    long long value = 0;
    io >> value;
    if (key == "rchar:") return value;
  }
  return -1;
}

std::vector<std::string> Names(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(AgentInputs, ADeviceNamedAsAPrintOutIsNeverReadAndTheStopSignalStillWorks) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  // Z: is the root of the file system; this device would give bytes without end.
  agent.Signal("Z:\\dev\\zero\r\n");
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0) << "the tick ended and saw the stop signal";
  EXPECT_FALSE(agent.SignalGone()) << "a device is a file that does not exist: the signal stays";
  EXPECT_FALSE(agent.Dir().Exists("trace.txt")) << "nothing was printed";
}

TEST(AgentInputs, ASignalThatIsADeviceIsNotReadAndSigtermStillEndsTheAgent) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  std::filesystem::create_symlink("/dev/zero", agent.Path("jobs/win95.drk"));
  agent.Stop();
  // Reading it as a signal would read without end: the tick would never come back to see the
  // stop signal, and memory would run out first.
  ASSERT_EQ(agent.WaitForExit(pid, 20s), 0);

  // The signal is still there for the next agent, whose ticks go on: SIGTERM is taken.
  const pid_t again = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil(
      [&] { return agent.Count(agent.Screen(), "HIDE Wydruki dla D95") == 2; }));
  ::kill(again, SIGTERM);
  EXPECT_EQ(agent.WaitForExit(again, 20s), 0);
}

TEST(AgentInputs, AHugeSignalWithoutALineEndIsReadOnlyAsFarAsAPathCanGo) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  // 100 MB of one line (a sparse file: zero bytes, no CR anywhere).
  const std::string signal = agent.Path("jobs/win95.drk.new");
  { std::ofstream out(signal, std::ios::binary); }
  std::filesystem::resize_file(signal, 100u << 20);
  const long long before = BytesRead(pid);
  ASSERT_GE(before, 0) << "/proc/PID/io cannot be read here";
  OpenWatch watch(agent.Path("jobs"));
  std::filesystem::rename(signal, agent.Path("jobs/win95.drk"));
  // Three ticks read it: a tick that read line 1 whole would have read 100 MB.
  ASSERT_TRUE(watch.WaitForOpens("win95.drk", 3));
  EXPECT_LT(BytesRead(pid) - before, 16 << 20) << "bytes read since the signal appeared";
  agent.Stop();
  ASSERT_EQ(agent.WaitForExit(pid, 60s), 0);
  EXPECT_FALSE(agent.SignalGone()) << "it names no file: it stays";
}

TEST(AgentInputs, SighupEndsAnIdleAgentLikeSigterm) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  ::kill(pid, SIGHUP);
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0) << "ended by the signal, not by its own exit";
}

TEST(AgentInputs, SighupDuringAJobFinishesTheJobFirst) {
  AgentHarness agent;
  const std::string output = agent.Path("out");
  PrintToPdfFile(agent, output);
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  std::string text;
  for (int page = 1; page <= 400; ++page) {
    for (int line = 0; line < 60; ++line)
      text += "Strona " + std::to_string(page) + " wiersz " + std::to_string(line) + "\r\n";
    text += "\x0C";
  }
  agent.Job("DLUGI.TXT", text);
  // The document's temporary file shows the job in progress.
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    for (const auto& name : Names(output))
      if (name.rfind(".wydrukid95-", 0) == 0) return true;
    return false;
  }));
  ::kill(pid, SIGHUP);
  EXPECT_EQ(agent.WaitForExit(pid, 120s), 0);
  EXPECT_EQ(Names(output), std::vector<std::string>{"DLUGI.TXT.pdf"})
      << "the job was finished and no temporary file was left";
  EXPECT_TRUE(agent.SignalGone());
}

TEST(AgentInputs, APrinterNamedInAnotherLetterCaseIsThePrinter) {
  AgentHarness agent;
  EditProfile(agent, "device=trace-file,builtin,x", "device=TRACE-File,builtin,x");
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("A.TXT", "A\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "ENDDOC"), 1);
  EXPECT_EQ(agent.Count(agent.Screen(), "MESSAGEBOX"), 0);
}

TEST(AgentInputs, ThePdfIsNamedAfterThePrintOutFileInUtf8) {
  AgentHarness agent;
  const std::string output = agent.Path("out");
  PrintToPdfFile(agent, output);
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  // A directory path far longer than 31 characters.
  agent.Job("long/directory/name/for/jobs/FAKTURA.TXT", "Faktura\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  // The companion's name in code page 852: 0xA5 is a-ogonek, 0x98 s-acute.
  agent.Job("RACHUNEK\xA5\x98.TXT", "Rachunek\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(Names(output),
            (std::vector<std::string>{"FAKTURA.TXT.pdf", "RACHUNEK\xC4\x85\xC5\x9B.TXT.pdf"}));
}

TEST(AgentInputs, AnUnusableRuntimeDirectoryIsReportedAndTheAgentFails) {
  AgentHarness agent;
  // The lock's directory exists but others may read it: not a private place for a lock.
  std::filesystem::create_directories(agent.Path("runtime/wydrukid95"));
  ::chmod(agent.Path("runtime/wydrukid95").c_str(), 0755);
  agent.CaptureErrors();
  const pid_t pid = agent.Start();
  const auto status = agent.WaitForExit(pid, 20s);
  ASSERT_TRUE(status.has_value());
  EXPECT_NE(*status, 0);
  EXPECT_NE(agent.ErrorOutput().find("\"ZMWPDRK\" cannot be created: Access is denied."),
            std::string::npos)
      << agent.ErrorOutput();
  EXPECT_FALSE(agent.FirstTickDone()) << "it never began polling";
}

// The job directory is shared: the companion runs as another user than the agent.
class SharedJobDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the agent as another user";
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no user \"nobody\"";
    // Everything of the agent's belongs to the agent's user; the job directory to the other.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(agent_.Dir().path()))
      ::lchown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid);
    ::chown(agent_.Dir().path().c_str(), nobody->pw_uid, nobody->pw_gid);
    ::chown(agent_.Path("jobs").c_str(), 0, 0);
    agent_.RunAs(nobody->pw_uid, nobody->pw_gid);
  }

  // The profile lets other users' signals print.
  void AcceptOtherUsers() {
    std::ofstream(agent_.Path("win.ini"), std::ios::app) << "[security]\nother-users=accept\n";
  }

  // Files the companion (root here) writes: readable by all, writable by their owner only.
  void CompanionWrites(const std::string& name, const std::string& bytes) {
    agent_.Dir().Write("jobs/" + name, bytes);
    ::chmod(agent_.Path("jobs/" + name).c_str(), 0644);
  }

  AgentHarness agent_;
};

TEST_F(SharedJobDirectory, AnotherUsersSignalIsDeletedWhenTheDirectoryAllowsIt) {
  ::chmod(agent_.Path("jobs").c_str(), 0777);
  AcceptOtherUsers();
  CompanionWrites("koniec.drk", "");  // left over from an earlier run
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return !agent_.Dir().Exists("jobs/koniec.drk"); }))
      << "the stale stop signal was removed";
  CompanionWrites("A.TXT", "A\r\n");
  CompanionWrites("win95.drk", agent_.Path("jobs/A.TXT") + "\r\n");
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }));
  CompanionWrites("koniec.drk", "");
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent_.Count(agent_.Trace(), "ENDDOC"), 1);
}

TEST_F(SharedJobDirectory, WithTheStickyBitAnotherUsersSignalsStayButActOnce) {
  ::chmod(agent_.Path("jobs").c_str(), 01777);
  AcceptOtherUsers();
  CompanionWrites("koniec.drk", "");  // left over, and not the agent's to delete
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  CompanionWrites("A.TXT", "A\r\n");
  CompanionWrites("win95.drk", agent_.Path("jobs/A.TXT") + "\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.Count(agent_.Trace(), "ENDDOC") == 1; }))
      << "the stale stop signal did not end the agent; the job printed";
  // The agent cannot remove the signal; it must not print it again. A new job from the
  // companion replaces it (the companion owns it), and that one prints.
  CompanionWrites("B.TXT", "B\r\n");
  CompanionWrites("win95.drk", agent_.Path("jobs/B.TXT") + "\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.Count(agent_.Trace(), "ENDDOC") == 2; }));
  ::kill(pid, SIGTERM);
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent_.Count(agent_.Trace(), "DOC "), 2) << "each job printed once";
}

TEST_F(SharedJobDirectory, AnotherUsersSignalsAreRefusedUnlessTheProfileAcceptsThem) {
  ::chmod(agent_.Path("jobs").c_str(), 01777);
  agent_.CaptureErrors();
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  CompanionWrites("A.TXT", "A\r\n");
  CompanionWrites("win95.drk", agent_.Path("jobs/A.TXT") + "\r\n");
  CompanionWrites("koniec.drk", "");
  const std::string refused =
      " belongs to user root, not to this agent's user: it is not acted on (the profile's "
      "[security] other-users=accept would let other users' signals print your files)\n";
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    const std::string said = agent_.ErrorOutput();
    return said.find("wydrukid95: " + agent_.Path("jobs/win95.drk") + refused) !=
               std::string::npos &&
           said.find("wydrukid95: " + agent_.Path("jobs/koniec.drk") + refused) !=
               std::string::npos;
  })) << agent_.ErrorOutput();
  // The same job and stop signals, now the agent's user's own, are acted on.
  const passwd* nobody = ::getpwnam("nobody");
  ::chown(agent_.Path("jobs/win95.drk").c_str(), nobody->pw_uid, nobody->pw_gid);
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.Count(agent_.Trace(), "ENDDOC") == 1; }));
  ::chown(agent_.Path("jobs/koniec.drk").c_str(), nobody->pw_uid, nobody->pw_gid);
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
  const std::vector<std::string> lines = agent_.Lines("agent.err");
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& l) {
                            return l.find(" belongs to user root") != std::string::npos;
                          }),
            2)
      << "each refused signal said once";
  EXPECT_EQ(agent_.Count(agent_.Screen(), "NOTICE " + agent_.Path("jobs/win95.drk") + " belongs"),
            1);
}

TEST_F(SharedJobDirectory, AnotherUsersRuntimeDirectoryNameInTmpIsNoHindrance) {
  const passwd* nobody = ::getpwnam("nobody");
  // Without a runtime directory of the session, the lock's place is /tmp/wydrukid95-<uid>;
  // another user (root here) has taken that name first.
  const std::string taken = "/tmp/wydrukid95-" + std::to_string(nobody->pw_uid);
  std::filesystem::remove_all(taken);
  ASSERT_EQ(::mkdir(taken.c_str(), 0700), 0);
  std::filesystem::create_directories(agent_.Path("home"));
  ::chown(agent_.Path("home").c_str(), nobody->pw_uid, nobody->pw_gid);
  agent_.SetEnvironment("XDG_RUNTIME_DIR", "");
  agent_.SetEnvironment("XDG_CACHE_HOME", "");
  agent_.SetEnvironment("HOME", agent_.Path("home"));
  agent_.CaptureErrors();
  const pid_t pid = agent_.Start();
  const bool started = AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); });
  ::kill(pid, SIGTERM);
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0) << agent_.ErrorOutput();
  std::filesystem::remove_all(taken);
  EXPECT_TRUE(started) << agent_.ErrorOutput();
  EXPECT_TRUE(std::filesystem::is_directory(agent_.Path("home/.cache/wydrukid95")));
}

}  // namespace
}  // namespace wydruki::test
