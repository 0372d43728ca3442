// SPDX-License-Identifier: MIT
// Every job the companion hands over is printed once, or stays and is reported: the built agent
// against outputs that cannot be written, print-outs it may not read, signals replaced or
// written anew while they cannot be deleted, and several jobs in one run.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/agent_harness.h"
#include "platform/winapi.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr const char* kBoxPrefix = "MESSAGEBOX 16 Wydruki z D'95|";

std::string Run(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
  if (!pipe) return out;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
    out.append(buffer, n);
  return out;
}

// The names in a directory (none when it is not one).
std::vector<std::string> Listing(const std::string& directory) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(directory, error))
    names.push_back(entry.path().filename().string());
  return names;
}

// A profile whose default printer is "pdf-file" writing into `port`.
void UsePdfFile(AgentHarness& agent, const std::string& port) {
  agent.Dir().Write("win.ini", "[windows]\ndevice=pdf-file,builtin,x\n[pdf-file]\nport=" + port +
                                   "\nLOGPIXELSX=600\nLOGPIXELSY=600\n[display]\ndriver=null\n"
                                   "record=" +
                                   agent.Path("screen.txt") + "\n");
}

// A small file system of the test's own (root only), removed with the object.
class SmallFileSystem {
 public:
  SmallFileSystem(const std::string& where, const std::string& options) : where_(where) {
    fs::create_directories(where);
    mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }
  bool Remount(const std::string& options) {
    return ::mount("tmpfs", where_.c_str(), "tmpfs", MS_REMOUNT, options.c_str()) == 0;
  }

 private:
  std::string where_;
  bool mounted_ = false;
};

// One job on an output that cannot take it: reported once with the system's reason, kept while
// the output fails (no document file appears), printed once the output works again.
void ExpectKeptReportedOnceThenPrinted(AgentHarness& agent, const std::string& reason,
                                       const std::function<void()>& repair,
                                       const std::function<std::string()>& printed) {
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  // A page of many different letters: its PDF, with the glyphs it embeds, takes some room.
  std::string page = "Faktura 17/2024\r\n";
  for (int line = 0; line < 50; ++line)
    page += "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz 0123456789 \xA5\x86\xA8\r\n";
  agent.Job("FAKTURA.TXT", page);
  const std::string box = kBoxPrefix + reason;
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.Count(agent.Screen(), box) >= 1; }))
      << "no report; the screen shows:\n"
      << agent.Dir().Read("screen.txt");
  // Two more ticks at least: each reads the signal twice or less.
  OpenWatch watch(agent.JobDirectory());
  ASSERT_TRUE(watch.WaitForOpens("win95.drk", 5));
  EXPECT_EQ(agent.Count(agent.Screen(), kBoxPrefix), 1) << "reported once";
  EXPECT_FALSE(agent.SignalGone()) << "the job is kept";
  EXPECT_EQ(printed(), "") << "nothing was printed";
  repair();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }))
      << "printed once the output works";
  EXPECT_NE(printed().find("Faktura 17/2024"), std::string::npos) << printed();
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Screen(), kBoxPrefix), 1);
}

bool IsPdf(const std::string& name) {
  return name.size() > 4 && name.substr(name.size() - 4) == ".pdf";
}

// What the PDF files in `directory` say; nothing when there are none. (A hidden temporary file
// may be there for a moment while the agent tries again; it is not where the user looks.)
std::string PdfText(const std::string& directory) {
  std::string text;
  for (const auto& name : Listing(directory))
    if (IsPdf(name)) text += Run("pdftotext '" + directory + "/" + name + "' -");
  return text;
}

// Once the job is printed, the directory holds its one PDF and nothing else: every failed
// attempt took its temporary file away.
void ExpectOnlyOnePdf(const std::string& directory) {
  const auto names = Listing(directory);
  ASSERT_EQ(names.size(), 1u) << "files left beside the print-out";
  EXPECT_TRUE(IsPdf(names.front())) << names.front();
}

TEST(AgentOutputFailures, APdfDirectoryThatIsMissing) {
  AgentHarness agent;
  const std::string port = agent.Path("out/wydruki");
  UsePdfFile(agent, port);
  ExpectKeptReportedOnceThenPrinted(
      agent, "The system cannot find the path specified.", [&] { fs::create_directories(port); },
      [&] { return PdfText(port); });
  ExpectOnlyOnePdf(port);
}

TEST(AgentOutputFailures, APdfPortThatIsARegularFile) {
  AgentHarness agent;
  const std::string port = agent.Dir().Write("wydruki", "not a directory");
  UsePdfFile(agent, port);
  ExpectKeptReportedOnceThenPrinted(
      agent, "The system cannot find the path specified.",
      [&] {
        fs::remove(port);
        fs::create_directories(port);
      },
      [&] { return fs::is_directory(port) ? PdfText(port) : ""; });
  ExpectOnlyOnePdf(port);
}

TEST(AgentOutputFailures, APdfDirectoryThatIsReadOnly) {
  AgentHarness agent;
  const std::string port = agent.Path("wydruki");
  fs::create_directories(port);
  fs::permissions(port, fs::perms::owner_read | fs::perms::owner_exec, fs::perm_options::replace);
  UsePdfFile(agent, port);
  agent.WithoutFileOverrides();
  ExpectKeptReportedOnceThenPrinted(
      agent, "Access is denied.",
      [&] { fs::permissions(port, fs::perms::owner_all, fs::perm_options::replace); },
      [&] { return PdfText(port); });
  ExpectOnlyOnePdf(port);
}

TEST(AgentOutputFailures, APdfDirectoryOnAFullFileSystem) {
  if (::geteuid() != 0) GTEST_SKIP() << "a small file system of the test's own needs root";
  AgentHarness agent;
  const std::string port = agent.Path("small");
  SmallFileSystem small(port, "size=4k");
  if (!small.Mounted()) GTEST_SKIP() << "this machine refuses to mount a tmpfs";
  UsePdfFile(agent, port);
  ExpectKeptReportedOnceThenPrinted(
      agent, "There is not enough space on the disk.",
      [&] { ASSERT_TRUE(small.Remount("size=16m")); }, [&] { return PdfText(port); });
  ExpectOnlyOnePdf(port);
}

TEST(AgentOutputFailures, ATraceFileInAMissingDirectory) {
  AgentHarness agent;
  const std::string port = agent.Path("traces/today/trace.txt");
  agent.Dir().Write("win.ini",
                    "[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport=" + port +
                        "\n[display]\ndriver=null\nrecord=" + agent.Path("screen.txt") + "\n");
  ExpectKeptReportedOnceThenPrinted(
      agent, "The system cannot find the path specified.",
      [&] { fs::create_directories(agent.Path("traces/today")); },
      [&] {
        std::string hex;  // the trace holds the text as hexadecimal bytes
        for (const auto& t : Texts(agent.Lines("traces/today/trace.txt")))
          hex += static_cast<char>(std::stoi(t.hex, nullptr, 16));
        return hex;
      });
}

// An agent killed while it wrote a PDF leaves its hidden temporary file; the next agent removes
// it as it starts, but never a file another running agent is still writing.
TEST(AgentOutputFailures, TemporaryFilesOfAKilledAgentAreRemovedByTheNextOne) {
  AgentHarness agent;
  const std::string port = agent.Path("wydruki");
  fs::create_directories(port);
  UsePdfFile(agent, port);
  const pid_t gone = ::fork();  // a process id that surely has no process any more
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string abandoned = ".wydrukid95-" + std::to_string(gone) + "-Ab12Cd";
  const std::string in_use = ".wydrukid95-" + std::to_string(::getpid()) + "-Ef34Gh";
  agent.Dir().Write("wydruki/" + abandoned, "%PDF-1.5 half");
  agent.Dir().Write("wydruki/" + in_use, "%PDF-1.5 being written");
  agent.Dir().Write("wydruki/RAPORT.TXT.pdf", "%PDF-1.5 the user's own");
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  EXPECT_FALSE(agent.Dir().Exists("wydruki/" + abandoned));
  EXPECT_TRUE(agent.Dir().Exists("wydruki/" + in_use));
  EXPECT_TRUE(agent.Dir().Exists("wydruki/RAPORT.TXT.pdf"));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
}

// A print-out the agent may not read is not a file still being written: the job is kept and
// tried again, and the user is told once.
TEST(AgentJobs, APrintOutThatMayNotBeReadIsReportedOnceAndPrintedWhenItMay) {
  AgentHarness agent;
  agent.WithoutFileOverrides();
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  const std::string file = agent.Dir().Write("jobs/TAJNE.TXT", "Tajne\r\n");
  fs::permissions(file, fs::perms::none, fs::perm_options::replace);
  agent.Signal(file + "\r\n");
  const std::string box =
      std::string(kBoxPrefix) + "Cannot open file " + file + ". Access is denied.";
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.Count(agent.Screen(), box) == 1; }))
      << agent.Dir().Read("screen.txt");
  OpenWatch watch(agent.JobDirectory());
  ASSERT_TRUE(watch.WaitForOpens("win95.drk", 5));
  EXPECT_EQ(agent.Count(agent.Screen(), kBoxPrefix), 1) << "reported once";
  EXPECT_FALSE(agent.SignalGone());
  EXPECT_TRUE(agent.Trace().empty());
  fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace);
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "DOC "), 1);
}

// A signal that waits is explained once, after a while, on standard error and in the record:
// a new signal that waits for another reason is explained anew, and the wait still ends in
// the job printed once the print-out is there.
TEST(AgentJobs, ASignalThatWaitsIsExplainedOncePerSignal) {
  AgentHarness agent;
  agent.CaptureErrors();
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  const std::string missing = agent.Path("jobs/NIEMA.TXT");
  const auto said = [&](const std::string& why) {
    int n = 0;
    const std::string errors = agent.ErrorOutput();
    for (std::size_t at = 0;
         (at = errors.find("wydrukid95: waiting: " + why + "\n", at)) != std::string::npos; ++at)
      ++n;
    return std::min(n, agent.Count(agent.Screen(), "NOTICE waiting: " + why));
  };
  agent.Signal(missing + "\r\n");
  const std::string absent =
      "win95.drk names " + missing + ", which does not exist (looked for " + missing + ")";
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return said(absent) == 1; }, 60s))
      << agent.ErrorOutput();
  OpenWatch watch(agent.JobDirectory());
  ASSERT_TRUE(watch.WaitForOpens("win95.drk", 3));
  EXPECT_EQ(said(absent), 1) << "said once for this signal";

  agent.Signal(missing + "\n76\n");
  const std::string lf_only = "win95.drk ends its lines with LF only; the companion writes CR LF";
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return said(lf_only) == 1; }, 60s))
      << agent.ErrorOutput();

  agent.Dir().Write("jobs/NIEMA.TXT", "Faktura\r\n");
  agent.Signal(missing + "\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  EXPECT_EQ(agent.Count(agent.Trace(), "DOC "), 1);
  EXPECT_EQ(said(absent), 1);
}

// The companion writes the next job while the previous one still prints. The trace printer's
// port is a pipe the test reads: the job cannot end before the test lets it, so the new signal
// is surely written while the first job prints.
TEST(AgentJobs, ASignalReplacedWhileAJobPrintsIsPrintedNotDeletedUnseen) {
  AgentHarness agent;
  const std::string pipe = agent.Path("trace.pipe");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  agent.Dir().Write("win.ini",
                    "[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport=" + pipe +
                        "\n[display]\ndriver=null\nrecord=" + agent.Path("screen.txt") + "\n");
  const int reader = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  std::string trace;
  const auto read_some = [&] {
    char buffer[65536];
    for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;) trace.append(buffer, n);
  };
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  // More trace than a pipe holds: the first job waits for the reader before it can end.
  std::string first;
  for (int line = 0; line < 40; ++line) first += std::string(60, 'A') + "\r\n";
  agent.Job("PIERWSZY.TXT", first);
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    read_some();
    return trace.find("DOC ") != std::string::npos;
  }));
  agent.Job("DRUGI.TXT", "B\r\n");  // written while the first job cannot end
  // A document is named after its file, the whole path.
  const std::string second = "DOC " + agent.Path("jobs/DRUGI.TXT") + "\n";
  ASSERT_TRUE(AgentHarness::WaitUntil(
      [&] {
        read_some();
        const auto at = trace.find(second);
        return at != std::string::npos && trace.find("ENDDOC", at) != std::string::npos;
      },
      60s))
      << "the second job was lost; trace:\n"
      << trace.substr(0, 300) << "\n...\n"
      << trace.substr(trace.size() > 300 ? trace.size() - 300 : 0);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  read_some();
  ::close(reader);
  int documents = 0;
  for (std::size_t at = 0; (at = trace.find("DOC ", at)) != std::string::npos; ++at) ++documents;
  EXPECT_EQ(documents, 2) << "each job once";
}

// The signal of a printed job cannot be deleted (another program holds it), and the companion
// writes a different job into that same file: the new job is printed, once.
TEST(AgentJobs, ANewJobWrittenOverAnUndeletableSignalIsPrintedOnce) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("A.TXT", "A\r\n");
  const HANDLE holder = CreateFileA(agent.Path("jobs/win95.drk").c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.Count(agent.Trace(), "ENDDOC") == 1; }));
  agent.Dir().Write("jobs/B.TXT", "B\r\n");
  agent.Signal(agent.Path("jobs/B.TXT") + "\r\n");  // the same file, new contents
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.Count(agent.Trace(), "ENDDOC") == 2; }))
      << "the new job was taken for the old one";
  OpenWatch watch(agent.JobDirectory());
  ASSERT_TRUE(watch.WaitForOpens("win95.drk", 7));  // two ticks at least
  EXPECT_FALSE(agent.SignalGone());
  CloseHandle(holder);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  const auto trace = agent.Trace();
  EXPECT_EQ(agent.Count(trace, "DOC " + agent.Path("jobs/A.TXT").substr(0, 31)), 1);
  EXPECT_EQ(agent.Count(trace, "DOC " + agent.Path("jobs/B.TXT").substr(0, 31)), 1);
  EXPECT_EQ(agent.Count(trace, "DOC "), 2);
}

// Jobs one after another in one run print alike: the fonts of a job do not depend on the jobs
// before it.
void ExpectJobsAlike(AgentHarness& agent, int jobs, const std::string& font_start) {
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  for (int job = 0; job < jobs; ++job) {
    agent.Job("J" + std::to_string(job) + ".TXT", "\xA5\x86 " + std::to_string(job) + "\r\n");
    ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); })) << "job " << job;
  }
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  const auto texts = Texts(agent.Trace());
  ASSERT_EQ(texts.size(), 4u * jobs);
  for (int job = 0; job < jobs; ++job) {
    const auto& first = texts[4 * job];
    EXPECT_EQ(first.font.rfind(font_start, 0), 0u) << "job " << job << ": " << first.font;
    EXPECT_EQ(first.font.substr(first.font.rfind('|')), "|238") << "job " << job;
    EXPECT_EQ(first.font, texts[0].font) << "job " << job;
    EXPECT_EQ(first.hex, "B9");  // a-ogonek in the east European character set
  }
}

TEST(AgentJobs, ThreeJobsInOneRunOnTheStandardFontPath) {
  AgentHarness agent;
  agent.Dir().Write("program/font.def", "Courier New\r\n120\r\n3\r\nTRUE\r\n");
  ExpectJobsAlike(agent, 3, "Courier New|-");
}

TEST(AgentJobs, TwoJobsInOneRunOnTheStandardFontPath) {
  AgentHarness agent;
  agent.Dir().Write("program/font.def", "Courier New\r\n120\r\n3\r\nTRUE\r\n");
  ExpectJobsAlike(agent, 2, "Courier New|-");
}

TEST(AgentJobs, ThreeJobsInOneRunOnTheChosenFontPath) {
  AgentHarness agent;
  ExpectJobsAlike(agent, 3, "Courier New|131|55|700|0|238");
}

// ESC P alone selects elite pitch: 96 columns over the text area of 4416 units, a cell of 46.
TEST(AgentJobs, EscPOnItsOwnPlacesCharactersOnTheEliteGrid) {
  AgentHarness agent;
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("ELITE.TXT", "\x1BPAB\r\nC\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  const auto texts = Texts(agent.Trace());
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].x, 192 + 46);
  EXPECT_EQ(texts[1].x, 192 + 92);
  EXPECT_EQ(texts[2].x, 192 + 46) << "the next line keeps the pitch";
  EXPECT_EQ(texts[0].font.rfind("Courier New|", 0), 0u) << texts[0].font;
  EXPECT_NE(texts[0].font.find("|46|"), std::string::npos) << "the 96-column cell font";
}

// A settings file whose face line is empty prints in the standard face.
TEST(AgentJobs, AnEmptyFaceLinePrintsInCourierNew) {
  AgentHarness agent;
  agent.Dir().Write("program/font.def", "\r\n120\r\n3\r\nFALSE\r\n");
  const pid_t pid = agent.Start();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  agent.Job("A.TXT", "A\r\n");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.SignalGone(); }));
  agent.Stop();
  EXPECT_EQ(agent.WaitForExit(pid, 20s), 0);
  const auto texts = Texts(agent.Trace());
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].font, "Courier New|131|55|700|0|238");
}

}  // namespace
}  // namespace wydruki::test
