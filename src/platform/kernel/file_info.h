// SPDX-License-Identifier: MIT
// What Windows reports about a file (attributes, times) from what Linux knows of it.
#pragma once

#include <sys/stat.h>

#include <ctime>
#include <string>

#include "platform/api/types.h"

namespace wydruki::platform {

// FILE_ATTRIBUTE_DIRECTORY for directories; FILE_ATTRIBUTE_DEVICE for devices, pipes and
// sockets; FILE_ATTRIBUTE_ARCHIVE for files, as files written on Windows carry it, plus
// FILE_ATTRIBUTE_READONLY when the file has no write permission bit for anyone.
DWORD WindowsAttributes(const std::string& path, const struct stat& info);

// A Linux time as a FILETIME (100-nanosecond intervals since 1601-01-01 UTC); times before 1601
// become 0.
FILETIME ToFileTime(const timespec& time);

// The number a FILETIME holds, and back.
inline ULONGLONG FileTimeValue(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
inline FILETIME MakeFileTime(ULONGLONG value) {
  return FILETIME{static_cast<DWORD>(value & 0xffffffffu), static_cast<DWORD>(value >> 32)};
}

// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr LONGLONG kSecondsFrom1601To1970 = 11644473600LL;
inline constexpr LONGLONG kFileTimeTicksPerSecond = 10000000LL;

}  // namespace wydruki::platform
