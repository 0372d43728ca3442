// SPDX-License-Identifier: MIT
// The built agent while the print system goes away and comes back, against a scheduler of the
// test's own: a job handed over during the outage is kept, reported once, and printed once
// the scheduler answers again; a queue that refuses jobs holds the job until it accepts. And
// an office whose stations print through one print server, named as users name it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "e2e/agent_harness.h"
#include "test_support/advertised_printer.h"
#include "test_support/cups_scheduler.h"
#include "test_support/lossy_relay.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

// The agent prints on the queue "biuro" of `scheduler`, named by the profile.
void PrintOnQueue(const AgentHarness& agent, const std::string& queue) {
  agent.Dir().Write("win.ini", "[windows]\ndevice=" + queue + ",cups," + queue +
                                   "\n[display]\ndriver=null\nrecord=" + agent.Path("screen.txt") +
                                   "\n");
}

int Messages(const AgentHarness& agent, const std::string& text) {
  return agent.Count(agent.Screen(), "MESSAGEBOX 16 Wydruki z D'95|" + text);
}

class PrintSystemOutage : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
    scheduler_ = std::make_unique<CupsScheduler>();
    scheduler_->AddQueue("biuro");
    PrintOnQueue(agent_, "biuro");
  }

  AgentHarness agent_;
  std::unique_ptr<CupsScheduler> scheduler_;
};

TEST_F(PrintSystemOutage, AJobHandedOverWhileTheSchedulerIsDownPrintsOnceItIsBack) {
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  scheduler_->Halt();
  agent_.Job("A.TXT", "Faktura\r\n");
  const std::string unreachable =
      "Printer \"biuro\": the print system cannot be reached (no answer from " +
      scheduler_->server() + "). The job is kept and tried again.";
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return Messages(agent_, unreachable) == 1; }))
      << agent_.Dir().Read("screen.txt");
  EXPECT_FALSE(agent_.SignalGone()) << "the job is kept";

  scheduler_->Resume();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s))
      << "printed at an attempt after the scheduler came back";
  ASSERT_TRUE(scheduler_->WaitUntilIdle());
  EXPECT_EQ(scheduler_->CompletedJobs(), 1) << "printed once";
  EXPECT_EQ(Messages(agent_, unreachable), 1) << "reported once for the whole outage";
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

// With no printer named, the scheduler's default is the printer: while the scheduler does not
// answer, the job waits for it (never into a PDF file instead), whether the outage began
// before the agent or after.
TEST_F(PrintSystemOutage, TheDefaultPrinterWaitsForTheSchedulerWhicheverStartedFirst) {
  agent_.Dir().Write("win.ini",
                     "[display]\ndriver=null\nrecord=" + agent_.Path("screen.txt") + "\n");
  agent_.SetEnvironment("XDG_DOCUMENTS_DIR", agent_.Path("documents"));
  scheduler_->SetDefault("biuro");
  const std::string unreachable =
      "No default printer known: the print system cannot be reached (no answer from " +
      scheduler_->server() + "). The job is kept and tried again.";
  for (const bool outage_first : {false, true}) {
    SCOPED_TRACE(outage_first ? "the agent started during the outage" : "the outage came later");
    if (outage_first) scheduler_->Halt();
    const int starts = agent_.Count(agent_.Screen(), "HIDE Wydruki dla D95");
    const pid_t pid = agent_.Start();
    ASSERT_TRUE(AgentHarness::WaitUntil(
        [&] { return agent_.Count(agent_.Screen(), "HIDE Wydruki dla D95") == starts + 1; }));
    if (!outage_first) scheduler_->Halt();
    const int before = Messages(agent_, unreachable);
    agent_.Job("A.TXT", "Faktura\r\n");
    ASSERT_TRUE(AgentHarness::WaitUntil([&] {
      return Messages(agent_, unreachable) == before + 1;
    })) << agent_.Dir().Read("screen.txt");
    EXPECT_FALSE(agent_.SignalGone()) << "the job is kept";
    EXPECT_FALSE(agent_.Dir().Exists("documents/A.TXT.pdf")) << "nothing went to a PDF file";

    const int printed = outage_first ? 1 : 0;
    scheduler_->Resume();
    ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
    ASSERT_TRUE(scheduler_->WaitUntilIdle());
    EXPECT_EQ(scheduler_->CompletedJobs(), printed + 1) << "printed once, on the default queue";
    agent_.Stop();
    EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
  }
}

// The scheduler takes the whole job and its answer is lost on the way: the agent asks what
// became of the job instead of submitting it again, and it prints once.
TEST_F(PrintSystemOutage, AJobWhoseAnswerWasLostIsAskedAboutNotPrintedTwice) {
  LossyRelay relay(scheduler_->port());
  agent_.SetEnvironment("CUPS_SERVER", relay.server());
  relay.LoseNextSendDocumentAnswer();
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  agent_.Job("A.TXT", "Faktura\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s))
      << agent_.Dir().Read("screen.txt");
  EXPECT_EQ(relay.AnswersLost(), 1);
  agent_.Job("B.TXT", "Rachunek\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
  ASSERT_TRUE(scheduler_->WaitUntilIdle());
  EXPECT_EQ(scheduler_->CompletedJobs(), 2) << "each job once";
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(PrintSystemOutage, AQueueThatRefusesJobsHoldsTheJobUntilItAccepts) {
  scheduler_->RejectJobs("biuro");
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  agent_.Job("A.TXT", "Faktura\r\n");
  const std::string refusing =
      "Printer \"biuro\": the printer does not accept jobs now (The printer does not accept "
      "jobs.). The job is kept and tried again.";
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return Messages(agent_, refusing) == 1; }))
      << agent_.Dir().Read("screen.txt");
  EXPECT_FALSE(agent_.SignalGone());
  EXPECT_EQ(scheduler_->CompletedJobs(), 0);

  scheduler_->AcceptJobs("biuro");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
  ASSERT_TRUE(scheduler_->WaitUntilIdle());
  EXPECT_EQ(scheduler_->CompletedJobs(), 1);
  EXPECT_EQ(Messages(agent_, refusing), 1);
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(PrintSystemOutage, AStoppedQueueHoldsTheJobUntilItIsStartedAgain) {
  scheduler_->Stop("biuro");
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  agent_.Job("A.TXT", "Faktura\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    return agent_.Count(agent_.Screen(),
                        "MESSAGEBOX 16 Wydruki z D'95|Printer \"biuro\": the printer does not "
                        "accept jobs now") == 1;
  }));
  EXPECT_FALSE(agent_.SignalGone());
  ASSERT_EQ(RunProgram({"/usr/sbin/cupsenable", "-h", scheduler_->server(), "biuro"}), 0);
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
  ASSERT_TRUE(scheduler_->WaitUntilIdle());
  EXPECT_EQ(scheduler_->CompletedJobs(), 1);
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(PrintSystemOutage, AQueueRemovedAndAddedAgainIsFoundAgain) {
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  ASSERT_EQ(RunProgram({"/usr/sbin/lpadmin", "-h", scheduler_->server(), "-x", "biuro"}), 0);
  agent_.Job("A.TXT", "Faktura\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    return Messages(agent_,
                    "Printer \"biuro\": the print system does not know this printer (The "
                    "printer name is invalid.). The job is kept and tried again.") == 1;
  })) << agent_.Dir().Read("screen.txt");
  EXPECT_FALSE(agent_.SignalGone());
  scheduler_->AddQueue("biuro");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
  ASSERT_TRUE(scheduler_->WaitUntilIdle());
  EXPECT_EQ(scheduler_->CompletedJobs(), 1);
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(PrintSystemOutage, SigtermDuringTheOutageEndsTheAgentWithoutWaitingForMoreAttempts) {
  // The printers channel says each time the scheduler could not be reached: one line per
  // attempt to print.
  agent_.SetEnvironment("WYDRUKI_DEBUG", "printers");
  agent_.CaptureErrors();
  const auto attempts = [&] {
    int n = 0;
    const std::string errors = agent_.ErrorOutput();
    for (std::size_t at = 0; (at = errors.find("cannot be reached", at)) != std::string::npos; ++at)
      ++n;
    return n;
  };
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  scheduler_->Halt();
  agent_.Job("A.TXT", "Faktura\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    return agent_.Count(agent_.Screen(), "MESSAGEBOX 16 Wydruki z D'95|Printer \"biuro\"") == 1;
  }));
  const int before = attempts();
  ::kill(pid, SIGTERM);
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
  // It ended at its next tick: at most the attempt already under way was finished, none began
  // after it, and the job is still there for the next agent.
  EXPECT_GE(before, 1);
  EXPECT_LE(attempts(), before + 1) << agent_.ErrorOutput();
  EXPECT_FALSE(agent_.SignalGone());
}

// A printer that DNS-SD advertises on the network, named by the profile as a user's printer
// dialog shows it: it is set up as a queue and printed on; one that is advertised but does
// not answer is an unreachable printer, and never holds the agent.
class AdvertisedPrinterJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
    if (!AdvertisedPrinter::Possible()) GTEST_SKIP() << "no DNS-SD here (scripts/dnssd-tests.sh)";
    // The printer first: it advertises itself through the system bus that the scheduler
    // hides from the test's other programs.
    printer_ = std::make_unique<AdvertisedPrinter>("WydrukiTest" + std::to_string(::getpid()));
    scheduler_ = std::make_unique<CupsScheduler>();
    PrintOnQueue(agent_, printer_->name());
    // The agent sees the network's printers as the user's programs do.
    agent_.SetEnvironment("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/run/dbus/system_bus_socket");
  }

  AgentHarness agent_;
  std::unique_ptr<CupsScheduler> scheduler_;
  std::unique_ptr<AdvertisedPrinter> printer_;
};

TEST_F(AdvertisedPrinterJobs, AJobReachesThePrinterOnceItIsSetUpAsAQueue) {
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }, 60s));
  agent_.Job("A.TXT", "Faktura sieciowa\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 90s))
      << agent_.Dir().Read("screen.txt") << scheduler_->Log();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return printer_->ReceivedDocuments() == 1; }, 90s))
      << scheduler_->Log();
  EXPECT_NE(printer_->ReceivedText().find("Faktura sieciowa"), std::string::npos);
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

// An office whose stations print through one CUPS server. The station's own scheduler has a
// queue of its own as its default; the office's server has the office's queue "biuro" as its
// default. The agent's profile names no printer, and the agent is told of the server the ways
// users tell any CUPS program.
class OfficePrintServer : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
    station_ = std::make_unique<CupsScheduler>();
    station_->AddQueue("stanowisko");
    station_->SetDefault("stanowisko");
    office_ = std::make_unique<CupsScheduler>();
    office_->AddQueue("biuro");
    office_->SetDefault("biuro");
    agent_.Dir().Write("win.ini",
                       "[display]\ndriver=null\nrecord=" + agent_.Path("screen.txt") + "\n");
    // The user's own files (client.conf, documents) are the test's.
    std::filesystem::create_directories(agent_.Path("home/.cups"));
    agent_.SetEnvironment("HOME", agent_.Path("home"));
    agent_.CaptureErrors();
  }

  // Prints one job and checks that it went to the office's queue, and that the agent said at
  // start which printer of which server it would use.
  void PrintsOnTheOfficeServer() {
    const pid_t pid = agent_.Start();
    ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }, 60s));
    agent_.Job("A.TXT", "Faktura dla biura\r\n");
    ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s))
        << agent_.ErrorOutput();
    ASSERT_TRUE(office_->WaitUntilIdle());
    EXPECT_EQ(office_->CompletedJobs(), 1);
    EXPECT_GT(std::filesystem::file_size(office_->OutputPath("biuro")), 0u);
    EXPECT_EQ(station_->CompletedJobs(), 0) << "printed on the station's own queue";
    agent_.Stop();
    EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
    const std::vector<std::string> lines = agent_.Lines("agent.err");
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines[0].find(", printer \"biuro\" (CUPS queue biuro on the print server " +
                            office_->server() + "), "),
              std::string::npos)
        << lines[0];
    EXPECT_EQ(agent_.Count(lines, "wydrukid95: job \"" + agent_.Path("jobs/A.TXT") +
                                      "\" on \"biuro\": printed, 1 page"),
              1)
        << agent_.ErrorOutput();
  }

  AgentHarness agent_;
  std::unique_ptr<CupsScheduler> station_;
  std::unique_ptr<CupsScheduler> office_;
};

TEST_F(OfficePrintServer, NamedByCupsServerItsDefaultQueuePrintsTheJob) {
  agent_.SetEnvironment("CUPS_SERVER", office_->server());
  PrintsOnTheOfficeServer();
}

TEST_F(OfficePrintServer, NamedByServerNameInTheUsersClientConfItsDefaultQueuePrintsTheJob) {
  agent_.UnsetEnvironment("CUPS_SERVER");
  agent_.Dir().Write("home/.cups/client.conf", "ServerName " + office_->server() + "\n");
  PrintsOnTheOfficeServer();
}

// The trust rules hold for the office's server as for any scheduler: while it is down, a job is
// kept (never printed elsewhere, such as into a PDF file), said once, and printed once when
// the server is back.
TEST_F(OfficePrintServer, WhileTheServerIsDownTheJobIsKeptAndPrintedOnceWhenItIsBack) {
  agent_.SetEnvironment("CUPS_SERVER", office_->server());
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }, 60s));
  office_->Halt();
  agent_.Job("A.TXT", "Faktura dla biura\r\n");
  // Which name the message gives the printer while its server cannot say is not the point.
  const std::string unreachable =
      "the print system cannot be reached (no answer from " + office_->server() + ")";
  const auto reports = [&] {
    int n = 0;
    for (const auto& line : agent_.Screen())
      n += line.rfind("MESSAGEBOX 16 ", 0) == 0 && line.find(unreachable) != std::string::npos;
    return n;
  };
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return reports() == 1; }))
      << agent_.Dir().Read("screen.txt") << agent_.ErrorOutput();
  EXPECT_FALSE(agent_.SignalGone()) << "the job is kept";

  office_->Resume();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
  ASSERT_TRUE(office_->WaitUntilIdle());
  EXPECT_EQ(office_->CompletedJobs(), 1) << "printed once, on the office's queue";
  EXPECT_EQ(station_->CompletedJobs(), 0);
  EXPECT_EQ(reports(), 1) << "said once for the whole outage";
  for (const auto& entry : std::filesystem::recursive_directory_iterator(agent_.Path("home")))
    EXPECT_NE(entry.path().extension(), ".pdf") << "printed elsewhere: " << entry.path();
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(AdvertisedPrinterJobs, APrinterThatDoesNotAnswerKeepsTheJobAndNeverHoldsTheAgent) {
  printer_->Freeze();
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }, 60s));
  agent_.Job("A.TXT", "Faktura\r\n");
  // Not set up in time, or set up as a queue that cannot print yet: either way the job waits.
  ASSERT_TRUE(AgentHarness::WaitUntil(
      [&] { return Messages(agent_, "Printer \"" + printer_->name() + "\": ") >= 1; }, 90s))
      << agent_.Dir().Read("screen.txt");
  EXPECT_FALSE(agent_.SignalGone());
  ::kill(pid, SIGTERM);
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0) << "the termination was not held up";
  EXPECT_EQ(printer_->ReceivedDocuments(), 0);
}

}  // namespace
}  // namespace wydruki::test
