// SPDX-License-Identifier: MIT
// What the other kernel calls need to know of a file handle made by CreateFileA.
#pragma once

#include "platform/api/types.h"

namespace wydruki::platform {

// The descriptor behind a file handle; -1, ERROR_INVALID_HANDLE set, for anything else.
int FileDescriptorOf(HANDLE handle);

// Whether the handle was opened with write access.
bool FileHandleMayWrite(HANDLE handle);

}  // namespace wydruki::platform
