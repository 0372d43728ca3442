// SPDX-License-Identifier: MIT
// Why a job signal is not taken yet, told to the user once. A signal that names a file that is
// not there, or is still being written, waits: the companion may be about to finish it. A
// signal that still waits after a while is said once (by its identity, so a new signal is
// said anew), on standard error and in the record of what a user saw, in words the user can
// act on.
#pragma once

#include <string>

#include "platform/winapi.h"
#include "pp1/JobSignal.h"

namespace wydruki::pp1 {

// Says a line about the agent's waiting: "wydrukid95: waiting: <text>" on standard error and
// in the record, where the platform keeps them.
void SayWaiting(const std::string& text);

// Why the signal just read cannot be taken as a job now, in words; empty when it can.
std::string WhySignalWaits(const SignalRead& read);

class JobWait {
 public:
  // How long a signal waits before its reason is said.
  static constexpr DWORD kQuietMs = 10000;

  // At this tick (GetTickCount `now`), the signal known by `identity` waits because of `why`.
  void Waiting(const std::string& identity, const std::string& why, DWORD now);
  // No signal waits any more.
  void Over() { identity_.clear(); }

 private:
  std::string identity_;  // the signal and reason waiting; empty when none
  DWORD since_ = 0;
  bool said_ = false;
};

}  // namespace wydruki::pp1
