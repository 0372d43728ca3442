// SPDX-License-Identifier: MIT
// Linux errno values as the Windows error codes a caller of this layer expects.
#pragma once

#include "platform/api/types.h"

namespace wydruki::platform {

// ENOENT means the file itself is missing (ERROR_FILE_NOT_FOUND) unless `missing_is_path`
// says the missing part is a directory on the way (ERROR_PATH_NOT_FOUND).
DWORD WindowsErrorFromErrno(int error_number, bool missing_is_path = false);

}  // namespace wydruki::platform
