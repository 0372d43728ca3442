// SPDX-License-Identifier: MIT
// Small process queries: start-up information, version, current directory, ids, ticks, Sleep.
#include <sched.h>
#include <sys/syscall.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "kernel/dos_path.h"
#include "kernel/system_error.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {

// The environment variable through which WinExec hands its show command to the program it
// starts (Windows passes it in the start-up information).
extern const char kShowWindowVariable[] = "WYDRUKI_SHOW_WINDOW";

}  // namespace wydruki::platform

void WINAPI GetStartupInfoA(LPSTARTUPINFOA lpStartupInfo) {
  if (lpStartupInfo == nullptr) return;
  std::memset(lpStartupInfo, 0, sizeof(*lpStartupInfo));
  lpStartupInfo->cb = sizeof(STARTUPINFOA);
  const char* show = std::getenv(wydruki::platform::kShowWindowVariable);
  if (show != nullptr && *show != '\0') {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(show, &end, 10);
    if (errno == 0 && *end == '\0' && value >= 0 && value <= 0xffff) {
      lpStartupInfo->dwFlags |= STARTF_USESHOWWINDOW;
      lpStartupInfo->wShowWindow = static_cast<WORD>(value);
    }
  }
}

BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (lpVersionInformation == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  constexpr DWORD kExtendedSize = 156;  // OSVERSIONINFOEXA
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != kExtendedSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memset(reinterpret_cast<char*>(lpVersionInformation) + sizeof(DWORD), 0,
              size - sizeof(DWORD));
  lpVersionInformation->dwMajorVersion = 10;
  lpVersionInformation->dwMinorVersion = 0;
  lpVersionInformation->dwBuildNumber = 19045;
  lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
  if (size == kExtendedSize) {
    // wProductType, after the service pack and suite words: a workstation.
    reinterpret_cast<BYTE*>(lpVersionInformation)[sizeof(OSVERSIONINFOA) + 6] = 1;
  }
  return TRUE;
}

DWORD WINAPI GetCurrentDirectoryA(DWORD nBufferLength, LPSTR lpBuffer) {
  std::string native(PATH_MAX, '\0');
  if (::getcwd(native.data(), native.size()) == nullptr) {
    SetLastError(wydruki::platform::WindowsErrorFromErrno(errno, true));
    return 0;
  }
  native.resize(std::strlen(native.c_str()));
  const std::string dos = wydruki::platform::ToDosPath(native);
  if (lpBuffer == nullptr || nBufferLength < dos.size() + 1) {
    return static_cast<DWORD>(dos.size() + 1);  // the size needed, with the terminator
  }
  std::memcpy(lpBuffer, dos.c_str(), dos.size() + 1);
  return static_cast<DWORD>(dos.size());
}

DWORD WINAPI GetCurrentProcessId() { return static_cast<DWORD>(::getpid()); }

BOOL WINAPI GetComputerNameA(LPSTR lpBuffer, LPDWORD nSize) {
  if (nSize == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) {
    SetLastError(wydruki::platform::WindowsErrorFromErrno(errno));
    return FALSE;
  }
  const DWORD length = static_cast<DWORD>(std::strlen(name));
  if (lpBuffer == nullptr || *nSize <= length) {
    *nSize = length + 1;
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return FALSE;
  }
  std::memcpy(lpBuffer, name, length + 1);
  *nSize = length;
  return TRUE;
}

namespace {
// A thread's identifier never changes, and asking the kernel costs a system call every time
// (the locks ask on every entry), so each thread keeps its own. A child made by fork asks
// afresh.
thread_local DWORD cached_thread_id = 0;
void ForgetThreadId() { cached_thread_id = 0; }
}  // namespace

DWORD WINAPI GetCurrentThreadId() {
  if (cached_thread_id == 0) {
    static const bool registered = ::pthread_atfork(nullptr, nullptr, ForgetThreadId) == 0;
    (void)registered;
    cached_thread_id = static_cast<DWORD>(::syscall(SYS_gettid));
  }
  return cached_thread_id;
}

DWORD WINAPI GetTickCount() {
  timespec now{};
  ::clock_gettime(CLOCK_BOOTTIME, &now);
  const auto milliseconds = static_cast<unsigned long long>(now.tv_sec) * 1000ULL +
                            static_cast<unsigned long long>(now.tv_nsec) / 1000000ULL;
  return static_cast<DWORD>(milliseconds);  // wraps after 49.7 days, as on Windows
}

void WINAPI Sleep(DWORD dwMilliseconds) {
  if (dwMilliseconds == 0) {
    ::sched_yield();
    return;
  }
  timespec remaining{static_cast<time_t>(dwMilliseconds / 1000),
                     static_cast<long>(dwMilliseconds % 1000) * 1000000L};
  while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
  }
}
