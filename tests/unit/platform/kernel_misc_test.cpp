// SPDX-License-Identifier: MIT
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <thread>

#include "kernel_test_support.h"
#include "platform/winapi.h"

namespace {

using wydruki::test::MappedDrive;
using wydruki::test::ScopedEnv;

TEST(KernelMulDiv, RoundsHalvesAwayFromZero) {
  EXPECT_EQ(MulDiv(10, 600, 72), 83);  // 83.33
  EXPECT_EQ(MulDiv(8, 96, 72), 11);    // 10.67
  EXPECT_EQ(MulDiv(-21, 600, 72), -175);
  EXPECT_EQ(MulDiv(28, 72, 96), 21);
  EXPECT_EQ(MulDiv(1, 1, 2), 1);
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(1, -1, 2), -1);
  EXPECT_EQ(MulDiv(1, 1, -2), -1);
  EXPECT_EQ(MulDiv(-1, -1, 2), 1);
  EXPECT_EQ(MulDiv(3, 1, 4), 1);
  EXPECT_EQ(MulDiv(1, 1, 3), 0);
  EXPECT_EQ(MulDiv(-1, 1, 3), 0);
  EXPECT_EQ(MulDiv(0, 5, -7), 0);
}

TEST(KernelMulDiv, WidensTheProductAndReportsOverflowAndZeroDivisor) {
  EXPECT_EQ(MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX);
  EXPECT_EQ(MulDiv(INT_MIN, INT_MIN, INT_MIN), INT_MIN);
  EXPECT_EQ(MulDiv(INT_MIN, 1, 1), INT_MIN);
  EXPECT_EQ(MulDiv(INT_MIN, -1, 1), -1);  // 2^31 does not fit
  EXPECT_EQ(MulDiv(INT_MAX, 2, 1), -1);
  EXPECT_EQ(MulDiv(5, 7, 0), -1);
  EXPECT_EQ(MulDiv(100000, 100000, 100000), 100000);
}

TEST(KernelGlobalMemory, MoveableBlocksCountLocks) {
  HGLOBAL block = GlobalAlloc(GHND, 100);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(GlobalSize(block), 100u);
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  ASSERT_NE(bytes, nullptr);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(bytes[i], 0) << i;
  std::memset(bytes, 0xab, 100);
  EXPECT_EQ(GlobalLock(block), bytes);
  EXPECT_TRUE(GlobalUnlock(block));  // still locked once
  SetLastError(99);
  EXPECT_FALSE(GlobalUnlock(block));  // now unlocked: FALSE without an error
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
  EXPECT_EQ(static_cast<unsigned char*>(GlobalLock(block))[99], 0xab);
  EXPECT_EQ(GlobalFree(block), nullptr);  // freed though locked, as on Windows

  EXPECT_EQ(GlobalLock(block), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GlobalFree(block), block);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(GlobalUnlock(block));
  EXPECT_EQ(GlobalSize(block), 0u);
  EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(KernelGlobalMemory, FixedBlocksAndRefusedRequests) {
  HGLOBAL fixed = GlobalAlloc(GPTR, 16);
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(GlobalLock(fixed), fixed);
  EXPECT_EQ(static_cast<unsigned char*>(fixed)[15], 0);
  EXPECT_TRUE(GlobalUnlock(fixed));
  EXPECT_EQ(GlobalFree(fixed), nullptr);

  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(GlobalSize(empty), 0u);
  EXPECT_EQ(GlobalFree(empty), nullptr);

  EXPECT_EQ(GlobalAlloc(GHND, static_cast<SIZE_T>(-1)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(GlobalAlloc(0x80000000u, 4), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  int on_stack = 0;
  EXPECT_EQ(GlobalLock(&on_stack), nullptr);
  EXPECT_EQ(GlobalFree(&on_stack), &on_stack);
}

TEST(KernelCriticalSection, RecursiveAndExclusive) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_EQ(section.RecursionCount, 2);
  int counter = 0;
  std::thread other([&] {
    EnterCriticalSection(&section);  // waits until the main thread has left twice
    counter = counter * 10 + 2;
    LeaveCriticalSection(&section);
  });
  counter = 1;
  LeaveCriticalSection(&section);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(counter, 1);  // still held once
  LeaveCriticalSection(&section);
  other.join();
  EXPECT_EQ(counter, 12);
  // Leaving a section not held is ignored rather than corrupting it.
  LeaveCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_EQ(section.RecursionCount, 1);
  LeaveCriticalSection(&section);
  DeleteCriticalSection(&section);
  EXPECT_EQ(section.LockSemaphore, nullptr);
  EnterCriticalSection(nullptr);
  LeaveCriticalSection(nullptr);
}

TEST(KernelProcess, VersionStartupInfoIdsAndTicks) {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  ASSERT_TRUE(GetVersionExA(&version));
  EXPECT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_EQ(version.dwMajorVersion, 10u);
  EXPECT_EQ(version.dwMinorVersion, 0u);
  version.dwOSVersionInfoSize = sizeof(version) - 1;
  EXPECT_FALSE(GetVersionExA(&version));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(GetVersionExA(nullptr));

  STARTUPINFOA startup;
  std::memset(&startup, 0x5a, sizeof(startup));
  {
    ScopedEnv show("WYDRUKI_SHOW_WINDOW", nullptr);
    GetStartupInfoA(&startup);
    EXPECT_EQ(startup.cb, sizeof(STARTUPINFOA));
    EXPECT_EQ(startup.dwFlags & STARTF_USESHOWWINDOW, 0u);
  }
  {
    ScopedEnv show("WYDRUKI_SHOW_WINDOW", "7");
    GetStartupInfoA(&startup);
    EXPECT_EQ(startup.dwFlags & STARTF_USESHOWWINDOW, static_cast<DWORD>(STARTF_USESHOWWINDOW));
    EXPECT_EQ(startup.wShowWindow, 7);
  }
  {
    ScopedEnv show("WYDRUKI_SHOW_WINDOW", "7x");
    GetStartupInfoA(&startup);
    EXPECT_EQ(startup.dwFlags, 0u);
  }
  GetStartupInfoA(nullptr);

  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(::getpid()));
  DWORD other_thread = 0;
  std::thread([&] { other_thread = GetCurrentThreadId(); }).join();
  EXPECT_NE(other_thread, GetCurrentThreadId());
  const DWORD before = GetTickCount();
  Sleep(30);
  const DWORD elapsed = GetTickCount() - before;
  EXPECT_GE(elapsed, 29u);
}

TEST(KernelProcess, ModuleFileNameIsADosPathAndTruncatesAsWindowsDoes) {
  MappedDrive drive;
  char name[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, name, sizeof(name));
  ASSERT_GT(length, 3u);
  EXPECT_EQ(std::strlen(name), length);
  EXPECT_EQ(std::string(name, 3), "Z:\\");
  EXPECT_NE(std::string(name).find("\\platform_tests"), std::string::npos);
  EXPECT_EQ(std::string(name).find('/'), std::string::npos);

  char small[6];
  std::memset(small, '#', sizeof(small));
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, 5), 5u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::string(small), std::string(name, 4));
  EXPECT_EQ(small[5], '#');
  EXPECT_EQ(GetModuleFileNameA(nullptr, small, 0), 0u);
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1000), name, sizeof(name)), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST(KernelProcess, CurrentDirectoryAsADosPath) {
  MappedDrive drive;
  drive.dir().Write("d95/x", "");
  wydruki::test::ScopedCurrentDirectory cwd(drive.dir().path() / "d95");
  char buffer[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(sizeof(buffer), buffer), 6u);
  EXPECT_STREQ(buffer, "C:\\d95");
  EXPECT_EQ(GetCurrentDirectoryA(6, buffer), 7u);  // too small: the size needed
  EXPECT_EQ(GetCurrentDirectoryA(0, nullptr), 7u);
}

}  // namespace
