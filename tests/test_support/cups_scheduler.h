// SPDX-License-Identifier: MIT
// A private CUPS scheduler for tests: the system's cupsd, started on its own configuration,
// spool, cache and log directories under a temporary directory, listening only on
// 127.0.0.1:<a free port>. Queues write each job's document into a file, unchanged. While the
// scheduler lives, CUPS_SERVER points the test process at it and the network's advertised
// printers are hidden from it. The machine's own scheduler and its configuration are never
// touched.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace wydruki::test {

struct CupsQueueOptions {
  std::string page_size = "A4";       // "A4" or "Letter": the queue's default media
  std::string resolution = "300dpi";  // the queue's default resolution
  std::string info;                   // printer-info (the comment)
  std::string location;               // printer-location
  std::optional<int> orientation;     // orientation-requested-default (3 portrait, 4 landscape)
};

class CupsScheduler {
 public:
  // True when the system has a scheduler to start (tests skip themselves otherwise).
  static bool Available();

  // Starts the scheduler and waits (bounded) until it answers; throws std::runtime_error,
  // with the scheduler's log, when it does not come up.
  CupsScheduler();
  // Stops the scheduler, restores CUPS_SERVER and removes every file it made.
  ~CupsScheduler();
  CupsScheduler(const CupsScheduler&) = delete;
  CupsScheduler& operator=(const CupsScheduler&) = delete;

  // "127.0.0.1:<port>", as CUPS_SERVER holds it.
  const std::string& server() const { return server_; }
  int port() const { return port_; }
  // The directory under which everything of this scheduler lives.
  const std::string& root() const { return root_; }

  // Adds an enabled queue, accepting jobs, whose documents land unchanged in OutputPath(name).
  // Throws std::runtime_error when lpadmin fails.
  void AddQueue(const std::string& name, const CupsQueueOptions& options = {});
  // Adds a queue without a driver ("lpadmin -m raw"), enabled and accepting jobs, whose jobs'
  // bytes are appended unchanged to OutputPath(name). (The scheduler writes nothing for a raw
  // queue on a file device, so its device is a backend of the test's own that writes a file.)
  void AddRawQueue(const std::string& name);
  // The file a queue's jobs are written to.
  std::string OutputPath(const std::string& name) const;
  // The queue refuses new jobs (cupsreject).
  void RejectJobs(const std::string& name);
  // The queue takes new jobs again (cupsaccept).
  void AcceptJobs(const std::string& name);
  // The queue is stopped (cupsdisable): it still accepts jobs but does not print them.
  void Stop(const std::string& name);
  // The scheduler goes away as in an update or a reboot of the print server (its queues and
  // jobs stay on disk); Resume starts it again on the same port. Resume throws as the
  // constructor does.
  void Halt();
  void Resume();
  // The number of jobs the scheduler has completed; -1 when it does not answer.
  int CompletedJobs();
  // Makes the queue the scheduler's default destination.
  void SetDefault(const std::string& name);
  // Waits (bounded) until the scheduler has no unfinished job; false on time-out.
  bool WaitUntilIdle(std::chrono::milliseconds limit = std::chrono::seconds(15));
  // The scheduler's error log, for failure messages.
  std::string Log() const;

 private:
  void Run(const std::vector<std::string>& arguments, std::string* output = nullptr);
  void StartDaemon();
  void StopDaemon();
  // The test process's environment with the machine's system bus: the scheduler's own.
  std::vector<char*> DaemonEnvironment();

  std::string root_;
  std::string server_;
  int port_ = 0;
  pid_t pid_ = -1;
  std::optional<std::string> old_cups_server_;
  std::optional<std::string> old_system_bus_;
  std::vector<std::string> daemon_environment_;
};

// A TCP port nobody listens on now.
int FreePort();

// Runs a program with arguments (no shell), returning its exit status (-1 when it could not
// run); its standard output goes to `output` when given, else is discarded.
int RunProgram(const std::vector<std::string>& arguments, std::string* output = nullptr);

}  // namespace wydruki::test
