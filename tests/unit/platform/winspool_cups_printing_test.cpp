// SPDX-License-Identifier: MIT
// CUPS destinations as the drawing side sees them: their page in device units, the job a
// finished document becomes, and the default device line.
#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>
#include <string>

#include "common/printer_backend.h"
#include "platform/winapi.h"
#include "unit/platform/winspool_cups_fixture.h"

namespace wydruki::test {
namespace {

using platform::DefaultDeviceLine;
using platform::OpenDocumentOutput;
using platform::PrinterKind;
using platform::ResolvePrinter;

// Device units of a length in points, rounded as a printer description's sizes are.
int Units(double points, int dpi) { return static_cast<int>(points / 72.0 * dpi + 0.5); }

DEVMODEA ModeWith(DWORD fields) {
  DEVMODEA mode;
  std::memset(&mode, 0, sizeof mode);
  mode.dmSize = sizeof mode;
  mode.dmFields = fields;
  return mode;
}

// The job names the scheduler holds for a queue, newest last.
std::vector<std::string> JobTitles(const std::string& queue) {
  cups_job_t* jobs = nullptr;
  const int count = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ALL);
  std::vector<std::string> titles;
  for (int i = 0; i < count; ++i) titles.push_back(jobs[i].title != nullptr ? jobs[i].title : "");
  cupsFreeJobs(count, jobs);
  return titles;
}

const std::string kDocument =
    "%PDF-1.4\n1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
    "2 0 obj << /Type /Pages /Kids [] /Count 0 >> endobj\n"
    "trailer << /Root 1 0 R >>\n%%EOF\n";

using CupsResolveTest = CupsPrintersTest;

TEST_F(CupsResolveTest, A4QueuePageFollowsItsImageableArea) {
  // alpha: A4 (595 x 842 points), printable 12 18 583 824, 300 dpi.
  const auto target = ResolvePrinter("alpha", nullptr);
  ASSERT_TRUE(target.has_value());
  EXPECT_EQ(target->kind, PrinterKind::kCups);
  EXPECT_EQ(target->name, "alpha");
  const auto& caps = target->caps;
  EXPECT_EQ(caps.log_pixels_x, 300);
  EXPECT_EQ(caps.log_pixels_y, 300);
  EXPECT_NEAR(caps.physical_width, Units(595, 300), 1);
  EXPECT_NEAR(caps.physical_height, Units(842, 300), 1);
  EXPECT_NEAR(caps.physical_offset_x, Units(12, 300), 1);
  EXPECT_NEAR(caps.physical_offset_y, Units(18, 300), 1);
  EXPECT_NEAR(caps.horz_res, Units(583 - 12, 300), 2);
  EXPECT_NEAR(caps.vert_res, Units(824 - 18, 300), 2);
  // The printable width is the page less both margins, in the same units.
  EXPECT_LE(caps.horz_res + caps.physical_offset_x, caps.physical_width);
}

TEST_F(CupsResolveTest, LetterPaperLandscapeAndLetterCase) {
  // Beta: Letter (612 x 792 points), printable 18 36 594 756, 600 dpi; its own landscape
  // default does not count without a device mode.
  const auto beta = ResolvePrinter("bETA", nullptr);
  ASSERT_TRUE(beta.has_value());
  EXPECT_EQ(beta->name, "Beta");
  EXPECT_EQ(beta->caps.log_pixels_x, 600);
  EXPECT_NEAR(beta->caps.physical_width, 5100, 1);
  EXPECT_NEAR(beta->caps.physical_height, 6600, 1);
  EXPECT_NEAR(beta->caps.physical_offset_x, Units(18, 600), 1);
  EXPECT_NEAR(beta->caps.horz_res, Units(594 - 18, 600), 2);
  EXPECT_NEAR(beta->caps.vert_res, Units(756 - 36, 600), 2);

  // Letter paper asked of the A4 queue, in landscape: the page turns, margins with it.
  DEVMODEA mode = ModeWith(DM_PAPERSIZE | DM_ORIENTATION);
  mode.dmPaperSize = DMPAPER_LETTER;
  mode.dmOrientation = DMORIENT_LANDSCAPE;
  const auto turned = ResolvePrinter("alpha", &mode);
  ASSERT_TRUE(turned.has_value());
  EXPECT_NEAR(turned->caps.physical_width, Units(792, 300), 1);
  EXPECT_NEAR(turned->caps.physical_height, Units(612, 300), 1);
  EXPECT_NEAR(turned->caps.horz_res, Units(756 - 36, 300), 2);
  EXPECT_NEAR(turned->caps.vert_res, Units(594 - 18, 300), 2);
  EXPECT_NEAR(turned->caps.physical_offset_x, Units(36, 300), 1);

  // A resolution asked for in the device mode is the one drawn at.
  DEVMODEA fine = ModeWith(DM_PRINTQUALITY);
  fine.dmPrintQuality = 600;
  const auto sharp = ResolvePrinter("alpha", &fine);
  ASSERT_TRUE(sharp.has_value());
  EXPECT_EQ(sharp->caps.log_pixels_y, 600);
  EXPECT_NEAR(sharp->caps.physical_width, Units(595, 600), 1);
}

TEST_F(CupsResolveTest, UnknownNamesAreRefused) {
  SetLastError(0);
  EXPECT_FALSE(ResolvePrinter("gamma", nullptr).has_value());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  EXPECT_FALSE(ResolvePrinter("", nullptr).has_value());
  EXPECT_FALSE(ResolvePrinter(nullptr, nullptr).has_value());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // The built-in printers keep answering.
  EXPECT_EQ(ResolvePrinter("PDF-File", nullptr)->kind, PrinterKind::kPdfFile);
}

using CupsDocumentTest = CupsPrintersTest;

TEST_F(CupsDocumentTest, FinishedDocumentBecomesOneJobWithTheBytesUnchanged) {
  ScopedEnv tmp("TMPDIR", files().path().string());
  const auto target = ResolvePrinter("alpha", nullptr);
  ASSERT_TRUE(target.has_value());
  auto output = OpenDocumentOutput(*target, "C:\\WYDRUKI\\faktura.txt");
  ASSERT_NE(output, nullptr);
  const auto* bytes = reinterpret_cast<const unsigned char*>(kDocument.data());
  ASSERT_TRUE(output->Write(bytes, 10));
  ASSERT_TRUE(output->Write(bytes + 10, kDocument.size() - 10));
  // Nothing reaches the queue before the document is finished.
  EXPECT_TRUE(JobTitles("alpha").empty());
  ASSERT_TRUE(output->Finish()) << GetLastError();
  ASSERT_TRUE(scheduler().WaitUntilIdle()) << scheduler().Log();
  std::ifstream in(scheduler().OutputPath("alpha"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kDocument);
  // The queue shows the printed file's name, not the path it was printed from.
  EXPECT_EQ(JobTitles("alpha"), std::vector<std::string>{"faktura.txt"});
  // The spooled copy is gone: nothing is left in the temporary directory but the profile.
  int left = 0;
  for (const auto& entry : std::filesystem::directory_iterator(files().path()))
    if (entry.path().filename() != "win.ini") ++left;
  EXPECT_EQ(left, 0);
  EXPECT_FALSE(output->Finish());
}

TEST_F(CupsDocumentTest, AbortedDocumentPrintsNothing) {
  const auto target = ResolvePrinter("Beta", nullptr);
  ASSERT_TRUE(target.has_value());
  auto output = OpenDocumentOutput(*target, "aborted");
  ASSERT_NE(output, nullptr);
  ASSERT_TRUE(output->Write(reinterpret_cast<const unsigned char*>(kDocument.data()), 8));
  output->Abort();
  EXPECT_FALSE(output->Write(reinterpret_cast<const unsigned char*>("x"), 1));
  EXPECT_FALSE(output->Finish());
  output.reset();
  // A document dropped without Finish prints nothing either.
  auto dropped = OpenDocumentOutput(*target, "dropped");
  ASSERT_NE(dropped, nullptr);
  dropped.reset();
  EXPECT_TRUE(JobTitles("Beta").empty());
  EXPECT_FALSE(std::filesystem::exists(scheduler().OutputPath("Beta")));
}

TEST_F(CupsDocumentTest, RefusingQueueFailsTheDocument) {
  scheduler().AddQueue("closed");
  const auto target = ResolvePrinter("closed", nullptr);
  ASSERT_TRUE(target.has_value());
  // A queue that begins to refuse jobs while the document is written.
  auto output = OpenDocumentOutput(*target, "refused");
  ASSERT_NE(output, nullptr);
  scheduler().RejectJobs("closed");
  ASSERT_TRUE(
      output->Write(reinterpret_cast<const unsigned char*>(kDocument.data()), kDocument.size()));
  SetLastError(0);
  EXPECT_FALSE(output->Finish());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_STATE));
  // A queue that refuses jobs already: the document is refused at its start.
  SetLastError(0);
  EXPECT_EQ(OpenDocumentOutput(*target, "refused at once"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_STATE));
  EXPECT_TRUE(JobTitles("closed").empty());

  // A queue deleted after the document began: it has nowhere to go.
  scheduler().AcceptJobs("closed");
  auto orphan = OpenDocumentOutput(*target, "orphan");
  ASSERT_NE(orphan, nullptr);
  ASSERT_EQ(RunProgram({"/usr/sbin/lpadmin", "-h", scheduler().server(), "-x", "closed"}), 0);
  SetLastError(0);
  EXPECT_FALSE(orphan->Finish());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_FOUND));
}

TEST_F(CupsDocumentTest, AStoppedQueueRefusesTheDocumentAtItsStart) {
  scheduler().AddQueue("paused");
  const auto target = ResolvePrinter("paused", nullptr);
  ASSERT_TRUE(target.has_value());
  scheduler().Stop("paused");
  SetLastError(0);
  EXPECT_EQ(OpenDocumentOutput(*target, "held"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_STATE));
}

using DefaultDeviceLineTest = CupsPrintersTest;

TEST_F(DefaultDeviceLineTest, NamesTheCupsDefaultHonouringLpdest) {
  EXPECT_EQ(DefaultDeviceLine(), "alpha,cups,alpha");
  {
    ScopedEnv lpdest("LPDEST", "Beta");
    EXPECT_EQ(DefaultDeviceLine(), "Beta,cups,Beta");
  }
  EXPECT_FALSE(ResolvePrinter("nosuch", nullptr).has_value());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME)) << "not known";
  {
    // A scheduler named but silent is an outage: no default is known, and none is made up.
    ScopedEnv server("CUPS_SERVER", "127.0.0.1:9");
    EXPECT_EQ(DefaultDeviceLine(), "");
    EXPECT_FALSE(ResolvePrinter("alpha", nullptr).has_value());
    // As Windows says when its spooler is not running.
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << "no scheduler";
  }
  // Only a machine with no print system configured at all prints into PDF files.
  if (std::filesystem::exists("/run/cups/cups.sock") ||
      std::filesystem::exists("/var/run/cups/cups.sock"))
    GTEST_SKIP() << "this machine has a local scheduler's socket";
  TempDir empty;
  ScopedEnv no_server("CUPS_SERVER", nullptr);
  ScopedEnv home("HOME", empty.path().string());
  ScopedEnv server_root("CUPS_SERVERROOT", empty.path().string());
  EXPECT_EQ(DefaultDeviceLine(), "pdf-file,builtin," + files().path().string());
}

}  // namespace
}  // namespace wydruki::test
