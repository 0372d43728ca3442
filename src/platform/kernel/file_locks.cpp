// SPDX-License-Identifier: MIT
// Byte-range locks (LockFileEx, UnlockFileEx) on Linux record locks.
//
// Windows locks belong to the handle that took them: a second handle on the same file, even in
// the same process, is refused, and closing the handle drops them. Linux's open-file-description
// locks (F_OFD_SETLK) behave the same way, where classic POSIX locks would belong to the process
// and vanish when any of its descriptors of the file is closed. They are record locks like any
// other, so network file systems (NFS, and SMB mounts, whose servers map them onto their own
// byte-range locks) hold them for every client of the share.
//
// Where Linux is weaker: an exclusive lock needs a handle opened for writing and a shared one a
// handle opened for reading (ERROR_ACCESS_DENIED otherwise); a handle asking again for a region
// it holds gets it rather than ERROR_LOCK_VIOLATION; and unlocking a region that is not held
// succeeds. A file system without record locks answers ERROR_NOT_SUPPORTED.
#include <fcntl.h>

#include <cerrno>
#include <cstdint>

#include "kernel/file_handles.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

// The region an OVERLAPPED and a 64-bit length describe, as a lock request; false when it
// does not fit the file offsets Linux knows.
bool RegionOf(const OVERLAPPED& overlapped, DWORD low, DWORD high, struct flock& region) {
  const std::uint64_t start = (std::uint64_t{overlapped.OffsetHigh} << 32) | overlapped.Offset;
  const std::uint64_t length = (std::uint64_t{high} << 32) | low;
  constexpr std::uint64_t kLargest = INT64_MAX;
  if (length == 0 || start > kLargest || length > kLargest - start) return false;
  region = {};
  region.l_whence = SEEK_SET;
  region.l_start = static_cast<off_t>(start);
  region.l_len = static_cast<off_t>(length);
  region.l_pid = 0;
  return true;
}

DWORD LockError(int error_number) {
  switch (error_number) {
    case EAGAIN:
    case EACCES:
    case EDEADLK:
      return ERROR_LOCK_VIOLATION;
    case EBADF:
      return ERROR_ACCESS_DENIED;  // the handle's access does not allow this kind of lock
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    default:  // ENOLCK, EOPNOTSUPP, EINVAL: the file system keeps no record locks
      return ERROR_NOT_SUPPORTED;
  }
}

BOOL Apply(HANDLE file, DWORD reserved, DWORD low, DWORD high, LPOVERLAPPED overlapped, short type,
           bool wait) {
  const int fd = FileDescriptorOf(file);
  if (fd < 0) return FALSE;
  struct flock region {};
  if (reserved != 0 || overlapped == nullptr || !RegionOf(*overlapped, low, high, region)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  region.l_type = type;
  int result;
  do {
    result = ::fcntl(fd, wait ? F_OFD_SETLKW : F_OFD_SETLK, &region);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    SetLastError(LockError(errno));
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

}  // namespace
}  // namespace wydruki::platform

using namespace wydruki::platform;

BOOL WINAPI LockFileEx(HANDLE hFile, DWORD dwFlags, DWORD dwReserved, DWORD nNumberOfBytesToLockLow,
                       DWORD nNumberOfBytesToLockHigh, LPOVERLAPPED lpOverlapped) {
  const short type = (dwFlags & LOCKFILE_EXCLUSIVE_LOCK) != 0 ? F_WRLCK : F_RDLCK;
  const bool wait = (dwFlags & LOCKFILE_FAIL_IMMEDIATELY) == 0;
  return Apply(hFile, dwReserved, nNumberOfBytesToLockLow, nNumberOfBytesToLockHigh, lpOverlapped,
               type, wait);
}

BOOL WINAPI UnlockFileEx(HANDLE hFile, DWORD dwReserved, DWORD nNumberOfBytesToUnlockLow,
                         DWORD nNumberOfBytesToUnlockHigh, LPOVERLAPPED lpOverlapped) {
  return Apply(hFile, dwReserved, nNumberOfBytesToUnlockLow, nNumberOfBytesToUnlockHigh,
               lpOverlapped, F_UNLCK, false);
}
