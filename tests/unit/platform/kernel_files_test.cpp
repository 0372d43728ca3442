// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kernel_test_support.h"
#include "platform/winapi.h"

namespace {

using wydruki::test::HoldingChild;
using wydruki::test::MappedDrive;

HANDLE Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

std::string ReadAll(HANDLE file) {
  std::string text;
  char buffer[7];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
  return text;
}

TEST(KernelFiles, CreationDispositionsAndTheirErrors) {
  MappedDrive drive;
  SetLastError(12345);
  HANDLE file = Open("C:\\New.txt", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(drive.dir().Exists("New.txt"));  // created with the case it was given
  EXPECT_TRUE(CloseHandle(file));

  EXPECT_EQ(Open("C:\\NEW.TXT", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);
  EXPECT_EQ(Open("C:\\missing.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open("C:\\nodir\\x.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open("Q:\\x.txt", GENERIC_READ, 0, OPEN_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open("C:\\new.txt", GENERIC_READ, 0, TRUNCATE_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open("C:\\new.txt", GENERIC_READ, 0, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Open(nullptr, GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(Open("C:\\", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open("C:\\*.txt", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
}

TEST(KernelFiles, AlwaysDispositionsReportAnExistingFileAndTruncateOnlyWhenAsked) {
  MappedDrive drive;
  drive.dir().Write("keep.txt", "contents");
  HANDLE file = Open("C:\\KEEP.TXT", GENERIC_READ, FILE_SHARE_READ, OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(ReadAll(file), "contents");
  CloseHandle(file);

  file = Open("C:\\other.txt", GENERIC_READ, 0, OPEN_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(file);

  file = Open("C:\\keep.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(GetFileSize(file, nullptr), 0u);
  CloseHandle(file);

  drive.dir().Write("keep.txt", "again");
  file = Open("C:\\keep.txt", GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  EXPECT_EQ(drive.dir().Read("keep.txt"), "");
}

TEST(KernelFiles, ReadWriteSeekAndSize) {
  MappedDrive drive;
  HANDLE file = Open("C:\\data.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD count = 99;
  ASSERT_TRUE(WriteFile(file, "0123456789", 10, &count, nullptr));
  EXPECT_EQ(count, 10u);
  DWORD high = 7;
  EXPECT_EQ(GetFileSize(file, &high), 10u);
  EXPECT_EQ(high, 0u);

  EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
  char buffer[16] = {};
  ASSERT_TRUE(ReadFile(file, buffer, 3, &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "456");
  EXPECT_EQ(SetFilePointer(file, -2, nullptr, FILE_CURRENT), 5u);
  EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_END), 9u);
  // A partial read at the end, then the end itself: TRUE with no bytes.
  ASSERT_TRUE(ReadFile(file, buffer, sizeof(buffer), &count, nullptr));
  EXPECT_EQ(std::string(buffer, count), "9");
  count = 5;
  ASSERT_TRUE(ReadFile(file, buffer, sizeof(buffer), &count, nullptr));
  EXPECT_EQ(count, 0u);

  // A negative position fails and leaves the pointer where it was.
  EXPECT_EQ(SetFilePointer(file, -11, nullptr, FILE_END), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_CURRENT), 10u);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  // With a high part, positions beyond 4 GiB are reachable without writing anything.
  LONG move_high = 1;
  EXPECT_EQ(SetFilePointer(file, 0, &move_high, FILE_BEGIN), 0u);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_EQ(move_high, 1);
  EXPECT_EQ(GetFileSize(file, nullptr), 10u);
  EXPECT_TRUE(CloseHandle(file));
}

TEST(KernelFiles, AccessRightsAndBadArgumentsFailCleanly) {
  MappedDrive drive;
  drive.dir().Write("r.txt", "abc");
  HANDLE reader = Open("C:\\r.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  DWORD count = 42;
  EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(ReadFile(reader, nullptr, 4, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_USER_BUFFER);
  char buffer[4];
  EXPECT_FALSE(ReadFile(reader, buffer, 4, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  CloseHandle(reader);
  EXPECT_EQ(drive.dir().Read("r.txt"), "abc");

  HANDLE writer = Open("C:\\w.txt", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(ReadFile(writer, buffer, 4, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  CloseHandle(writer);
}

TEST(KernelFiles, UnknownAndClosedHandlesAreRefused) {
  MappedDrive drive;
  char buffer[4];
  DWORD count = 0;
  for (HANDLE bogus : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE,
                       reinterpret_cast<HANDLE>(0xdeadbeef), reinterpret_cast<HANDLE>(&count)}) {
    SetLastError(0);
    EXPECT_FALSE(CloseHandle(bogus));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReadFile(bogus, buffer, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(WriteFile(bogus, buffer, 4, &count, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(SetFilePointer(bogus, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetFileSize(bogus, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  HANDLE file = Open("C:\\f", GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_TRUE(CloseHandle(file));
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(WriteFile(file, "x", 1, &count, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(KernelFiles, ShareModesBetweenOurOwnHandles) {
  MappedDrive drive;
  drive.dir().Write("s.txt", "shared");
  HANDLE exclusive = Open("C:\\s.txt", GENERIC_READ, 0, OPEN_EXISTING);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open("C:\\S.TXT", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(exclusive);

  HANDLE reader = Open("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  HANDLE second = Open("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(second, INVALID_HANDLE_VALUE);
  // A writer is refused by the readers' share mode, and truncation does not happen.
  EXPECT_EQ(Open("C:\\s.txt", GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  EXPECT_EQ(drive.dir().Read("s.txt"), "shared");
  // Deletion needs FILE_SHARE_DELETE from every open handle.
  EXPECT_FALSE(DeleteFileA("C:\\s.txt"));
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  CloseHandle(second);
  CloseHandle(reader);

  HANDLE writer =
      Open("C:\\s.txt", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  // A new reader must share writing with the writer already there.
  EXPECT_EQ(Open("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  HANDLE tolerant =
      Open("C:\\s.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
  EXPECT_NE(tolerant, INVALID_HANDLE_VALUE);
  CloseHandle(tolerant);
  CloseHandle(writer);
  EXPECT_TRUE(DeleteFileA("C:\\S.TXT"));
}

TEST(KernelFiles, AnotherProcessWritingTheFileRefusesReadersThatDoNotShareWriting) {
  MappedDrive drive;
  const std::string path = drive.dir().Write("D95/WYDRUK.TXT", "page");
  {
    // Held through a plain descriptor, as a DOS emulator that is still writing would.
    HoldingChild emulator([&] { return ::open(path.c_str(), O_WRONLY | O_APPEND) >= 0; });
    EXPECT_EQ(Open("c:\\d95\\wydruk.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
    HANDLE tolerant = Open("c:\\d95\\wydruk.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           OPEN_EXISTING);
    ASSERT_NE(tolerant, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadAll(tolerant), "page");
    CloseHandle(tolerant);
    emulator.End();
    HANDLE after = Open("c:\\d95\\wydruk.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(after, INVALID_HANDLE_VALUE);
    CloseHandle(after);
  }
  {
    // A process merely reading does not stop a reader.
    HoldingChild viewer([&] { return ::open(path.c_str(), O_RDONLY) >= 0; });
    HANDLE reader = Open("C:\\D95\\WYDRUK.TXT", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
  }
}

TEST(KernelFiles, ShareModesHoldAcrossOurProcesses) {
  MappedDrive drive;
  drive.dir().Write("x.txt", "x");
  HoldingChild holder([] {
    return CreateFileA("C:\\X.TXT", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) !=
           INVALID_HANDLE_VALUE;
  });
  EXPECT_EQ(Open("C:\\x.txt", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_SHARING_VIOLATION);
  holder.End();
  // The child is gone, and so is its claim.
  HANDLE reader = Open("C:\\x.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
}

TEST(KernelFiles, DeleteAndAttributes) {
  MappedDrive drive;
  drive.dir().Write("d95/win95.drk", "job");
  EXPECT_EQ(GetFileAttributesA("C:\\D95"), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_EQ(GetFileAttributesA("C:\\D95\\WIN95.DRK"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(GetFileAttributesA("C:\\D95\\NONE"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesA("C:\\NODIR\\NONE"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(GetFileAttributesA(nullptr), INVALID_FILE_ATTRIBUTES);

  EXPECT_FALSE(DeleteFileA("C:\\D95"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeleteFileA("C:\\D95\\NONE"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA("C:\\NODIR\\NONE"));
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_FALSE(DeleteFileA(nullptr));
  EXPECT_TRUE(DeleteFileA("C:\\D95\\WIN95.DRK"));
  EXPECT_FALSE(drive.dir().Exists("d95/win95.drk"));

  // The read-only mark is the file's own (no write bit for anyone): it keeps the file from
  // deletion even for root, as the attribute does for an administrator.
  const std::string locked = drive.dir().Write("ro.txt", "r");
  ::chmod(locked.c_str(), 0444);
  EXPECT_EQ(GetFileAttributesA("C:\\RO.TXT"),
            static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(DeleteFileA("C:\\ro.txt"));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  if (::geteuid() != 0) {  // root may open anything for writing
    EXPECT_EQ(Open("C:\\ro.txt", GENERIC_WRITE, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  }
  // A file only its owner may write is not marked read-only for anyone else.
  const std::string owners = drive.dir().Write("own.txt", "o");
  ::chmod(owners.c_str(), 0644);
  EXPECT_EQ(GetFileAttributesA("C:\\OWN.TXT"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
}

TEST(KernelFiles, DevicesAndPipesAreNoFilesToRead) {
  MappedDrive drive;
  // Z: is the root of the file system: /dev/zero would be an endless document.
  EXPECT_EQ(GetFileAttributesA("Z:\\dev\\zero"), static_cast<DWORD>(FILE_ATTRIBUTE_DEVICE));
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA("Z:\\dev\\zero", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  FindClose(search);
  EXPECT_EQ(found.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DEVICE));
  const HANDLE zero = Open("Z:\\dev\\zero", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(zero, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(zero), static_cast<DWORD>(FILE_TYPE_CHAR));
  CloseHandle(zero);

  const std::string fifo = drive.dir().Path("d95/pipe");
  std::filesystem::create_directories(drive.dir().Path("d95"));
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_EQ(GetFileAttributesA("C:\\D95\\PIPE"), static_cast<DWORD>(FILE_ATTRIBUTE_DEVICE));
  drive.dir().Write("d95/plain.txt", "x");
  const HANDLE plain = Open("C:\\D95\\PLAIN.TXT", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(plain, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetFileType(plain), static_cast<DWORD>(FILE_TYPE_DISK));
  CloseHandle(plain);
}

}  // namespace

namespace {

OVERLAPPED At(DWORD offset) {
  OVERLAPPED where{};
  where.Offset = offset;
  return where;
}

HANDLE OpenShared(const char* path) {
  return CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

constexpr DWORD kTryExclusive = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;

}  // namespace

TEST(KernelFiles, ByteRangeLocksBelongToTheHandleAcrossProcesses) {
  MappedDrive drive;
  HANDLE first = OpenShared("C:\\agent.lck");
  HANDLE second = OpenShared("C:\\AGENT.LCK");
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ASSERT_NE(second, INVALID_HANDLE_VALUE);
  OVERLAPPED region = At(0x40000000);
  ASSERT_TRUE(LockFileEx(first, kTryExclusive, 0, 1, 0, &region));
  // Another handle of the same process is refused, as on Windows, and closing a third handle
  // of the file leaves the first one's lock in place.
  EXPECT_FALSE(LockFileEx(second, kTryExclusive, 0, 1, 0, &region));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_LOCK_VIOLATION));
  CloseHandle(OpenShared("C:\\agent.lck"));
  EXPECT_FALSE(LockFileEx(second, kTryExclusive, 0, 1, 0, &region));
  // Another process is refused too, until the handle lets go.
  HoldingChild refused(
      [&] { return !LockFileEx(OpenShared("C:\\agent.lck"), kTryExclusive, 0, 1, 0, &region); });
  refused.End();
  CloseHandle(second);
  EXPECT_TRUE(UnlockFileEx(first, 0, 1, 0, &region));
  HoldingChild holder([&] {
    return LockFileEx(OpenShared("C:\\agent.lck"), kTryExclusive, 0, 1, 0, &region) != FALSE;
  });
  EXPECT_FALSE(LockFileEx(first, kTryExclusive, 0, 1, 0, &region));
  holder.End();
  EXPECT_TRUE(LockFileEx(first, kTryExclusive, 0, 1, 0, &region)) << "its lock ended with it";
  CloseHandle(first);
}
