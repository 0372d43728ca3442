// SPDX-License-Identifier: MIT
// One agent per job directory: the agent serves a job directory only while it holds a lock in
// that directory, on a lock file of its own beside the signals ("wydrukid95.lck").
//
// The single-instance mutex keeps one agent per user session; it cannot see an agent of
// another user on the same machine, nor one on another computer that reaches the directory
// over a network share. Both would print every job. A byte-range lock on a file in the job
// directory is seen by all of them, on local disks and on network mounts alike, and the
// system drops it when its holder ends, however it ends. The holder writes its computer's name
// and its process id into the file, so that an agent that finds the lock taken can say who
// serves the directory.
//
// An agent that finds the lock taken says so once, does not look at the directory, and tries
// the lock again at each tick: it takes over when the holder ends. A file system that keeps no
// locks at all is served without one (said once), since refusing would leave no agent at all.
#pragma once

#include <functional>
#include <string>

#include "platform/winapi.h"

namespace wydruki::pp1 {

inline constexpr const char* kJobDirectoryLockFile = "wydrukid95.lck";

class JobDirectoryLock {
 public:
  enum class State {
    Waiting,  // another agent serves the directory, or the lock cannot be had yet
    Taken,    // this call took the lock: the directory is this agent's from now on
    Held,     // held since an earlier call
  };

  // `job_directory` is the directory as the signals are named from it (the lock file's name is
  // appended directly); `say` tells the user, once per situation.
  JobDirectoryLock(std::string job_directory, std::function<void(const std::string&)> say);
  ~JobDirectoryLock();
  JobDirectoryLock(const JobDirectoryLock&) = delete;
  JobDirectoryLock& operator=(const JobDirectoryLock&) = delete;

  // Takes the lock unless it is held already.
  State Serve();

 private:
  bool Open();
  void WriteHolder();
  std::string Holder();
  void SayOnce(const std::string& text);

  std::string directory_;
  std::string path_;
  std::function<void(const std::string&)> say_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool held_ = false;
  std::string said_;
};

}  // namespace wydruki::pp1
