// SPDX-License-Identifier: MIT
// Runs the built agent from outside, as an office would: a copy of the program in a directory
// of its own (where it keeps "font.def"), a job directory, a profile naming the printer, and
// the companion's signal files.
#pragma once

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "test_support/temp_dir.h"

namespace wydruki::test {

class AgentHarness {
 public:
  // `profile` is appended to the lines that name the trace printer and the screen record.
  explicit AgentHarness(const std::string& page = "HORZRES=4800\nVERTRES=6600\n",
                        const std::string& profile = "") {
    std::filesystem::create_directories(dir_.path() / "program");
    std::filesystem::create_directories(dir_.path() / "jobs");
    std::filesystem::create_directories(dir_.path() / "runtime");
    std::filesystem::permissions(dir_.path() / "runtime", std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    program_ = (dir_.path() / "program" / "wydrukid95").string();
    // WYDRUKI_E2E_AGENT runs the tests against another build of the agent (an older one, to
    // see a test fail where the fault is).
    const char* agent = std::getenv("WYDRUKI_E2E_AGENT");
    std::filesystem::copy_file(agent != nullptr && *agent != '\0' ? agent : AGENT_PROGRAM,
                               program_);
    ini_ = dir_.Write(
        "win.ini",
        "[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport=" + Path("trace.txt") +
            "\nLOGPIXELSX=600\nLOGPIXELSY=600\nPHYSICALWIDTH=5000\n"
            "PHYSICALHEIGHT=7000\nPHYSICALOFFSETX=100\n"
            "PHYSICALOFFSETY=100\n" +
            page + "[display]\ndriver=null\nrecord=" + Path("screen.txt") + "\n" + profile);
  }
  ~AgentHarness() {
    for (pid_t pid : running_) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  std::string Path(const std::string& name) const { return dir_.Path(name); }
  // Agents started from now on write their standard error into `name` of the directory.
  void CaptureStderr(const std::string& name = "stderr.txt") { stderr_file_ = Path(name); }
  std::string JobDirectory() const { return Path("jobs") + "/"; }
  const TempDir& Dir() const { return dir_; }

  // Starts the agent with these arguments (the job directory by default); returns its pid.
  pid_t Start(std::optional<std::vector<std::string>> arguments = std::nullopt) {
    std::vector<std::string> args{program_};
    if (arguments)
      args.insert(args.end(), arguments->begin(), arguments->end());
    else
      args.push_back(JobDirectory());
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("WYDRUKI_INI", ini_.c_str(), 1);
      ::setenv("XDG_RUNTIME_DIR", Path("runtime").c_str(), 1);
      // The test's own scheduler when it has one, else a port where nothing answers: the
      // machine's own printers never take part.
      const char* cups = std::getenv("CUPS_SERVER");
      ::setenv("CUPS_SERVER", cups != nullptr ? cups : "127.0.0.1:1", 1);
      ::setenv("PATH", (Path("program") + ":/usr/bin:/bin").c_str(), 1);
      if (!stderr_file_.empty()) {
        const int fd = ::open(stderr_file_.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) ::dup2(fd, 2);
      }
      for (const auto& [name, value] : environment_) ::setenv(name.c_str(), value.c_str(), 1);
      for (const auto& name : unset_) ::unsetenv(name.c_str());
      if (run_as_) {
        if (::setgid(run_as_->second) != 0 || ::setuid(run_as_->first) != 0) ::_exit(125);
      }
      if (::chdir(dir_.path().c_str()) != 0) ::_exit(126);
      if (without_file_overrides_) {
        // The superuser reads and writes past permissions; without these two capabilities a
        // file's permission bits hold for the agent as they would for any user.
        ::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
        ::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
      }
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(argv[0], argv.data());
      ::_exit(127);
    }
    running_.push_back(pid);
    return pid;
  }

  // The agent started next is bound by permission bits even when the tests run as root.
  void WithoutFileOverrides() { without_file_overrides_ = true; }
  // Later starts send the agent's standard error to ErrorOutput() instead of the test's.
  void CaptureErrors() { CaptureStderr("agent.err"); }
  std::string ErrorOutput() const { return dir_.Exists("agent.err") ? dir_.Read("agent.err") : ""; }
  // Later starts set this variable for the agent (after the harness's own).
  void SetEnvironment(const std::string& name, const std::string& value) {
    environment_.emplace_back(name, value);
  }
  // Later starts leave this variable out of the agent's environment (even the harness's own).
  void UnsetEnvironment(const std::string& name) { unset_.push_back(name); }
  // Later starts run the agent as this user and group (the test must be root).
  void RunAs(uid_t uid, gid_t gid) { run_as_ = std::make_pair(uid, gid); }

  // Waits (bounded) for the agent to end; its exit status, or nullopt when it did not end.
  std::optional<int> WaitForExit(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        std::erase(running_, pid);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
  }

  // Waits (bounded) until `condition` holds.
  static bool WaitUntil(const std::function<bool()>& condition,
                        std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
  }

  // Writes a job: the text file (bytes as given), then its signal naming it.
  void Job(const std::string& file, const std::string& bytes, const std::string& line2 = "") {
    dir_.Write("jobs/" + file, bytes);
    Signal(Path("jobs/" + file) + (line2.empty() ? "" : "\r\n" + line2) + "\r\n");
  }
  void Signal(const std::string& content) { dir_.Write("jobs/win95.drk", content); }
  void Stop() { dir_.Write("jobs/koniec.drk", ""); }
  bool SignalGone() const { return !dir_.Exists("jobs/win95.drk"); }

  std::vector<std::string> Lines(const std::string& name) const {
    std::vector<std::string> lines;
    std::istringstream in(dir_.Read(name));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  std::vector<std::string> Trace() const { return Lines("trace.txt"); }
  std::vector<std::string> Screen() const { return Lines("screen.txt"); }
  int Count(const std::vector<std::string>& lines, const std::string& prefix) const {
    int n = 0;
    for (const auto& l : lines) n += l.rfind(prefix, 0) == 0;
    return n;
  }
  bool FirstTickDone() const {
    for (const auto& l : Screen())
      if (l.rfind("HIDE Wydruki dla D95", 0) == 0) return true;
    return false;
  }

 private:
  TempDir dir_;
  std::string program_;
  std::string ini_;
  std::vector<pid_t> running_;
  std::string stderr_file_;
  bool without_file_overrides_ = false;
  std::vector<std::pair<std::string, std::string>> environment_;
  std::vector<std::string> unset_;
  std::optional<std::pair<uid_t, gid_t>> run_as_;
};

// One TEXT line of a trace: where a run of bytes was drawn, in which font.
struct Text {
  int x = 0, y = 0;
  std::string font, hex;
};

inline std::vector<Text> Texts(const std::vector<std::string>& trace) {
  std::vector<Text> texts;
  for (const auto& line : trace) {
    if (line.rfind("TEXT ", 0) != 0) continue;
    std::istringstream in(line.substr(5));
    Text t;
    in >> t.x >> t.y >> std::ws;
    std::string rest;
    std::getline(in, rest);
    t.font = rest.substr(0, rest.rfind(' '));
    t.hex = rest.substr(rest.rfind(' ') + 1);
    texts.push_back(t);
  }
  return texts;
}

// Counts the times files in a directory are opened (inotify): the agent opens the job signal at
// every tick that finds it, so a count of opens stands for ticks gone by, without a clock.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string& directory)
      : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (fd_ >= 0) ::inotify_add_watch(fd_, directory.c_str(), IN_OPEN);
  }
  ~OpenWatch() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenWatch(const OpenWatch&) = delete;
  OpenWatch& operator=(const OpenWatch&) = delete;

  // Waits (bounded) until `name` has been opened `count` times since the watch began.
  bool WaitForOpens(const std::string& name, int count,
                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    return AgentHarness::WaitUntil(
        [&] {
          Collect(name);
          return opens_ >= count;
        },
        limit);
  }

 private:
  void Collect(const std::string& name) {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) return;
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0 && name == event->name) ++opens_;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
  }

  int fd_;
  int opens_ = 0;
};

}  // namespace wydruki::test
