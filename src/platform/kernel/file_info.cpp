// SPDX-License-Identifier: MIT
#include "kernel/file_info.h"

#include "platform/api/kernel.h"

namespace wydruki::platform {

DWORD WindowsAttributes(const std::string& /*path*/, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  // Devices, pipes and sockets hold no document: an endless or blocking stream of bytes.
  if (!S_ISREG(info.st_mode)) return FILE_ATTRIBUTE_DEVICE;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  // The DOS read-only attribute is a mark on the file itself, the same for every user: here, a
  // file nobody may write (no write permission bit at all, as "chmod a-w" leaves it). A file
  // that only this user may not write (another user's, in a shared directory) is not marked;
  // whether it may be deleted is the directory's decision, as with Windows' access lists.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

FILETIME ToFileTime(const timespec& time) {
  const LONGLONG seconds = static_cast<LONGLONG>(time.tv_sec) + kSecondsFrom1601To1970;
  if (seconds < 0) return FILETIME{0, 0};
  constexpr ULONGLONG kLargest = 0x7fffffffffffffffULL;  // the largest time Windows accepts
  if (static_cast<ULONGLONG>(seconds) >= kLargest / kFileTimeTicksPerSecond)
    return MakeFileTime(kLargest);
  const ULONGLONG ticks = static_cast<ULONGLONG>(seconds) * kFileTimeTicksPerSecond +
                          static_cast<ULONGLONG>(time.tv_nsec / 100);
  return MakeFileTime(ticks);
}

}  // namespace wydruki::platform
