#include "kernel/file_info.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/api/kernel.h"

namespace wydruki::platform {

DWORD WindowsAttributes(const std::string& path, const struct stat& info) {
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  DWORD attributes = FILE_ATTRIBUTE_ARCHIVE;
  if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
    attributes |= FILE_ATTRIBUTE_READONLY;
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
