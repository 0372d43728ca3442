// SPDX-License-Identifier: MIT
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kernel_test_support.h"
#include "platform/winapi.h"
#include "test_support/temp_dir.h"

namespace {

using wydruki::test::HoldingChild;
using wydruki::test::ScopedEnv;
using wydruki::test::TempDir;

class KernelMutex : public ::testing::Test {
 protected:
  TempDir runtime_;
  ScopedEnv env_{"XDG_RUNTIME_DIR", runtime_.path().string()};
};

TEST_F(KernelMutex, SecondCreationInTheSameProcessFindsTheFirst) {
  SetLastError(77);
  HANDLE first = CreateMutexA(nullptr, TRUE, "ZMWPDRK");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE second = CreateMutexA(nullptr, TRUE, "ZMWPDRK");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  // Names are distinct by case, as on Windows.
  HANDLE other = CreateMutexA(nullptr, FALSE, "zmwpdrk");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(other));
  EXPECT_TRUE(CloseHandle(first));
  // The mutex lives on while any handle is open.
  HANDLE third = CreateMutexA(nullptr, FALSE, "ZMWPDRK");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(CloseHandle(third));
  EXPECT_TRUE(CloseHandle(second));
  HANDLE again = CreateMutexA(nullptr, FALSE, "ZMWPDRK");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(again));
}

TEST_F(KernelMutex, ExistsWhileAnotherProcessHoldsItAndNotAfterItDies) {
  // The child ends without closing its handle.
  HoldingChild holder([] {
    HANDLE held = CreateMutexA(nullptr, TRUE, "ZMWPDRK");
    return held != nullptr && GetLastError() == ERROR_SUCCESS;
  });
  HANDLE mine = CreateMutexA(nullptr, TRUE, "ZMWPDRK");
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_TRUE(CloseHandle(mine));
  holder.End();
  mine = CreateMutexA(nullptr, TRUE, "ZMWPDRK");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(mine));
}

TEST_F(KernelMutex, NamesStayInsideTheRuntimeDirectory) {
  HANDLE tricky = CreateMutexA(nullptr, FALSE, "../../escape/..");
  ASSERT_NE(tricky, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  // Only the directory of our own runtime directory was written to.
  EXPECT_FALSE(std::filesystem::exists(runtime_.path().parent_path() / "escape"));
  int lock_files = 0;
  for (const auto& entry :
       std::filesystem::recursive_directory_iterator(runtime_.path() / "wydrukid95")) {
    EXPECT_EQ(entry.path().parent_path(), runtime_.path() / "wydrukid95");
    ++lock_files;
  }
  EXPECT_GE(lock_files, 1);
  EXPECT_TRUE(CloseHandle(tricky));

  EXPECT_EQ(CreateMutexA(nullptr, FALSE, "a\\b"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_BAD_PATHNAME);
  HANDLE global = CreateMutexA(nullptr, FALSE, "Global\\Name");
  EXPECT_NE(global, nullptr);
  HANDLE local = CreateMutexA(nullptr, FALSE, "Local\\Name");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(local);
  CloseHandle(global);
  const std::string long_name(MAX_PATH + 1, 'n');
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, long_name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
  HANDLE longest = CreateMutexA(nullptr, FALSE, std::string(MAX_PATH, '.').c_str());
  EXPECT_NE(longest, nullptr);
  CloseHandle(longest);
}

TEST_F(KernelMutex, AnUntrustworthyRuntimeDirectoryIsRefused) {
  const auto path = runtime_.path() / "wydrukid95";
  std::filesystem::create_directory(path);
  ::chmod(path.c_str(), 0777);
  EXPECT_EQ(CreateMutexA(nullptr, FALSE, "x"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(KernelMutex, OwnershipAndRelease) {
  HANDLE owned = CreateMutexA(nullptr, TRUE, nullptr);
  ASSERT_NE(owned, nullptr);
  EXPECT_TRUE(ReleaseMutex(owned));
  EXPECT_FALSE(ReleaseMutex(owned));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  EXPECT_TRUE(CloseHandle(owned));
  HANDLE named = CreateMutexA(nullptr, TRUE, "owned");
  HANDLE opened = CreateMutexA(nullptr, TRUE, "owned");  // exists: no ownership
  EXPECT_TRUE(ReleaseMutex(named));
  EXPECT_FALSE(ReleaseMutex(opened));
  EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
  CloseHandle(opened);
  CloseHandle(named);
  EXPECT_FALSE(ReleaseMutex(named));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

}  // namespace
