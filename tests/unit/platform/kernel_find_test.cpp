// SPDX-License-Identifier: MIT
#include <sys/stat.h>
#include <utime.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "kernel/wildcard.h"
#include "kernel_test_support.h"
#include "platform/winapi.h"

namespace {

using wydruki::platform::MatchesDosPattern;
using wydruki::platform::ShortNameFor;
using wydruki::test::MappedDrive;

std::set<std::string> FindAll(const char* pattern) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA(pattern, &data);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(data.cFileName);
  } while (FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));
  return names;
}

TEST(KernelWildcards, StarQuestionMarkAndCase) {
  EXPECT_TRUE(MatchesDosPattern("*", "anything.at.all"));
  EXPECT_TRUE(MatchesDosPattern("*.*", "noextension"));
  EXPECT_TRUE(MatchesDosPattern("*.*", "a.b"));
  EXPECT_TRUE(MatchesDosPattern("WIN95.DRK", "win95.drk"));
  EXPECT_FALSE(MatchesDosPattern("WIN95.DRK", "win95.drkx"));
  EXPECT_TRUE(MatchesDosPattern("*.drk", "KONIEC.DRK"));
  EXPECT_FALSE(MatchesDosPattern("*.drk", "koniec.txt"));
  EXPECT_TRUE(MatchesDosPattern("w?n*.d?k", "win95.drk"));
  EXPECT_FALSE(MatchesDosPattern("w?n", "wn"));
  // A question mark may match nothing at the end of the name or before a dot.
  EXPECT_TRUE(MatchesDosPattern("FILE??.TXT", "file1.txt"));
  EXPECT_TRUE(MatchesDosPattern("ab??", "ab"));
  EXPECT_FALSE(MatchesDosPattern("ab?", "abcd"));
  // A pattern ending in a dot wants names without an extension.
  EXPECT_TRUE(MatchesDosPattern("*.", "readme"));
  EXPECT_FALSE(MatchesDosPattern("*.", "readme.txt"));
  EXPECT_FALSE(MatchesDosPattern("", "x"));
  // Bytes beyond ASCII are compared as they are.
  EXPECT_TRUE(MatchesDosPattern("\xa5*", "\xa5rodek"));
  EXPECT_FALSE(MatchesDosPattern("\xa5*", "\xb9rodek"));
}

TEST(KernelWildcards, ShortNamesOnlyForLongOrUnusualNames) {
  EXPECT_EQ(ShortNameFor("WIN95.DRK", 1), "");
  EXPECT_EQ(ShortNameFor("win95.drk", 1), "");
  EXPECT_EQ(ShortNameFor("longfilename.text", 1), "LONGFI~1.TEX");
  EXPECT_EQ(ShortNameFor("my file.txt", 2), "MYFILE~2.TXT");
  EXPECT_EQ(ShortNameFor("a+b.c", 1), "A_B~1.C");
  EXPECT_EQ(ShortNameFor("longfilename.text", 123456), "L~123456.TEX");
}

TEST(KernelFind, WildcardSearchesListMatchingEntries) {
  MappedDrive drive;
  drive.dir().Write("d95/win95.drk", "job");
  drive.dir().Write("d95/koniec.drk", "");
  drive.dir().Write("d95/WYDRUK.TXT", "text");
  drive.dir().Write("d95/sub/inner.drk", "");
  EXPECT_EQ(FindAll("C:\\D95\\*.DRK"), (std::set<std::string>{"koniec.drk", "win95.drk"}));
  EXPECT_EQ(FindAll("c:/d95/WIN95.DRK"), (std::set<std::string>{"win95.drk"}));
  EXPECT_EQ(FindAll("C:\\D95\\*.*"),
            (std::set<std::string>{".", "..", "WYDRUK.TXT", "koniec.drk", "sub", "win95.drk"}));
  // A drive's root lists no "." and "..".
  EXPECT_EQ(FindAll("C:\\*"), (std::set<std::string>{"d95"}));
  EXPECT_EQ(FindAll("C:*"), (std::set<std::string>{"d95"}));
}

TEST(KernelFind, ANameEndingInBlanksOrDotsFindsTheFileButAPatternKeepsItsDot) {
  MappedDrive drive;
  drive.dir().Write("d95/f.txt", "x");
  drive.dir().Write("d95/bez", "");
  // The existence test of a signal's print-out: these found nothing, so the job never printed.
  EXPECT_EQ(FindAll("C:\\D95\\F.TXT "), (std::set<std::string>{"f.txt"}));
  EXPECT_EQ(FindAll("C:\\D95\\F.TXT."), (std::set<std::string>{"f.txt"}));
  EXPECT_EQ(FindAll("C:\\D95\\F.TXT . ."), (std::set<std::string>{"f.txt"}));
  // "*." still means "names without an extension".
  const auto without_extension = FindAll("C:\\D95\\*.");
  EXPECT_EQ(without_extension.count("bez"), 1u);
  EXPECT_EQ(without_extension.count("f.txt"), 0u);
  EXPECT_TRUE(FindAll("C:\\D95\\ .").empty());
}

TEST(KernelFind, EntryDetails) {
  MappedDrive drive;
  const std::string path = drive.dir().Write("d95/a-long-name.text", "12345");
  struct utimbuf times {};
  times.actime = 1000000000;  // 2001-09-09 01:46:40 UTC
  times.modtime = 1000000000;
  ASSERT_EQ(::utime(path.c_str(), &times), 0);
  WIN32_FIND_DATAA data;
  HANDLE search = FindFirstFileA("C:\\D95\\A-LONG*", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "a-long-name.text");
  EXPECT_STREQ(data.cAlternateFileName, "A-LONG~1.TEX");
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  const ULONGLONG written = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                            data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(written, (1000000000ULL + 11644473600ULL) * 10000000ULL);
  EXPECT_FALSE(FindNextFileA(search, &data));
  EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
  EXPECT_TRUE(FindClose(search));

  search = FindFirstFileA("C:\\D95", &data);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
  // A search handle is closed by FindClose only.
  EXPECT_FALSE(CloseHandle(search));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(KernelFind, FailuresSayWhatIsMissing) {
  MappedDrive drive;
  drive.dir().Write("d95/x.txt", "");
  WIN32_FIND_DATAA data;
  EXPECT_EQ(FindFirstFileA("C:\\D95\\*.drk", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA("C:\\NODIR\\*.drk", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA("Q:\\*", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA("C:\\D95\\", &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(FindFirstFileA(nullptr, &data), INVALID_HANDLE_VALUE);
  EXPECT_EQ(FindFirstFileA("C:\\D95\\*", nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(FindNextFileA(reinterpret_cast<HANDLE>(0x1234), &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

FILETIME FromUnixSeconds(long long seconds) {
  const ULONGLONG ticks = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

TEST(KernelFileTimes, DosDateTimeFieldsAndLimits) {
  WORD date = 0;
  WORD time = 0;
  // 2001-09-09 01:46:40: odd seconds round down to the two-second unit.
  FILETIME when = FromUnixSeconds(1000000000 + 1);
  ASSERT_TRUE(FileTimeToDosDateTime(&when, &date, &time));
  EXPECT_EQ(date, static_cast<WORD>(((2001 - 1980) << 9) | (9 << 5) | 9));
  EXPECT_EQ(time, static_cast<WORD>((1 << 11) | (46 << 5) | 20));

  when = FromUnixSeconds(315532800);  // 1980-01-01 00:00:00, the first DOS time
  ASSERT_TRUE(FileTimeToDosDateTime(&when, &date, &time));
  EXPECT_EQ(date, static_cast<WORD>((1 << 5) | 1));
  EXPECT_EQ(time, 0);
  when = FromUnixSeconds(315532800 - 1);
  EXPECT_FALSE(FileTimeToDosDateTime(&when, &date, &time));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

  when = FromUnixSeconds(4354819199LL);  // 2107-12-31 23:59:59, the last
  ASSERT_TRUE(FileTimeToDosDateTime(&when, &date, &time));
  EXPECT_EQ(date, static_cast<WORD>((127 << 9) | (12 << 5) | 31));
  EXPECT_EQ(time, static_cast<WORD>((23 << 11) | (59 << 5) | 29));
  when = FromUnixSeconds(4354819200LL);
  EXPECT_FALSE(FileTimeToDosDateTime(&when, &date, &time));

  const FILETIME largest{0xffffffffu, 0xffffffffu};
  EXPECT_FALSE(FileTimeToDosDateTime(&largest, &date, &time));
  EXPECT_FALSE(FileTimeToDosDateTime(nullptr, &date, &time));
  EXPECT_FALSE(FileTimeToDosDateTime(&when, nullptr, &time));
}

TEST(KernelFileTimes, LocalTimeShiftsByTheCurrentOffset) {
  wydruki::test::ScopedEnv zone("TZ", "UTC-2");  // POSIX sign: two hours east of UTC
  ::tzset();
  const FILETIME utc = FromUnixSeconds(1000000000);
  FILETIME local{};
  ASSERT_TRUE(FileTimeToLocalFileTime(&utc, &local));
  const ULONGLONG before = (static_cast<ULONGLONG>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
  const ULONGLONG after =
      (static_cast<ULONGLONG>(local.dwHighDateTime) << 32) | local.dwLowDateTime;
  EXPECT_EQ(after - before, 2ULL * 3600 * 10000000ULL);
  const FILETIME zero{0, 0};
  EXPECT_TRUE(FileTimeToLocalFileTime(&zero, &local));
  EXPECT_FALSE(FileTimeToLocalFileTime(nullptr, &local));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
