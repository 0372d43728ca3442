// SPDX-License-Identifier: MIT
// The calling thread's last-error code, as every failing call of this layer leaves it.
#include "platform/winapi.h"

namespace {
thread_local DWORD last_error = ERROR_SUCCESS;
}  // namespace

DWORD WINAPI GetLastError() { return last_error; }

void WINAPI SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }
