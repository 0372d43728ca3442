// SPDX-License-Identifier: MIT
// Processor time while idle. A program with one 1000 ms timer and nothing else runs its message
// loop for 10 s; then, when given the agent's path, the agent itself waits 10 s for jobs in an
// empty job directory. Prints the processor time each used (user + system), and the agent's
// peak resident memory. The agent picks its display as a user's would: run under a desktop
// (DISPLAY set, a window manager running) for the gtk driver's figures.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "platform/winapi.h"

namespace {

double Milliseconds(const rusage& usage) {
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// User and system time of a running process, from /proc/<pid>/stat.
double ProcessMilliseconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return (utime + stime) * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The peak resident memory of a running process, from /proc/<pid>/status.
double PeakMegabytes(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
  }
  return 0;
}

void TimerLoop(int seconds) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.lpszClassName = "IdleBench";
  RegisterClassA(&wc);
  HWND window = CreateWindowExA(WS_EX_TOOLWINDOW, "IdleBench", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, nullptr, nullptr);
  SetTimer(window, 1, 1000, nullptr);
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  int ticks = 0;
  MSG message;
  while (std::chrono::steady_clock::now() < end && GetMessageA(&message, nullptr, 0, 0)) {
    if (message.message == WM_TIMER) ++ticks;
    DispatchMessageA(&message);
  }
  getrusage(RUSAGE_SELF, &after);
  std::printf("timer loop: %d s, %d ticks, %.1f ms of processor time\n", seconds, ticks,
              Milliseconds(after) - Milliseconds(before));
}

void AgentIdle(const char* agent, int seconds) {
  const auto dir =
      std::filesystem::temp_directory_path() / ("wydruki-idle-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir / "jobs");
  std::ofstream(dir / "win.ini") << "[windows]\ndevice=pdf-file,builtin," << dir.string() << "\n";
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("WYDRUKI_INI", (dir / "win.ini").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    const std::string jobs = (dir / "jobs").string() + "/";
    execl(agent, agent, jobs.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  // Start-up (the font list, the first tick) is over after two seconds; the idle time is what
  // the agent uses after that.
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double after_start = ProcessMilliseconds(pid);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  const double after_wait = ProcessMilliseconds(pid);
  const double peak = PeakMegabytes(pid);
  std::ofstream(dir / "jobs" / "koniec.drk");
  int status = 0;
  waitpid(pid, &status, 0);
  std::printf(
      "agent waiting for jobs: %d s, %.1f ms of processor time (start-up: %.1f ms), peak RSS "
      "%.1f MB\n",
      seconds, after_wait - after_start, after_start, peak);
  std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = 10;
  TimerLoop(seconds);
  if (argc > 1) AgentIdle(argv[1], seconds);
  return 0;
}
