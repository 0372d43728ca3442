// SPDX-License-Identifier: MIT
// The companion as a real DOS program: batch files running in DOSBox write the print-outs and
// the signals, through DOSBox's own file system, its 8.3 aliases and its way of writing files.
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/agent_harness.h"
#include "kernel/dos_path.h"

namespace wydruki::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kDosBox = "/usr/bin/dosbox";
constexpr const char* kPdfToText = "/usr/bin/pdftotext";

// "Zażółć gęślą jaźń" and the nine Polish capitals in code page 852, and as pdftotext gives them.
const std::string kPolish852 = "Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4";
const std::string kCapitals852 = "\xA4\x8F\xA8\x9D\xE3\xE0\x97\x8D\xBD";
const std::string kPolishUtf8 = "Zażółć gęślą jaźń";
const std::string kCapitalsUtf8 = "ĄĆĘŁŃÓŚŹŻ";

bool ToolsPresent(std::string& missing) {
  for (const char* tool : {kDosBox, kPdfToText}) {
    if (::access(tool, X_OK) != 0) {
      missing = tool;
      return false;
    }
  }
  return true;
}

// Runs DOSBox with drive C at `drive` and the batch file `batch` on it.
pid_t StartDosBox(const std::string& drive, const std::string& batch, const std::string& log) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
      ::dup2(fd, 1);
      ::dup2(fd, 2);
    }
    const std::string mount = "MOUNT C \"" + drive + "\"";
    const std::string call = "CALL " + batch;
    ::execl(kDosBox, kDosBox, "-noconsole", "-c", mount.c_str(), "-c", "C:", "-c", call.c_str(),
            "-c", "EXIT", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// DOSBox busy-waits in the companion's loops and does not end on SIGTERM: whatever happens in a
// test, the emulator it started is killed when the test ends.
class DosBoxGuard {
 public:
  explicit DosBoxGuard(pid_t pid) : pid_(pid) {}
  // The emulator that the launcher starts writes its process id into `pid_file` first.
  explicit DosBoxGuard(std::string pid_file) : pid_file_(std::move(pid_file)) {}
  ~DosBoxGuard() {
    if (pid_ <= 0 && !pid_file_.empty()) {
      std::ifstream in(pid_file_);
      in >> pid_;
      // Not our child: once it has ended its number may be another program's.
      std::ifstream command("/proc/" + std::to_string(pid_) + "/cmdline");
      const std::string line(std::istreambuf_iterator<char>(command), {});
      if (line.find("dosbox") == std::string::npos) pid_ = 0;
    }
    if (pid_ > 0) ::kill(pid_, SIGKILL);
    if (pid_file_.empty() && pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  // Waits (bounded) for the emulator the test started itself; its exit status.
  std::optional<int> Wait(std::chrono::milliseconds limit) {
    std::optional<int> status;
    AgentHarness::WaitUntil(
        [&] {
          int raw = 0;
          if (::waitpid(pid_, &raw, WNOHANG) != pid_) return false;
          status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
          return true;
        },
        limit);
    if (status) pid_ = 0;  // reaped: its number may belong to someone else now
    return status;
  }
  DosBoxGuard(const DosBoxGuard&) = delete;
  DosBoxGuard& operator=(const DosBoxGuard&) = delete;

 private:
  pid_t pid_ = 0;
  std::string pid_file_;
};

std::vector<std::string> Pdfs(const std::string& directory) {
  std::vector<std::string> found;
  if (!std::filesystem::exists(directory)) return found;
  for (const auto& entry : std::filesystem::directory_iterator(directory))
    if (entry.path().extension() == ".pdf") found.push_back(entry.path().string());
  std::sort(found.begin(), found.end());
  return found;
}

std::string PdfText(const std::string& pdf) {
  std::string text;
  FILE* pipe = ::popen(("pdftotext -enc UTF-8 '" + pdf + "' - 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  ::pclose(pipe);
  return text;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The profile of these tests: drive C is the test's directory, printing goes to PDF files.
void WriteProfile(AgentHarness& agent, const std::string& extra = "") {
  agent.Dir().Write("win.ini", "[windows]\ndevice=pdf-file,builtin," + agent.Path("out") +
                                   "\n[display]\ndriver=null\nrecord=" + agent.Path("screen.txt") +
                                   "\n[drives]\nC=" + agent.Dir().path().string() + "\n" + extra);
  std::filesystem::create_directories(agent.Path("out"));
}

// The companion's two print-outs. An invoice with bold passages, its Polish letters and two
// pages, copied into a directory DOSBox shows as MOJEDO~1. Then a report whose signal comes
// first and whose text DOSBox writes in three steps through one redirection: DOSBox keeps the
// host file open all that time, and what the host sees of it before the end may be zeros not
// yet written out. Each step waits for the test to remove its hold file.
const std::string kCompanion =
    "@ECHO OFF\r\n"
    "COPY C:\\SRC\\FAKTURA.TXT C:\\MOJEDO~1\\FAKTURA.TXT\r\n"
    "ECHO C:\\MOJEDO~1\\FAKTURA.TXT>C:\\JOBS\\WIN95.DRK\r\n"
    ":W1\r\n"
    "IF EXIST C:\\JOBS\\WIN95.DRK GOTO W1\r\n"
    "ECHO C:\\JOBS\\RAPORT.TXT>C:\\JOBS\\WIN95.DRK\r\n"
    "COMMAND /C C:\\RAPORT.BAT>C:\\JOBS\\RAPORT.TXT\r\n"
    ":W4\r\n"
    "IF EXIST C:\\JOBS\\WIN95.DRK GOTO W4\r\n"
    "ECHO KONIEC>C:\\JOBS\\KONIEC.DRK\r\n";
// Its standard output is the report; nothing in it may redirect, or the rest goes elsewhere.
const std::string kReport =
    "@ECHO OFF\r\n"
    "TYPE C:\\SRC\\PART1.TXT\r\n"
    ":W2\r\n"
    "IF EXIST C:\\JOBS\\HOLD1.FLG GOTO W2\r\n"
    "TYPE C:\\SRC\\PART2.TXT\r\n"
    ":W3\r\n"
    "IF EXIST C:\\JOBS\\HOLD2.FLG GOTO W3\r\n"
    "TYPE C:\\SRC\\PART3.TXT\r\n";
const std::string kPart1 = "RAPORT pierwszy krok\r\n";
const std::string kPart2 = "drugi krok\x0C\r\n";
const std::string kPart3 = "trzeci krok na stronie 2\r\n";

void WriteCompanionFiles(const TempDir& dir) {
  dir.Write("COMPAN.BAT", kCompanion);
  dir.Write("RAPORT.BAT", kReport);
  dir.Write("SRC/FAKTURA.TXT",
            "FAKTURA VAT 12/2026\r\n\x1B"
            "E" +
                kPolish852 +
                "\x1B"
                "F\r\n\x0C\r\nStrona druga " +
                kCapitals852 + "\r\n");
  dir.Write("SRC/PART1.TXT", kPart1);
  dir.Write("SRC/PART2.TXT", kPart2);
  dir.Write("SRC/PART3.TXT", kPart3);
  // There before DOSBox starts: it notices files going, not files arriving.
  dir.Write("jobs/HOLD1.FLG", "");
  dir.Write("jobs/HOLD2.FLG", "");
  std::filesystem::create_directories(dir.Path("Moje Dokumenty"));
}

std::uintmax_t SizeOf(const std::string& path) {
  std::error_code error;
  const auto size = std::filesystem::file_size(path, error);
  return error ? 0 : size;
}

// Counts the times a file is opened without writing and closed again: the agent trying the
// print-out at a tick. Nothing else reads it while DOSBox writes.
class ReadAttempts {
 public:
  explicit ReadAttempts(const std::string& path) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) ::inotify_add_watch(fd_, path.c_str(), IN_CLOSE_NOWRITE);
  }
  ~ReadAttempts() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadAttempts(const ReadAttempts&) = delete;
  ReadAttempts& operator=(const ReadAttempts&) = delete;
  // Waits (bounded) until `count` attempts have been seen since the watch began.
  bool WaitFor(int count) {
    return AgentHarness::WaitUntil(
        [&] {
          alignas(inotify_event) char buffer[4096];
          for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (char* p = buffer; p < buffer + n;) {
              const auto* event = reinterpret_cast<const inotify_event*>(p);
              seen_ += (event->mask & IN_CLOSE_NOWRITE) != 0;
              p += sizeof(inotify_event) + event->len;
            }
          }
          return seen_ >= count;
        },
        60s);
  }

 private:
  int fd_;
  int seen_ = 0;
};

TEST(DosBoxEndToEnd, CompanionInDosBoxIsPrintedWithItsLettersAndPagesEachJobOnce) {
  std::string missing;
  if (!ToolsPresent(missing)) GTEST_SKIP() << missing << " is not installed";
  AgentHarness agent;
  WriteProfile(agent);
  WriteCompanionFiles(agent.Dir());
  ScopedEnv video("SDL_VIDEODRIVER", "dummy"), audio("SDL_AUDIODRIVER", "dummy");
  ScopedEnv home("HOME", agent.Path("program").c_str());
  agent.CaptureStderr();
  const pid_t pid = agent.Start(std::vector<std::string>{"C:\\JOBS\\"});
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent.FirstTickDone(); }));
  const pid_t dosbox =
      StartDosBox(agent.Dir().path().string(), "C:\\COMPAN.BAT", agent.Path("dosbox.log"));
  DosBoxGuard guard(dosbox);

  // The report's signal is there while DOSBox still writes it: the agent tries the file at its
  // ticks and leaves it, so nothing of the report is printed before DOSBox closes it.
  const std::string report = agent.Path("jobs/RAPORT.TXT");
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return SizeOf(report) >= kPart1.size(); }, 60s));
  ReadAttempts attempts(report);
  EXPECT_TRUE(attempts.WaitFor(2)) << "the agent never tried the report";
  EXPECT_EQ(Pdfs(agent.Path("out")).size(), 1u) << "a report still being written was printed";
  agent.Dir().Remove("jobs/HOLD1.FLG");
  ASSERT_TRUE(AgentHarness::WaitUntil(
      [&] { return SizeOf(report) >= kPart1.size() + kPart2.size(); }, 60s));
  EXPECT_TRUE(attempts.WaitFor(3));
  EXPECT_EQ(Pdfs(agent.Path("out")).size(), 1u) << "a report still being written was printed";
  agent.Dir().Remove("jobs/HOLD2.FLG");

  EXPECT_EQ(agent.WaitForExit(pid, 60s), 0) << "KONIEC.DRK ends the agent";
  EXPECT_EQ(guard.Wait(60s), 0) << agent.Dir().Read("dosbox.log");
  // The aliased directory DOSBox called MOJEDO~1 got the invoice.
  EXPECT_TRUE(agent.Dir().Exists("Moje Dokumenty/FAKTURA.TXT"));

  const auto pdfs = Pdfs(agent.Path("out"));
  ASSERT_EQ(pdfs.size(), 2u);
  std::string invoice, report_text;
  for (const auto& pdf : pdfs)
    (PdfText(pdf).find("FAKTURA") != std::string::npos ? invoice : report_text) = PdfText(pdf);
  EXPECT_NE(invoice.find(kPolishUtf8), std::string::npos) << invoice;
  EXPECT_NE(invoice.find("Strona druga " + kCapitalsUtf8), std::string::npos) << invoice;
  EXPECT_EQ(invoice.find('\x1B'), std::string::npos) << "ESC commands are obeyed, not printed";
  EXPECT_EQ(Count(invoice, "\f"), 2) << "two pages";
  for (const char* part : {"RAPORT pierwszy krok", "drugi krok", "trzeci krok na stronie 2"})
    EXPECT_EQ(Count(report_text, part), 1) << part << " in\n" << report_text;
  EXPECT_EQ(Count(report_text, "\f"), 2) << "the form feed of the second step ends page 1";

  // The journal: one line per job, naming the print-out, the printer, the pages, the result.
  const std::string journal = agent.Dir().Read("stderr.txt");
  EXPECT_EQ(Count(journal, "wydrukid95: job "), 2) << journal;
  EXPECT_NE(journal.find(
                "wydrukid95: job \"C:\\MOJEDO~1\\FAKTURA.TXT\" on \"pdf-file\": printed, 2 pages"),
            std::string::npos)
      << journal;
  EXPECT_NE(
      journal.find("wydrukid95: job \"C:\\JOBS\\RAPORT.TXT\" on \"pdf-file\": printed, 2 pages"),
      std::string::npos)
      << journal;
}

TEST(DosBoxEndToEnd, D95PifStartsTheCompanionInDosBoxThroughTheLauncher) {
  std::string missing;
  if (!ToolsPresent(missing)) GTEST_SKIP() << missing << " is not installed";
  AgentHarness agent;
  WriteProfile(agent, std::string("[extensions]\npif=") + DOSBOX_LAUNCHER + "\n");
  ScopedEnv video("SDL_VIDEODRIVER", "dummy"), audio("SDL_AUDIODRIVER", "dummy");
  ScopedEnv home("HOME", agent.Path("program").c_str());
  // The launcher runs the emulator named by DOSBOX: here one that tells the test its pid.
  const std::string emulator = agent.Dir().Write(
      "dosbox.sh", "#!/bin/sh\necho $$ > " + agent.Path("dosbox.pid") + "\nexec " + kDosBox +
                       " \"$@\" > " + agent.Path("dosbox.log") + " 2>&1\n");
  std::filesystem::permissions(emulator, std::filesystem::perms::owner_all);
  ScopedEnv dosbox_command("DOSBOX", emulator);
  DosBoxGuard guard(agent.Path("dosbox.pid"));
  agent.Dir().Write("program/d95.pif", "");
  // DOSBox's configuration lies outside the drive it mounts, where the DOS program cannot
  // rewrite it: in the user's configuration directory.
  TempDir config;
  ScopedEnv config_home("XDG_CONFIG_HOME", config.path().string());
  config.Write("wydrukid95/dosbox.conf", "[autoexec]\r\nMOUNT C \"" + agent.Dir().path().string() +
                                             "\"\r\nC:\r\nCALL C:\\D95.BAT\r\nEXIT\r\n");
  agent.Dir().Write("D95.BAT",
                    "@ECHO OFF\r\nCOPY C:\\SRC\\F.TXT C:\\JOBS\\WYDRUK.TXT\r\n"
                    "ECHO C:\\JOBS\\WYDRUK.TXT>C:\\JOBS\\WIN95.DRK\r\n:W\r\n"
                    "IF EXIST C:\\JOBS\\WIN95.DRK GOTO W\r\nECHO KONIEC>C:\\JOBS\\KONIEC.DRK\r\n");
  agent.Dir().Write("SRC/F.TXT", "Z programu D95 " + kPolish852 + "\r\n");
  const pid_t pid = agent.Start(std::vector<std::string>{"C:\\JOBS\\"});
  // No one but the companion started from d95.pif writes the job and the stop signal.
  EXPECT_EQ(agent.WaitForExit(pid, 60s), 0);
  const auto pdfs = Pdfs(agent.Path("out"));
  ASSERT_EQ(pdfs.size(), 1u);
  EXPECT_NE(PdfText(pdfs[0]).find("Z programu D95 " + kPolishUtf8), std::string::npos);
}

TEST(DosBoxEndToEnd, TheShortNamesDosBoxListsReachTheFilesDosBoxReadsThroughThem) {
  if (::access(kDosBox, X_OK) != 0) GTEST_SKIP() << kDosBox << " is not installed";
  TempDir dir;
  // Each file holds its own long name, so what is read through an alias tells which it was.
  for (const char* name : {"faktura lipiec.txt", "Raporty.Roczne.2024", "x.html", ".hidden",
                           "abc def.t x", "Zestawienie A.txt", "Zestawienie B.txt", "wydruk.txt"})
    dir.Write(std::string("c/") + name, name);
  std::filesystem::create_directories(dir.Path("c/SEEN"));
  ScopedEnv video("SDL_VIDEODRIVER", "dummy"), audio("SDL_AUDIODRIVER", "dummy");
  ScopedEnv home("HOME", dir.path().string());
  const std::string drive = dir.Path("c");

  // DOSBox lists the directory under the names a DOS program sees ...
  dir.Write("c/LIST.BAT", "@ECHO OFF\r\nDIR /B C:\\ > C:\\LIST.TXT\r\n");
  DosBoxGuard lister(StartDosBox(drive, "C:\\LIST.BAT", dir.Path("dosbox.log")));
  ASSERT_EQ(lister.Wait(60s), 0) << dir.Read("dosbox.log");
  std::vector<std::string> aliases;
  std::map<std::string, int> sharing_base;  // how many aliases DOSBox gave each base
  std::istringstream listing(dir.Read("c/LIST.TXT"));
  for (std::string line; std::getline(listing, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find('~') == std::string::npos) continue;
    aliases.push_back(line);
    ++sharing_base[line.substr(0, line.find('~'))];
  }
  ASSERT_EQ(aliases.size(), 7u) << dir.Read("c/LIST.TXT");

  // ... and reads each file through its alias.
  std::string reader = "@ECHO OFF\r\n";
  for (std::size_t i = 0; i < aliases.size(); ++i)
    reader += "TYPE C:\\" + aliases[i] + " > C:\\SEEN\\" + std::to_string(i) + ".TXT\r\n";
  dir.Write("c/READ.BAT", reader);
  DosBoxGuard typist(StartDosBox(drive, "C:\\READ.BAT", dir.Path("dosbox.log")));
  ASSERT_EQ(typist.Wait(60s), 0) << dir.Read("dosbox.log");

  const std::string profile = dir.Write("win.ini", "[drives]\nC=" + drive + "\n");
  ScopedEnv ini("WYDRUKI_INI", profile);
  for (std::size_t i = 0; i < aliases.size(); ++i) {
    const std::string seen_by_dosbox = dir.Read("c/SEEN/" + std::to_string(i) + ".TXT");
    const auto resolved = platform::ToNativePath("C:\\" + aliases[i], false);
    if (sharing_base[aliases[i].substr(0, aliases[i].find('~'))] > 1) {
      // Which of two names got ~1 depends on DOSBox's listing order: the agent may not guess.
      EXPECT_FALSE(resolved.has_value()) << aliases[i] << " guessed as " << resolved.value_or("");
      continue;
    }
    ASSERT_TRUE(resolved.has_value()) << aliases[i] << " (" << seen_by_dosbox << ")";
    std::ifstream in(*resolved, std::ios::binary);
    const std::string read_by_agent(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(read_by_agent, seen_by_dosbox) << aliases[i];
  }
}

}  // namespace
}  // namespace wydruki::test
