// SPDX-License-Identifier: MIT
// Windows share modes on Linux, which has no mandatory ones.
//
// Windows lets a file be opened only when the new handle's access is allowed by the share mode
// of every handle already open, and the new share mode allows the access of every handle
// already open. Two mechanisms stand in for that here:
//
// * Among handles of this layer (in any of our processes), each open file description holds
//   shared OFD locks (F_OFD_SETLK) on a few bytes far beyond any real data, one byte per
//   access right it has and one per right its share mode refuses. A new open probes those
//   bytes (F_OFD_GETLK) in both directions. OFD locks belong to the open file description, so
//   they separate handles within one process too, and vanish when the descriptor is closed or
//   the process dies, however it dies. Probe and claim are two steps; two opens racing in the
//   same instant may both pass, which is the price of advisory locks.
// * Programs that know nothing of these locks (a DOS emulator still writing the print-out)
//   are found through /proc: every process's descriptors (/proc/<pid>/fd) that refer to the
//   same device and inode and were opened for writing (/proc/<pid>/fdinfo flags). That scan
//   costs a walk over all processes, so it is made only when the share mode refuses writers,
//   the case where a foreign writer matters. Processes of other users cannot be inspected.
#pragma once

#include "platform/api/types.h"

namespace wydruki::platform {

struct ShareRequest {
  bool read = false;
  bool write = false;
  bool del = false;
  DWORD share_mode = 0;  // FILE_SHARE_* bits
};

// Checks the file just opened on `fd` (a new open file description) against every other handle
// of it, and on success marks `fd` with its access and share mode so later opens see them.
// ERROR_SUCCESS or ERROR_SHARING_VIOLATION.
DWORD ClaimShareAccess(int fd, const ShareRequest& request);

// Whether any descriptor other than `fd` itself, in any process we may inspect, has the file of
// `fd` open for writing.
bool AnotherWriterExists(int fd);

// Whether a handle of this layer has the file of `fd` open with a share mode that refuses
// deletion.
bool DeletionRefused(int fd);

}  // namespace wydruki::platform
