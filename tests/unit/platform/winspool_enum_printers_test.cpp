// SPDX-License-Identifier: MIT
// EnumPrintersA over a test scheduler: what each level reports, how the buffer is filled,
// which printer is the default, and what is left when CUPS cannot be reached.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/winapi.h"
#include "unit/platform/winspool_cups_fixture.h"

namespace wydruki::test {
namespace {

// The whole enumeration, the Windows way: ask for the size, then fill a buffer of that size.
std::vector<BYTE> Enumerate(DWORD flags, DWORD level, DWORD* count) {
  DWORD needed = 0;
  *count = 99;
  EXPECT_FALSE(EnumPrintersA(flags, nullptr, level, nullptr, 0, &needed, count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(*count, 0u);
  std::vector<BYTE> buffer(needed);
  EXPECT_TRUE(EnumPrintersA(flags, nullptr, level, buffer.data(), needed, &needed, count));
  return buffer;
}

bool Inside(const std::vector<BYTE>& buffer, const void* pointer) {
  const auto* p = static_cast<const BYTE*>(pointer);
  return p >= buffer.data() && p < buffer.data() + buffer.size();
}

std::vector<std::string> Names(const PRINTER_INFO_2A* info, DWORD count) {
  std::vector<std::string> names;
  for (DWORD i = 0; i < count; ++i) names.push_back(info[i].pPrinterName);
  return names;
}

using EnumPrintersTest = CupsPrintersTest;

TEST_F(EnumPrintersTest, LevelTwoDescribesQueuesThenBuiltins) {
  DWORD count = 0;
  const auto buffer = Enumerate(PRINTER_ENUM_LOCAL, 2, &count);
  ASSERT_EQ(count, 4u);
  const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  EXPECT_EQ(Names(info, count),
            (std::vector<std::string>{"alpha", "Beta", "pdf-file", "trace-file"}));

  const PRINTER_INFO_2A& alpha = info[0];
  EXPECT_EQ(std::string(alpha.pPortName), "file://" + scheduler().OutputPath("alpha"));
  EXPECT_STREQ(alpha.pDriverName, "Wydruki Test Queue");
  EXPECT_STREQ(alpha.pComment, "First queue");
  EXPECT_STREQ(alpha.pLocation, "Room 7");
  EXPECT_EQ(alpha.Status, 0u);
  EXPECT_EQ(alpha.cJobs, 0u);
  EXPECT_NE(alpha.Attributes & PRINTER_ATTRIBUTE_DEFAULT, 0u);
  // The test's scheduler is reached over the network, as an office's print server is.
  EXPECT_EQ(std::string(alpha.pServerName), "\\\\" + scheduler().server());
  EXPECT_EQ(alpha.pSecurityDescriptor, nullptr);
  ASSERT_NE(alpha.pDevMode, nullptr);
  EXPECT_TRUE(Inside(buffer, alpha.pDevMode));
  EXPECT_STREQ(reinterpret_cast<const char*>(alpha.pDevMode->dmDeviceName), "alpha");
  EXPECT_EQ(alpha.pDevMode->dmSize, sizeof(DEVMODEA));
  EXPECT_EQ(alpha.pDevMode->dmPaperSize, DMPAPER_A4);

  EXPECT_EQ(info[1].Attributes & PRINTER_ATTRIBUTE_DEFAULT, 0u);
  EXPECT_EQ(info[1].pDevMode->dmPaperSize, DMPAPER_LETTER);
  EXPECT_STREQ(info[2].pDriverName, "builtin");
  EXPECT_STREQ(info[2].pPortName, files().path().c_str());
  EXPECT_STREQ(info[3].pDriverName, "builtin");
  for (DWORD i = 0; i < count; ++i) {
    for (const char* text : {info[i].pPrinterName, info[i].pPortName, info[i].pDriverName,
                             info[i].pComment, info[i].pLocation})
      EXPECT_TRUE(Inside(buffer, text)) << info[i].pPrinterName;
    if (i < 2) {
      EXPECT_TRUE(Inside(buffer, info[i].pServerName)) << info[i].pPrinterName;
    }
    if (i >= 2) {
      EXPECT_EQ(info[i].Attributes & PRINTER_ATTRIBUTE_DEFAULT, 0u);
      EXPECT_EQ(info[i].pServerName, nullptr) << "a built-in printer is this machine's";
    }
  }
}

TEST_F(EnumPrintersTest, LevelsFourAndFiveCarryNamesPortsAndTimeOuts) {
  DWORD count = 0;
  const auto four = Enumerate(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, 4, &count);
  ASSERT_EQ(count, 4u);
  ASSERT_EQ(four.size() >= 4 * sizeof(PRINTER_INFO_4A), true);
  const auto* info4 = reinterpret_cast<const PRINTER_INFO_4A*>(four.data());
  EXPECT_STREQ(info4[0].pPrinterName, "alpha");
  EXPECT_EQ(std::string(info4[0].pServerName), "\\\\" + scheduler().server());
  EXPECT_EQ(info4[3].pServerName, nullptr);
  EXPECT_NE(info4[0].Attributes & PRINTER_ATTRIBUTE_DEFAULT, 0u);
  EXPECT_STREQ(info4[3].pPrinterName, "trace-file");

  const auto five = Enumerate(PRINTER_ENUM_LOCAL, 5, &count);
  ASSERT_EQ(count, 4u);
  const auto* info5 = reinterpret_cast<const PRINTER_INFO_5A*>(five.data());
  EXPECT_STREQ(info5[1].pPrinterName, "Beta");
  EXPECT_EQ(std::string(info5[1].pPortName), "file://" + scheduler().OutputPath("Beta"));
  for (DWORD i = 0; i < count; ++i) {
    EXPECT_EQ(info5[i].DeviceNotSelectedTimeout, 15000u);
    EXPECT_EQ(info5[i].TransmissionRetryTimeout, 45000u);
    EXPECT_GT(std::strlen(info5[i].pPortName), 0u) << "a record without a port lists nothing";
  }
}

TEST_F(EnumPrintersTest, BufferTooSmallReportsTheSizeAndWritesNothing) {
  DWORD needed = 0, count = 0;
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count));
  ASSERT_GT(needed, 4 * sizeof(PRINTER_INFO_2A));
  std::vector<BYTE> buffer(needed, 0xAB);
  DWORD again = 0;
  SetLastError(0);
  EXPECT_FALSE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed - 1, &again, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(again, needed);
  EXPECT_EQ(count, 0u);
  for (BYTE byte : buffer) ASSERT_EQ(byte, 0xAB);

  // A buffer placed at an odd address is filled all the same.
  std::vector<BYTE> larger(needed + 1);
  EXPECT_TRUE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 5, larger.data() + 1, needed, &again, &count));
  EXPECT_EQ(count, 4u);
}

TEST_F(EnumPrintersTest, BadArgumentsAreRefused) {
  DWORD needed = 0, count = 0;
  BYTE buffer[16];
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 3, nullptr, 0, &needed, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, nullptr, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 64, &needed, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // Remote printers are none of ours: an empty list, successfully.
  EXPECT_TRUE(
      EnumPrintersA(PRINTER_ENUM_REMOTE, nullptr, 2, buffer, sizeof buffer, &needed, &count));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(needed, 0u);
}

TEST_F(EnumPrintersTest, DefaultFollowsProfileThenCupsThenPdfFile) {
  DWORD count = 0;
  auto buffer = Enumerate(PRINTER_ENUM_DEFAULT, 4, &count);
  ASSERT_EQ(count, 1u);
  EXPECT_STREQ(reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data())->pPrinterName, "alpha");

  {
    // The profile's device line wins; CUPS names match without regard to case.
    ScopedEnv profile("WYDRUKI_INI",
                      files().Write("device.ini", "[windows]\ndevice=BETA,cups,x\n"));
    buffer = Enumerate(PRINTER_ENUM_LOCAL, 4, &count);
    ASSERT_EQ(count, 4u);
    const auto* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    int defaults = 0;
    for (DWORD i = 0; i < count; ++i)
      if (info[i].Attributes & PRINTER_ATTRIBUTE_DEFAULT) {
        ++defaults;
        EXPECT_STREQ(info[i].pPrinterName, "Beta");
      }  // only one may be marked
    EXPECT_EQ(defaults, 1);
  }
  {
    // A device line naming no printer leaves the choice to CUPS, which honours LPDEST.
    ScopedEnv profile("WYDRUKI_INI", files().Write("gone.ini", "[windows]\ndevice=Gone,cups,x\n"));
    ScopedEnv lpdest("LPDEST", "Beta");
    buffer = Enumerate(PRINTER_ENUM_DEFAULT, 5, &count);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(reinterpret_cast<const PRINTER_INFO_5A*>(buffer.data())->pPrinterName, "Beta");
  }
  {
    ScopedEnv profile("WYDRUKI_INI",
                      files().Write("trace.ini", "[windows]\ndevice=trace-file,builtin,t.txt\n"));
    buffer = Enumerate(PRINTER_ENUM_DEFAULT, 2, &count);
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data())->pPrinterName,
                 "trace-file");
  }
}

TEST_F(EnumPrintersTest, StoppedAndRejectingQueuesShowTheirStateAndJobs) {
  scheduler().AddQueue("held");
  scheduler().Stop("held");
  const std::string source = files().Write("held.pdf", "%PDF-1.4\n%%EOF\n");
  ASSERT_EQ(RunProgram({"/usr/bin/lp", "-h", scheduler().server(), "-d", "held", source}), 0);
  scheduler().AddQueue("closed");
  scheduler().RejectJobs("closed");

  DWORD count = 0;
  const auto buffer = Enumerate(PRINTER_ENUM_LOCAL, 2, &count);
  const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  bool saw_held = false, saw_closed = false;
  for (DWORD i = 0; i < count; ++i) {
    const std::string name = info[i].pPrinterName;
    if (name == "held") {
      saw_held = true;
      EXPECT_NE(info[i].Status & PRINTER_STATUS_PAUSED, 0u);
      EXPECT_EQ(info[i].cJobs, 1u);
    } else if (name == "closed") {
      saw_closed = true;
      EXPECT_EQ(info[i].Status & PRINTER_STATUS_PAUSED, 0u);
      EXPECT_NE(info[i].Status & PRINTER_STATUS_NOT_AVAILABLE, 0u);
    }
  }
  EXPECT_TRUE(saw_held && saw_closed);
}

TEST(EnumPrintersUnreachableTest, OnlyBuiltinsWhenCupsIsAway) {
  // A port that was free a moment ago: nothing answers there.
  TempDir files;
  ScopedEnv profile("WYDRUKI_INI", files.Write("win.ini", ""));
  ScopedEnv documents("XDG_DOCUMENTS_DIR", files.path().string());
  ScopedEnv server("CUPS_SERVER", "127.0.0.1:9");
  DWORD count = 0;
  const auto buffer = Enumerate(PRINTER_ENUM_LOCAL, 2, &count);
  ASSERT_EQ(count, 2u);
  const auto* info = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
  EXPECT_STREQ(info[0].pPrinterName, "pdf-file");
  EXPECT_STREQ(info[1].pPrinterName, "trace-file");
  // The scheduler's default is not known while it is away; no other printer stands in for it.
  EXPECT_EQ((info[0].Attributes | info[1].Attributes) & PRINTER_ATTRIBUTE_DEFAULT, 0u);
  ASSERT_NE(info[0].pDevMode, nullptr);
  EXPECT_EQ(info[0].pDevMode->dmPaperSize, DMPAPER_A4);
}

}  // namespace
}  // namespace wydruki::test
