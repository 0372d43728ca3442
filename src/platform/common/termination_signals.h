// SPDX-License-Identifier: MIT
// The signals that ask the program to end politely (kill's default, Ctrl-C, a closed terminal
// or a logout) and the threads that may receive them.
//
// The user-interface thread turns each of them into WM_CLOSE for every top-level window, so a
// job in progress is finished before the program ends. A signal is delivered to any thread that
// does not block it; one taken by a worker thread (a document's page writer) would wake nobody
// and, for a signal without a handler yet, end the program half-way through a file. So every
// thread the platform starts blocks them from its first instruction: it inherits the mask of
// the thread that creates it, which blocks them only for the instant of the creation.
#pragma once

#include <csignal>
#include <functional>
#include <thread>

namespace wydruki::platform {

// SIGTERM, SIGINT and SIGHUP, in the order their handlers are installed.
inline constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// A thread of the platform's own, with the termination signals blocked.
std::thread StartWorkerThread(std::function<void()> work);

// A termination signal has arrived and the message queue has not taken it yet: a call that
// waits on something outside the program gives up, so the program can end.
bool TerminationPending();

}  // namespace wydruki::platform
