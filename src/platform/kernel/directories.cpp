// SPDX-License-Identifier: MIT
// CreateDirectoryA.
#include <sys/stat.h>

#include <cerrno>

#include "kernel/dos_path.h"
#include "kernel/system_error.h"
#include "platform/api/kernel.h"

BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/) {
  if (lpPathName == nullptr || *lpPathName == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // Only the last component may be new; the directory above it must exist, as on Windows.
  const auto native = wydruki::platform::ToNativePath(lpPathName, true);
  if (!native) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // The user's umask decides who else may read it, as for any directory a program makes.
  if (::mkdir(native->c_str(), 0777) != 0) {
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS
                                 : wydruki::platform::WindowsErrorFromErrno(errno, true));
    return FALSE;
  }
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}
