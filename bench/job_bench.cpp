// SPDX-License-Identifier: MIT
// A 200-page job (58 lines of 80 characters a page, with escape commands) printed by the
// agent's own job driver on the "pdf-file" printer: time from the start of the job to the
// finished document, and peak resident memory. Then the CUPS text filter texttopdf turns the
// same text into a PDF, for comparison.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "Forms/Application.h"
#include "bench_job_text.h"
#include "pp1/WydrukiD95.h"
#include "platform/display.h"
#include "pp2/WyborFonty.h"

namespace {

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace wydruki;
  const int pages = argc > 1 ? std::atoi(argv[1]) : 200;
  const auto dir =
      std::filesystem::temp_directory_path() / ("wydruki-job-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "out");
  std::ofstream(dir / "win.ini") << "[windows]\ndevice=pdf-file,builtin," << (dir / "out").string()
                                 << "\n";
  setenv("WYDRUKI_INI", (dir / "win.ini").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  const auto job = dir / "job.txt";
  std::ofstream(job, std::ios::binary) << bench::MakeJobText(pages);

  forms::TApplication application;
  application.AddForm(pp1::WydrukiD95);
  application.AddForm(pp2::WyborFonty);
  const auto start = std::chrono::steady_clock::now();
  const auto outcome = pp1::WydrukiD95->WydrukPliku(job.string());
  const double agent = Seconds(std::chrono::steady_clock::now() - start);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("agent job (display %s): %d pages in %.3f s, %s, peak RSS %.1f MB\n",
              platform::DisplayDriverName(), pages, agent,
              outcome == pp1::JobOutcome::Printed ? "printed" : "NOT printed",
              usage.ru_maxrss / 1024.0);

  const char* filter = "/usr/lib/cups/filter/texttopdf";
  if (access(filter, X_OK) == 0) {
    const std::string command = std::string(filter) + " 1 user job 1 '' '" + job.string() +
                                "' > '" + (dir / "texttopdf.pdf").string() + "' 2>/dev/null";
    const auto filter_start = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    const double filter_time = Seconds(std::chrono::steady_clock::now() - filter_start);
    std::printf("texttopdf: %.3f s (exit %d); agent / texttopdf = %.2f\n", filter_time, status,
                agent / filter_time);
  }
  application.Finish();
  if (std::getenv("WYDRUKI_BENCH_KEEP") != nullptr)
    std::printf("output kept in %s\n", dir.c_str());
  else
    std::filesystem::remove_all(dir);
  return outcome == pp1::JobOutcome::Printed ? 0 : 1;
}
