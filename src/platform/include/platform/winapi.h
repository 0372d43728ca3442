// SPDX-License-Identifier: MIT
// The one header through which the program reaches the operating system.
//
// On Windows it is the system's own API. Elsewhere it declares our implementation of the
// subset the program calls (src/platform), with the same names, types, constants, records
// and documented behaviour, so the code above this layer is written once for both.
#pragma once

#ifdef _WIN32
#include <windows.h>
#include <winspool.h>
#include <shellapi.h>
#include <shlobj.h>
#else
#include "platform/api/types.h"
#include "platform/api/kernel.h"
#include "platform/api/user.h"
#include "platform/api/gdi.h"
#include "platform/api/winspool.h"
#include "platform/api/shell.h"
#endif
