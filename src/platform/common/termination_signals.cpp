// SPDX-License-Identifier: MIT
#include "common/termination_signals.h"

#include <pthread.h>
#include <signal.h>

namespace wydruki::platform {

std::thread StartWorkerThread(std::function<void()> work) {
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int signal : kTerminationSignals) sigaddset(&blocked, signal);
  sigset_t previous;
  pthread_sigmask(SIG_BLOCK, &blocked, &previous);
  std::thread worker;
  try {
    worker = std::thread(std::move(work));
  } catch (...) {
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    throw;
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return worker;
}

}  // namespace wydruki::platform
