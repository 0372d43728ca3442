// SPDX-License-Identifier: MIT
// A listing without form feeds (continuous paper) printed by the built agent: a page that never
// ends. Prints the agent's peak resident memory for the whole run, which must stay bounded
// whatever the file's size, on every printer.
//   build/bench/listing_memory_bench [megabytes=10] [printer=pdf-file|trace-file|raw]
//                                    [lines|one-line] [agent program]
// "raw" is a dot-matrix printer's queue without a driver on a private CUPS scheduler: the
// listing goes to it as ESC/P, streamed.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <memory>
#include <vector>

#include "test_support/cups_scheduler.h"

namespace {

namespace fs = std::filesystem;

// 80-column lines with a pitch change now and then, and no form feed anywhere; or the same bytes
// without any line end at all.
void WriteListing(const fs::path& file, long long bytes, bool one_line) {
  std::ofstream out(file, std::ios::binary);
  std::string row;
  for (long long written = 0, line = 0; written < bytes; ++line) {
    row.clear();
    if (line % 100 == 0)
      row += line % 200 == 0 ? "\x1B"
                               "C"
                             : "\x1B"
                               "c";
    for (int column = 0; column < 80; ++column)
      row += static_cast<char>('A' + (line + column) % 26);
    if (!one_line) row += "\r\n";
    out << row;
    written += static_cast<long long>(row.size());
  }
}

bool WaitGone(const fs::path& file, pid_t agent) {
  for (;;) {
    if (!fs::exists(file)) return true;
    if (::waitpid(agent, nullptr, WNOHANG) == agent) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const long long megabytes = argc > 1 ? std::atoll(argv[1]) : 10;
  const std::string printer = argc > 2 ? argv[2] : "pdf-file";
  const bool one_line = argc > 3 && std::string(argv[3]) == "one-line";
  const std::string program = argc > 4 ? argv[4] : AGENT_PROGRAM;

  const fs::path dir = fs::temp_directory_path() / ("wydruki-listing-" + std::to_string(getpid()));
  fs::create_directories(dir / "jobs");
  fs::create_directories(dir / "out");
  fs::create_directories(dir / "program");
  fs::copy_file(program, dir / "program" / "wydrukid95");
  const std::string port =
      printer == "trace-file" ? (dir / "out" / "trace.txt").string() : (dir / "out").string();
  std::unique_ptr<wydruki::test::CupsScheduler> scheduler;
  if (printer == "raw") {
    scheduler = std::make_unique<wydruki::test::CupsScheduler>();
    scheduler->AddRawQueue("LX350");
    std::ofstream(dir / "win.ini")
        << "[windows]\ndevice=LX350,cups,LX350\n[display]\ndriver=null\n";
  } else {
    std::ofstream(dir / "win.ini") << "[windows]\ndevice=" << printer << ",builtin,x\n[" << printer
                                   << "]\nport=" << port << "\n[display]\ndriver=null\n";
  }
  const fs::path listing = dir / "jobs" / "LISTING.TXT";
  WriteListing(listing, megabytes * 1024 * 1024, one_line);

  const auto start = std::chrono::steady_clock::now();
  const pid_t agent = ::fork();
  if (agent == 0) {
    ::setenv("WYDRUKI_INI", (dir / "win.ini").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    ::setenv("CUPS_SERVER", scheduler ? scheduler->server().c_str() : "127.0.0.1:1", 1);
    const std::string self = (dir / "program" / "wydrukid95").string();
    const std::string jobs = (dir / "jobs").string() + "/";
    ::execl(self.c_str(), self.c_str(), jobs.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  std::ofstream(dir / "jobs" / "win95.drk", std::ios::binary) << listing.string() << "\r\n";
  const bool printed = WaitGone(dir / "jobs" / "win95.drk", agent);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::ofstream(dir / "jobs" / "koniec.drk");
  int status = 0;
  rusage usage{};
  ::wait4(agent, &status, 0, &usage);
  std::printf("%lld MB listing without form feeds (%s) on %s: %s in %.1f s, peak RSS %.1f MB\n",
              megabytes, one_line ? "one line" : "80-column lines", printer.c_str(),
              printed ? "printed" : "NOT printed", seconds, usage.ru_maxrss / 1024.0);
  fs::remove_all(dir);
  return printed && WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 0 : 1;
}
