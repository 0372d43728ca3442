// SPDX-License-Identifier: MIT
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kernel/command_line.h"
#include "kernel_test_support.h"
#include "platform/winapi.h"

namespace {

using wydruki::platform::SplitArguments;
using wydruki::platform::SplitOnBlanks;
using wydruki::platform::SplitProgramName;
using wydruki::test::MappedDrive;
using wydruki::test::ScopedCurrentDirectory;
using wydruki::test::TempDir;

// Waits (bounded) for a file that a started program writes.
bool WaitFor(const TempDir& dir, const std::string& name) {
  for (int i = 0; i < 500; ++i) {
    if (dir.Exists(name)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// A launcher that records its arguments and show command, one per line, then renames the
// record into place so a reader never sees half of it.
std::string WriteLauncher(const TempDir& dir) {
  const std::string out = dir.Path("args.out");
  const std::string script = dir.Write(
      "bin/launcher", "#!/bin/sh\n{ for a in \"$@\"; do echo \"$a\"; done; echo \"show=$" +
                          std::string("WYDRUKI_SHOW_WINDOW") + "\"; } > '" + out + ".tmp'\nmv '" +
                          out + ".tmp' '" + out + "'\n");
  ::chmod(script.c_str(), 0755);
  return script;
}

TEST(KernelCommandLine, ProgramNameAndArgumentsSplitAsOnWindows) {
  auto split = SplitProgramName("  \"C:\\Program Files\\x.exe\" a b");
  EXPECT_EQ(split.program, "C:\\Program Files\\x.exe");
  EXPECT_EQ(split.rest, " a b");
  split = SplitProgramName("C:\\D95\\D95.PIF /x");
  EXPECT_EQ(split.program, "C:\\D95\\D95.PIF");
  split = SplitProgramName("\"unterminated");
  EXPECT_EQ(split.program, "unterminated");
  EXPECT_EQ(split.rest, "");

  EXPECT_EQ(SplitArguments(R"( a  "b c" d\e "f\"g" h\\"i j" k"" "l""m")"),
            (std::vector<std::string>{"a", "b c", "d\\e", "f\"g", "h\\i j", "k", "l\"m"}));
  EXPECT_EQ(SplitArguments(R"(\\\"x)"), (std::vector<std::string>{"\\\"x"}));
  EXPECT_TRUE(SplitArguments("   ").empty());
  EXPECT_EQ(SplitOnBlanks(R"(dosemu -E "run this" C:\x)"),
            (std::vector<std::string>{"dosemu", "-E", "run this", "C:\\x"}));
  EXPECT_EQ(SplitOnBlanks(R"("" x)"), (std::vector<std::string>{"", "x"}));
}

TEST(KernelWinExec, AFileTypeWithALauncherStartsThroughIt) {
  TempDir work;
  const std::string launcher = WriteLauncher(work);
  MappedDrive drive("[extensions]\npif=\"" + launcher + "\" -E first\n");
  const std::string pif = drive.dir().Write("d95/D95.PIF", "not a Linux program");

  EXPECT_GT(WinExec("C:\\D95\\d95.pif", 10), 31u);
  ASSERT_TRUE(WaitFor(work, "args.out"));
  EXPECT_EQ(work.Read("args.out"), "-E\nfirst\n" + pif + "\nshow=10\n");
  work.Remove("args.out");

  // A bare name is found in the current directory.
  ScopedCurrentDirectory cwd(drive.dir().path() / "d95");
  EXPECT_GT(WinExec("D95.PIF", 1), 31u);
  ASSERT_TRUE(WaitFor(work, "args.out"));
  EXPECT_EQ(work.Read("args.out"), "-E\nfirst\n" + pif + "\nshow=1\n");
}

TEST(KernelWinExec, NativeProgramsRunDirectlyAndBareNamesAreSearchedOnPath) {
  TempDir work;
  const std::string out = work.Path("ran.out");
  const std::string script =
      work.Write("bin/Recorder", "#!/bin/sh\necho \"$1|$2\" > '" + out + ".tmp'\nmv '" + out +
                                     ".tmp' '" + out + "'\n");
  ::chmod(script.c_str(), 0755);
  MappedDrive drive;
  wydruki::test::ScopedEnv path("PATH", work.Path("bin") + ":/usr/bin:/bin");
  EXPECT_GT(WinExec("recorder \"one two\" three", 1), 31u);
  ASSERT_TRUE(WaitFor(work, "ran.out"));
  EXPECT_EQ(work.Read("ran.out"), "one two|three\n");
}

TEST(KernelWinExec, FailuresAsWindowsReportsThem) {
  TempDir work;
  MappedDrive drive("[extensions]\nbat=/nonexistent/launcher\n");
  drive.dir().Write("d95/DATA.TXT", "plain text");
  drive.dir().Write("d95/RUN.BAT", "echo");
  const std::string unrunnable = drive.dir().Write("d95/noexec.sh", "#!/bin/sh\n");
  ::chmod(unrunnable.c_str(), 0644);

  EXPECT_EQ(WinExec("no-such-program-anywhere", 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(WinExec("C:\\D95\\MISSING.EXE", 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(WinExec("C:\\NODIR\\X.EXE", 1), static_cast<UINT>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(WinExec("Q:\\X.EXE", 1), static_cast<UINT>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(WinExec("C:\\D95\\DATA.TXT", 1), static_cast<UINT>(ERROR_BAD_FORMAT));
  EXPECT_EQ(WinExec("C:\\D95\\RUN.BAT", 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(WinExec("C:\\D95\\noexec.sh", 1), static_cast<UINT>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(WinExec("", 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(WinExec(nullptr, 1), static_cast<UINT>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
