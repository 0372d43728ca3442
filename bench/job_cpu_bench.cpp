// SPDX-License-Identifier: MIT
// The processor time of one job: the built agent, running as a user runs it with the "pdf-file"
// printer, against CUPS's text filter texttopdf on the same bytes, taking turns.
//   build/bench/job_cpu_bench [pages=200] [runs=7] [agent program]
//
// The agent's figure is the whole process's (every thread's) processor time from the moment
// the signal is written to the moment it is gone, read from the process's CPU-time clock. The
// agent stays running between jobs, as it does for a user; its first job, which also loads the
// fonts, is shown apart and not counted. texttopdf's figure is the user and system time of its
// process (started for each job, as CUPS does). The median of the per-run ratios is printed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_job_text.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kTextToPdf = "/usr/lib/cups/filter/texttopdf";

double CpuSeconds(clockid_t clock) {
  timespec now{};
  if (::clock_gettime(clock, &now) != 0) return -1;
  return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

double Seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; }

// Waits until `file` is gone; false when the agent ended first.
bool WaitGone(const fs::path& file, pid_t agent) {
  for (;;) {
    if (!fs::exists(file)) return true;
    if (::waitpid(agent, nullptr, WNOHANG) == agent) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// One job printed by the running agent: its processor time, or a negative number when the
// job was not printed.
double AgentJob(pid_t agent, clockid_t clock, const fs::path& dir, const fs::path& job) {
  const fs::path signal = dir / "jobs" / "win95.drk";
  const double before = CpuSeconds(clock);
  std::ofstream(signal, std::ios::binary) << job.string() << "\r\n";
  if (!WaitGone(signal, agent)) return -1;
  return CpuSeconds(clock) - before;
}

// The same file through texttopdf as CUPS starts it; its processor time, negative on failure.
double FilterJob(const fs::path& dir, const fs::path& job) {
  std::fflush(stdout);
  const pid_t filter = ::fork();
  if (filter == 0) {
    const std::string out = (dir / "texttopdf.pdf").string();
    if (!std::freopen(out.c_str(), "wb", stdout) || !std::freopen("/dev/null", "w", stderr))
      ::_exit(127);
    ::execl(kTextToPdf, kTextToPdf, "1", "user", "title", "1", "", job.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  ::wait4(filter, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::uintmax_t PdfBytes(const fs::path& out) {
  std::uintmax_t bytes = 0;
  for (const auto& entry : fs::directory_iterator(out)) bytes += entry.file_size();
  return bytes;
}

void ClearDirectory(const fs::path& out) {
  for (const auto& entry : fs::directory_iterator(out)) fs::remove(entry.path());
}

}  // namespace

int main(int argc, char** argv) {
  const int pages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 7;
  const std::string program = argc > 3 ? argv[3] : AGENT_PROGRAM;
  const bool have_filter = ::access(kTextToPdf, X_OK) == 0;
  if (!have_filter) std::printf("%s not found: the agent is measured alone\n", kTextToPdf);

  const fs::path dir = fs::temp_directory_path() / ("wydruki-cpu-" + std::to_string(getpid()));
  fs::create_directories(dir / "jobs");
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "program");
  fs::copy_file(program, dir / "program" / "wydrukid95");
  std::ofstream(dir / "win.ini") << "[windows]\ndevice=pdf-file,builtin,x\n[pdf-file]\nport="
                                 << (dir / "out").string() << "\n[display]\ndriver=null\n";
  const std::string text = wydruki::bench::MakeJobText(pages);

  std::fflush(stdout);
  const pid_t agent = ::fork();
  if (agent == 0) {
    if (!std::freopen("/dev/null", "w", stderr)) ::_exit(127);
    ::setenv("WYDRUKI_INI", (dir / "win.ini").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    ::setenv("CUPS_SERVER", "127.0.0.1:1", 1);
    const std::string self = (dir / "program" / "wydrukid95").string();
    const std::string jobs = (dir / "jobs").string() + "/";
    ::execl(self.c_str(), self.c_str(), jobs.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  clockid_t clock{};
  if (::clock_getcpuclockid(agent, &clock) != 0) {
    std::printf("cannot read the agent's processor time\n");
    ::kill(agent, SIGTERM);
    return 1;
  }

  bool ok = true;
  std::vector<double> agent_times;
  std::vector<double> filter_times;
  std::vector<double> ratios;
  std::uintmax_t pdf_bytes = 0;
  for (int run = 0; run <= runs && ok; ++run) {
    // Each job has a file of its own, as the companion's successive print-outs do.
    const fs::path job = dir / "jobs" / ("JOB" + std::to_string(run) + ".TXT");
    std::ofstream(job, std::ios::binary) << text;
    const double agent_time = AgentJob(agent, clock, dir, job);
    if (agent_time < 0) {
      std::printf("the agent did not print job %d\n", run);
      ok = false;
      break;
    }
    pdf_bytes = PdfBytes(dir / "out");
    ClearDirectory(dir / "out");
    if (run == 0) {
      std::printf("first job (the agent also loads its fonts): %.3f s\n", agent_time);
      continue;
    }
    agent_times.push_back(agent_time);
    if (have_filter) {
      const double filter_time = FilterJob(dir, job);
      if (filter_time <= 0) {
        std::printf("texttopdf failed\n");
        ok = false;
        break;
      }
      filter_times.push_back(filter_time);
      ratios.push_back(agent_time / filter_time);
      std::printf("run %d: agent %.3f s, texttopdf %.3f s, ratio %.2f\n", run, agent_time,
                  filter_time, agent_time / filter_time);
    } else {
      std::printf("run %d: agent %.3f s\n", run, agent_time);
    }
    fs::remove(job);
  }
  std::ofstream(dir / "jobs" / "koniec.drk");
  int status = 0;
  rusage usage{};
  ::wait4(agent, &status, 0, &usage);
  if (ok) {
    std::printf("%d pages (%zu bytes), PDF %ju bytes, agent peak RSS %.1f MB\n", pages, text.size(),
                pdf_bytes, usage.ru_maxrss / 1024.0);
    std::printf("median processor time: agent %.3f s", Median(agent_times));
    if (!ratios.empty())
      std::printf(", texttopdf %.3f s; median ratio agent / texttopdf %.2f", Median(filter_times),
                  Median(ratios));
    std::printf("\n");
  }
  fs::remove_all(dir);
  return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
