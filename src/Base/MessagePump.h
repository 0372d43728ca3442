// SPDX-License-Identifier: MIT
// The one way for work that waits (the spooler between pages, a long job) to keep the program
// responsive: PumpMessages() hands waiting window messages to whoever runs the program's
// message loop. The application object installs its own pump for its lifetime; without one,
// waiting messages are dispatched here, and a quit message met on the way is put back for the
// main loop, which ends the program once the work is done.
#pragma once

#include <functional>

namespace wydruki::base {

// Installs `pump`; an empty one restores the plain dispatch.
void SetMessagePump(std::function<void()> pump);

void PumpMessages();

}  // namespace wydruki::base
