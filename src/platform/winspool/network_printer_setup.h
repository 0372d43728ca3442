// SPDX-License-Identifier: MIT
// A printer that DNS-SD advertises on the network has no queue until one is made for it: the
// scheduler makes a temporary queue when asked (CUPS-Create-Local-Printer), and libcups asks
// on the first use of such a destination. Its request then waits, a second at a time and
// without end, for as long as the new queue stays stopped (a printer that is advertised but
// does not answer). So the request is made on a thread of its own, and the caller waits for it
// only so long: a printer not set up by then is unreachable, and the job that wanted it waits
// as in an outage. The request goes on by itself; once it has made a working queue, the next
// attempt finds an ordinary queue. At most one request per printer is under way.
#pragma once

#include <cups/cups.h>

#include <chrono>

namespace wydruki::platform {

// Whether the scheduler offers `dest` only as an advertised printer, without a queue yet.
bool IsAdvertisedOnly(const cups_dest_t& dest);

// Has the scheduler make a queue for the advertised printer `dest`, waiting at most `limit`
// (less when a termination signal arrives). True when the queue exists and is ready.
bool SetUpAdvertisedPrinter(const cups_dest_t& dest, std::chrono::milliseconds limit);

}  // namespace wydruki::platform
