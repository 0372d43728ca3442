// SPDX-License-Identifier: MIT
#include "kernel/system_error.h"

#include <cerrno>

namespace wydruki::platform {

DWORD WindowsErrorFromErrno(int error_number, bool missing_is_path) {
  switch (error_number) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return missing_is_path ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EAGAIN:
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    case EPIPE:
      return ERROR_BROKEN_PIPE;
    case EIO:
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

}  // namespace wydruki::platform
