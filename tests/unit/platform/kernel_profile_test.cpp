// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "common/printer_backend.h"
#include "platform/winapi.h"
#include "test_support/temp_dir.h"

namespace {

using wydruki::test::ScopedEnv;
using wydruki::test::TempDir;

class KernelProfile : public ::testing::Test {
 protected:
  void Use(const std::string& text) { dir_.Write("win.ini", text); }
  TempDir dir_;
  ScopedEnv env_{"WYDRUKI_INI", dir_.Path("win.ini")};
};

TEST_F(KernelProfile, ValuesDefaultsAndQuotes) {
  Use("[Windows]\ndevice=Laser,winspool,LPT1:\nquoted=\"  spaced  \"\nsingle='x'\nodd=\"x'\n");
  char buffer[64];
  EXPECT_EQ(GetProfileStringA("windows", "DEVICE", "", buffer, sizeof(buffer)), 20u);
  EXPECT_STREQ(buffer, "Laser,winspool,LPT1:");
  GetProfileStringA("windows", "quoted", "", buffer, sizeof(buffer));
  EXPECT_STREQ(buffer, "  spaced  ");
  GetProfileStringA("windows", "single", "", buffer, sizeof(buffer));
  EXPECT_STREQ(buffer, "x");
  GetProfileStringA("windows", "odd", "", buffer, sizeof(buffer));
  EXPECT_STREQ(buffer, "\"x'");
  // The default loses its trailing blanks; a NULL default is empty.
  EXPECT_EQ(GetProfileStringA("windows", "none", "fallback  ", buffer, sizeof(buffer)), 8u);
  EXPECT_STREQ(buffer, "fallback");
  EXPECT_EQ(GetProfileStringA("nosection", "none", nullptr, buffer, sizeof(buffer)), 0u);
  EXPECT_STREQ(buffer, "");
}

TEST_F(KernelProfile, TruncationKeepsTheTerminator) {
  Use("[a]\nkey=abcdefgh\n");
  char buffer[8];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  EXPECT_EQ(GetProfileStringA("a", "key", "", buffer, 5), 4u);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(buffer[5], '#');
  EXPECT_EQ(GetProfileStringA("a", "key", "", buffer, 1), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(GetProfileStringA("a", "key", "", buffer, 0), 0u);
  EXPECT_EQ(GetProfileStringA("a", "key", "", nullptr, 8), 0u);
  EXPECT_EQ(GetProfileStringA("a", "none", "defaultvalue", buffer, 4), 3u);
  EXPECT_STREQ(buffer, "def");
}

TEST_F(KernelProfile, SectionAndKeyListsEndInADoubleNul) {
  Use("[one]\na=1\nbb=2\n[Two]\n[one]\nc=3\n");
  char buffer[32];
  EXPECT_EQ(GetProfileStringA(nullptr, nullptr, "", buffer, sizeof(buffer)), 8u);
  EXPECT_EQ(std::string(buffer, 9), std::string("one\0Two\0\0", 9));
  EXPECT_EQ(GetProfileStringA("ONE", nullptr, "", buffer, sizeof(buffer)), 7u);
  EXPECT_EQ(std::string(buffer, 8), std::string("a\0bb\0c\0\0", 8));
  // Too small: cut, two NULs at the end, size - 2.
  EXPECT_EQ(GetProfileStringA("one", nullptr, "", buffer, 5), 3u);
  EXPECT_EQ(std::string(buffer, 5), std::string("a\0b\0\0", 5));
  EXPECT_EQ(GetProfileStringA("empty", nullptr, "", buffer, sizeof(buffer)), 0u);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(GetProfileStringA(nullptr, nullptr, "", buffer, 1), 0u);
  EXPECT_EQ(buffer[0], '\0');
}

TEST_F(KernelProfile, TheDefaultPrinterLineComesFromThePrintersWhenTheProfileHasNone) {
  Use("[windows]\nload=\n");
  char buffer[512];
  const std::string expected = wydruki::platform::DefaultDeviceLine();
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(GetProfileStringA("Windows", "Device", "", buffer, sizeof(buffer)), expected.size());
  EXPECT_EQ(std::string(buffer), expected);
  Use("[windows]\ndevice=mine,builtin,x\n");
  GetProfileStringA("windows", "device", "", buffer, sizeof(buffer));
  EXPECT_STREQ(buffer, "mine,builtin,x");
}

}  // namespace

namespace {

class KernelProfileWriting : public KernelProfile {
 protected:
  std::string Value(const char* section, const char* key) {
    char buffer[128];
    GetProfileStringA(section, key, "<none>", buffer, sizeof(buffer));
    return buffer;
  }
};

TEST_F(KernelProfileWriting, SetsReplacesAndRemovesKeepingOtherLines) {
  Use("; settings\n[drives]\nC=/srv\n\n[windows]\nDevice=old\nload=\n");
  EXPECT_TRUE(WriteProfileStringA("Windows", "device", "new,builtin,x"));
  EXPECT_EQ(Value("windows", "device"), "new,builtin,x");
  EXPECT_TRUE(WriteProfileStringA("drives", "D", "/data"));
  EXPECT_TRUE(WriteProfileStringA("fresh", "k", "v"));
  EXPECT_EQ(dir_.Read("win.ini"),
            "; settings\n[drives]\nC=/srv\nD=/data\n\n[windows]\ndevice=new,builtin,x\nload=\n"
            "[fresh]\nk=v\n");
  EXPECT_TRUE(WriteProfileStringA("drives", "C", nullptr));
  EXPECT_EQ(Value("drives", "C"), "<none>");
  EXPECT_EQ(Value("drives", "D"), "/data");
  EXPECT_TRUE(WriteProfileStringA("windows", nullptr, nullptr));
  EXPECT_EQ(Value("windows", "load"), "<none>");
  EXPECT_EQ(Value("fresh", "k"), "v");
  EXPECT_TRUE(WriteProfileStringA("absent", nullptr, nullptr));
  EXPECT_TRUE(WriteProfileStringA("absent", "key", nullptr));
}

TEST_F(KernelProfileWriting, CreatesTheFileAndRefusesWhatWouldBreakIt) {
  TempDir config;
  ScopedEnv env("WYDRUKI_INI", config.Path("sub/dir/win.ini"));
  EXPECT_TRUE(WriteProfileStringA("a", "b", "c"));
  EXPECT_EQ(config.Read("sub/dir/win.ini"), "[a]\nb=c\n");
  EXPECT_FALSE(WriteProfileStringA(nullptr, "b", "c"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(WriteProfileStringA("a", "b", "two\nlines"));
  EXPECT_FALSE(WriteProfileStringA("a", "x=y", "c"));
  EXPECT_FALSE(WriteProfileStringA("a]", "b", "c"));
  EXPECT_FALSE(WriteProfileStringA("a", ";b", "c"));
  EXPECT_EQ(config.Read("sub/dir/win.ini"), "[a]\nb=c\n");
}

}  // namespace
