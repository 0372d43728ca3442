// SPDX-License-Identifier: MIT
// The built agent printing on a dot-matrix printer's queue without a driver, on a scheduler of
// the test's own: what reaches the printer is the print-out in ESC/P, byte for byte, in the
// character table the profile names; the job is kept through an outage and printed once.
#include <gtest/gtest.h>

#include <string>

#include "e2e/agent_harness.h"
#include "test_support/cups_scheduler.h"
#include "test_support/lossy_relay.h"
#include "test_support/escp_reader.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

// Control bytes written visibly: ^ is ESC, { SI, } DC2 and ` NUL.
std::string E(std::string text) {
  for (char& c : text)
    c = c == '^' ? '\x1B' : c == '{' ? '\x0F' : c == '}' ? '\x12' : c == '`' ? '\0' : c;
  return text;
}

// ESC @, the PC852 table assigned and selected, upper codes printable, a 72-line sheet.
const std::string kOpening852 = E("^@^(t\x03`\x01\x0A`^t\x01^6^C\x48");

class RawQueuePrinting : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
    scheduler_ = std::make_unique<CupsScheduler>();
    scheduler_->AddRawQueue("LX350");
    Profile("");
    pid_ = agent_.Start();
  }
  void TearDown() override {
    if (!scheduler_) return;
    agent_.Stop();
    EXPECT_EQ(agent_.WaitForExit(pid_, 20s), 0);
  }
  void Profile(const std::string& escp) {
    const std::string record = "record=" + agent_.Path("screen.txt");
    agent_.Dir().Write("win.ini", "[windows]\ndevice=LX350,cups,LX350\n[display]\ndriver=null\n" +
                                      record + "\n[escp]\n" + escp);
  }
  // The bytes the printer received.
  std::string Arrived() const {
    std::ifstream in(scheduler_->OutputPath("LX350"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Hands over a job and waits until it has been printed.
  void Print(const std::string& file, const std::string& bytes, const std::string& line2 = "") {
    const int before = scheduler_->CompletedJobs();
    agent_.Job(file, bytes, line2);
    ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s))
        << agent_.Dir().Read("screen.txt");
    ASSERT_TRUE(scheduler_->WaitUntilIdle()) << scheduler_->Log();
    ASSERT_EQ(scheduler_->CompletedJobs(), before + 1);
  }

  AgentHarness agent_;
  std::unique_ptr<CupsScheduler> scheduler_;
  pid_t pid_ = -1;
};

TEST_F(RawQueuePrinting, EveryCompanionCommandArrivesAsItsEscpCommand) {
  // Line 2 of the signal: 76, so 77 lines in the job's spacing: 2160/77 = 28 of 1/180 inch.
  Print("FAKTURA.TXT",
        E("^BFaktura^b nr 1\r\n^CCondensed^c\r\n^PElite^CCond^c^p\r\n^WWide^w ^Ss^s\r\n"
          "^GJob spacing\r\n^gZa\xBE\xA2\x88\x86 \xC4^X\r\nKoniec^\r\nBstrony\x0C\r\nStrona 2\r\n"),
        "76");
  EXPECT_EQ(Arrived(),
            kOpening852 +
                E("^EFaktura^F nr 1\r\n{Condensed}\r\n^MElite^P{Cond}^M^P\r\n"
                  "^W\x01Wide^W` ^W\x01s^W`\r\n^3\x1CJob spacing\r\n^2Za\xBE\xA2\x88\x86 \xC4\r\n"
                  "Koniec\r\n^Estrony\x0CStrona 2\r\n"));
  EXPECT_EQ(ReadEscp(Arrived()).lines.at(7), "bold: strony");
}

TEST_F(RawQueuePrinting, ThePolishLettersGoInTheTableTheProfileNames) {
  Profile("codepage=mazovia\npage_length=70\n");
  Print("A.TXT", E("^BZa\xBE\xA2\x88\x86 g\xA9\x98l\xA5^b ja\xAB\xE4\x0C\r\n"));
  const EscpPrintout printout = ReadEscp(Arrived());
  EXPECT_EQ(printout.table, -1) << "no table is assigned: the printer is set to Mazovia";
  EXPECT_EQ(printout.page_length, 70);
  ASSERT_EQ(printout.lines.size(), 1u);
  EXPECT_EQ(printout.lines[0], "bold: Za\xA7\xA2\x92\x8D g\x91\x9El\x86 ja\xA6\xA4");
}

TEST_F(RawQueuePrinting, ATenMegabyteListingArrivesWhole) {
  std::string listing;
  for (int line = 0; listing.size() < 10 * 1024 * 1024; ++line)
    listing += std::string(98, static_cast<char>('A' + line % 26)) + "\r\n";
  Print("LISTING.TXT", listing);
  EXPECT_TRUE(Arrived() == kOpening852 + listing) << "the listing arrived changed";
}

TEST_F(RawQueuePrinting, AJobIsKeptThroughAnOutageAndARefusingQueueAndPrintedOnce) {
  // The queue refuses jobs, and the scheduler keeps that through its restart.
  scheduler_->RejectJobs("LX350");
  const auto said = [&](const std::string& text) {
    return agent_.Count(agent_.Screen(), "MESSAGEBOX 16 Wydruki z D'95|Printer \"LX350\": " + text);
  };
  scheduler_->Halt();
  agent_.Job("A.TXT", "Faktura\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    return said("the print system cannot be reached") == 1;
  })) << agent_.Dir().Read("screen.txt");
  // Back, but refusing jobs: the raw document is refused at its start and the job still waits.
  scheduler_->Resume();
  ASSERT_TRUE(AgentHarness::WaitUntil(
      [&] { return said("the printer does not accept jobs now") == 1; }, 60s))
      << agent_.Dir().Read("screen.txt");
  EXPECT_FALSE(agent_.SignalGone());
  scheduler_->AcceptJobs("LX350");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
  ASSERT_TRUE(scheduler_->WaitUntilIdle());
  EXPECT_EQ(Arrived(), kOpening852 + "Faktura\r\n") << "printed once";
}

// The scheduler takes the whole raw job and its answer is lost on the way: the agent asks what
// became of the job instead of sending it again, and the printer receives it once.
TEST_F(RawQueuePrinting, AJobWhoseAnswerWasLostIsAskedAboutNotSentTwice) {
  // The fixture's agent goes (a stop signal before its first tick would be taken as stale).
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  agent_.Stop();
  ASSERT_EQ(agent_.WaitForExit(pid_, 20s), 0);
  LossyRelay relay(scheduler_->port());
  agent_.SetEnvironment("CUPS_SERVER", relay.server());
  relay.LoseNextSendDocumentAnswer();
  pid_ = agent_.Start();
  Print("A.TXT", "Faktura\r\n");
  EXPECT_EQ(relay.AnswersLost(), 1);
  EXPECT_EQ(Arrived(), kOpening852 + "Faktura\r\n") << "sent once";
}

}  // namespace
}  // namespace wydruki::test
