// SPDX-License-Identifier: MIT
// The built agent printing on a dot-matrix printer's queue without a driver, on a scheduler of
// the test's own: what reaches the printer is the print-out in ESC/P, byte for byte, in the
// character table the profile names; the job is kept through an outage and printed once.
#include <gtest/gtest.h>

#include <string>

#include "e2e/agent_harness.h"
#include "test_support/cups_scheduler.h"
#include "test_support/escp_reader.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;

// ESC @, the PC852 table assigned and selected, upper codes printable, a 72-line sheet.
const std::string kOpening852 =
    "\x1B@\x1B(t\x03\x00\x01\x0A\x00\x1Bt\x01\x1B"
    "6\x1B"
    "C\x48"s;

class RawQueuePrinting : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
    scheduler_ = std::make_unique<CupsScheduler>();
    scheduler_->AddRawQueue("LX350");
    Profile("");
  }
  void Profile(const std::string& escp) {
    agent_.Dir().Write("win.ini",
                       "[windows]\ndevice=LX350,cups,LX350\n[display]\ndriver=null\n"
                       "record=" +
                           agent_.Path("screen.txt") + "\n[escp]\n" + escp);
  }
  std::string Arrived() const {
    const std::string path = scheduler_->OutputPath("LX350");
    return std::filesystem::exists(path) ? Read(path) : "";
  }
  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
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
};

TEST_F(RawQueuePrinting, EveryCompanionCommandArrivesAsItsEscpCommand) {
  const pid_t pid = agent_.Start();
  // Line 2 of the signal: 76, so 77 lines in the job's spacing: 2160/77 = 28 of 1/180 inch.
  Print("FAKTURA.TXT",
        "\x1B"
        "BFaktura\x1B"
        "b nr 1\r\n"
        "\x1B"
        "CCondensed\x1B"
        "c\r\n"
        "\x1B"
        "PElite\x1B"
        "CCond\x1B"
        "c\x1B"
        "p\r\n"
        "\x1B"
        "WWide\x1B"
        "w \x1B"
        "Ss\x1B"
        "s\r\n"
        "\x1B"
        "GJob spacing\r\n"
        "\x1B"
        "gZa\xBE\xA2\x88\x86 \xC4\x1B"
        "X\r\n"
        "Koniec\x1B\r\n"
        "Bstrony\x0C\r\n"
        "Strona 2\r\n",
        "76");
  const std::string expected = kOpening852 +
                               "\x1B"
                               "EFaktura\x1B"
                               "F nr 1\r\n"
                               "\x0F"
                               "Condensed\x12\r\n"
                               "\x1BMElite\x1BP\x0F"
                               "Cond\x12\x1BM\x1BP\r\n" +
                               "\x1BW\x01Wide\x1BW\x00 \x1BW\x01s\x1BW\x00\r\n"s +
                               "\x1B"
                               "3\x1CJob spacing\r\n"
                               "\x1B"
                               "2Za\xBE\xA2\x88\x86 \xC4\r\n"
                               "Koniec\r\n"
                               "\x1B"
                               "Estrony\x0C"
                               "Strona 2\r\n";
  EXPECT_EQ(Arrived(), expected);
  // The same, as the printer lays it out.
  const EscpPrintout printout = ReadEscp(Arrived());
  EXPECT_EQ(printout.table, 10);
  EXPECT_EQ(printout.page_length, 72);
  ASSERT_EQ(printout.lines.size(), 9u);
  EXPECT_EQ(Describe(printout.lines[0]), "bold: Faktura nr 1");
  EXPECT_EQ(Describe(printout.lines[2]), "elite: EliteCond");
  EXPECT_EQ(printout.lines[4].spacing, 28);
  EXPECT_EQ(printout.lines[5].spacing, 30);
  EXPECT_EQ(Describe(printout.lines[7]), "bold: strony");
  EXPECT_EQ(printout.lines[8].page, 2);
  EXPECT_EQ(printout.unknown, "");
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(RawQueuePrinting, ThePolishLettersGoInTheTableTheProfileNames) {
  const pid_t pid = agent_.Start();
  const std::string polish = "Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4\r\n";  // code page 852
  Profile("codepage=mazovia\n");
  Print("A.TXT", polish);
  Profile("codepage=ascii\npage_length=70\n");
  Print("B.TXT", polish);
  const std::string both = Arrived();
  const std::size_t second = both.find("\x1B@", 1);
  ASSERT_NE(second, std::string::npos);
  const EscpPrintout mazovia = ReadEscp(both.substr(0, second));
  const EscpPrintout ascii = ReadEscp(both.substr(second));
  // No table is assigned for these: the printer is set to it.
  EXPECT_EQ(mazovia.table, -1);
  EXPECT_TRUE(mazovia.upper_codes);
  ASSERT_EQ(mazovia.lines.size(), 1u);
  EXPECT_EQ(mazovia.lines[0].text, "Za\xA7\xA2\x92\x8D g\x91\x9El\x86 ja\xA6\xA4");
  EXPECT_FALSE(ascii.upper_codes);
  EXPECT_EQ(ascii.page_length, 70);
  ASSERT_EQ(ascii.lines.size(), 1u);
  EXPECT_EQ(ascii.lines[0].text, "Zazolc gesla jazn");
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(RawQueuePrinting, ATenMegabyteListingArrivesWhole) {
  std::string listing, expected = kOpening852;
  for (int line = 0; listing.size() < 10 * 1024 * 1024; ++line) {
    std::string row(98, static_cast<char>('A' + line % 26));
    listing += row + "\r\n";
    expected += row + "\r\n";
  }
  const pid_t pid = agent_.Start();
  Print("LISTING.TXT", listing);
  const std::string arrived = Arrived();
  EXPECT_EQ(arrived.size(), expected.size());
  EXPECT_TRUE(arrived == expected) << "the listing arrived changed";
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

TEST_F(RawQueuePrinting, AJobIsKeptThroughAnOutageAndARefusingQueueAndPrintedOnce) {
  // The queue refuses jobs from the start; the scheduler keeps that through its restart.
  scheduler_->RejectJobs("LX350");
  const pid_t pid = agent_.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
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
  EXPECT_EQ(Arrived(), "");
  scheduler_->AcceptJobs("LX350");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.SignalGone(); }, 60s));
  ASSERT_TRUE(scheduler_->WaitUntilIdle());
  EXPECT_EQ(Arrived(), kOpening852 + "Faktura\r\n") << "printed once";
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid, 20s), 0);
}

}  // namespace
}  // namespace wydruki::test
