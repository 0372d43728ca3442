// SPDX-License-Identifier: MIT
#include "kernel/file_sharing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

// Lock bytes sit far beyond any offset a real file reaches (and beyond the 32-bit ranges that
// DOS emulators lock for their own share emulation).
constexpr off_t kLockBase = off_t{1} << 62;
enum LockByte : off_t {
  kHasRead = 0,
  kHasWrite = 1,
  kHasDelete = 2,
  kRefusesRead = 3,
  kRefusesWrite = 4,
  kRefusesDelete = 5,
};

bool SomeoneHolds(int fd, LockByte byte) {
  struct flock probe {};
  probe.l_type = F_WRLCK;
  probe.l_whence = SEEK_SET;
  probe.l_start = kLockBase + byte;
  probe.l_len = 1;
  probe.l_pid = 0;
  if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return false;  // no locking here: nothing to see
  return probe.l_type != F_UNLCK;
}

void Hold(int fd, LockByte byte) {
  struct flock claim {};
  claim.l_type = F_RDLCK;
  claim.l_whence = SEEK_SET;
  claim.l_start = kLockBase + byte;
  claim.l_len = 1;
  claim.l_pid = 0;
  // A descriptor opened write-only cannot hold a shared lock; such a handle is then seen by
  // the /proc scan only.
  (void)::fcntl(fd, F_OFD_SETLK, &claim);
}

bool IsNumber(const char* text) {
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (*text < '0' || *text > '9') return false;
  }
  return true;
}

// The access mode (O_RDONLY, O_WRONLY, O_RDWR) of a descriptor from its fdinfo, or -1.
int AccessModeOf(const std::string& fdinfo_path) {
  std::ifstream in(fdinfo_path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("flags:", 0) != 0) continue;
    const long flags = std::strtol(line.c_str() + 6, nullptr, 8);
    return static_cast<int>(flags & O_ACCMODE);
  }
  return -1;
}

}  // namespace

bool AnotherWriterExists(int fd) {
  struct stat target {};
  if (::fstat(fd, &target) != 0) return false;
  const pid_t self = ::getpid();
  std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), &::closedir);
  if (!proc) return false;
  while (const dirent* process = ::readdir(proc.get())) {
    if (!IsNumber(process->d_name)) continue;
    const std::string base = std::string("/proc/") + process->d_name;
    const bool is_self = std::atol(process->d_name) == self;
    std::unique_ptr<DIR, int (*)(DIR*)> fds(::opendir((base + "/fd").c_str()), &::closedir);
    if (!fds) continue;  // gone, or another user's
    while (const dirent* entry = ::readdir(fds.get())) {
      if (!IsNumber(entry->d_name)) continue;
      if (is_self && std::atoi(entry->d_name) == fd) continue;
      struct stat info {};
      if (::stat((base + "/fd/" + entry->d_name).c_str(), &info) != 0) continue;
      if (info.st_dev != target.st_dev || info.st_ino != target.st_ino) continue;
      const int mode = AccessModeOf(base + "/fdinfo/" + entry->d_name);
      if (mode == O_WRONLY || mode == O_RDWR) return true;
    }
  }
  return false;
}

bool DeletionRefused(int fd) { return SomeoneHolds(fd, kRefusesDelete); }

DWORD ClaimShareAccess(int fd, const ShareRequest& request) {
  const bool shares_read = (request.share_mode & FILE_SHARE_READ) != 0;
  const bool shares_write = (request.share_mode & FILE_SHARE_WRITE) != 0;
  const bool shares_delete = (request.share_mode & FILE_SHARE_DELETE) != 0;

  // Our access must be allowed by every handle already open...
  if ((request.read && SomeoneHolds(fd, kRefusesRead)) ||
      (request.write && SomeoneHolds(fd, kRefusesWrite)) ||
      (request.del && SomeoneHolds(fd, kRefusesDelete)))
    return ERROR_SHARING_VIOLATION;
  // ...and theirs by our share mode.
  if ((!shares_read && SomeoneHolds(fd, kHasRead)) ||
      (!shares_write && SomeoneHolds(fd, kHasWrite)) ||
      (!shares_delete && SomeoneHolds(fd, kHasDelete)))
    return ERROR_SHARING_VIOLATION;
  if (!shares_write && AnotherWriterExists(fd)) return ERROR_SHARING_VIOLATION;

  if (request.read) Hold(fd, kHasRead);
  if (request.write) Hold(fd, kHasWrite);
  if (request.del) Hold(fd, kHasDelete);
  if (!shares_read) Hold(fd, kRefusesRead);
  if (!shares_write) Hold(fd, kRefusesWrite);
  if (!shares_delete) Hold(fd, kRefusesDelete);
  return ERROR_SUCCESS;
}

}  // namespace wydruki::platform
