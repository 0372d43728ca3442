// kernel32: the subset the program calls.
#pragma once

#include "platform/api/types.h"

DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);
