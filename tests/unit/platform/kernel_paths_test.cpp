#include <gtest/gtest.h>

#include "kernel/dos_path.h"
#include "kernel_test_support.h"

namespace wydruki::platform {
namespace {

using test::MappedDrive;

TEST(KernelPaths, DriveLetterSeparatorsAndCaseReachTheSameFile) {
  MappedDrive drive;
  const std::string file = drive.dir().Write("d95/win95.drk", "x");
  EXPECT_EQ(ToNativePath("C:\\D95\\WIN95.DRK", false).value(), file);
  EXPECT_EQ(ToNativePath("c:/d95/win95.drk", false).value(), file);
  EXPECT_EQ(ToNativePath("c:\\\\D95//Win95.Drk", false).value(), file);
  EXPECT_EQ(ToNativePath("C:D95\\WIN95.DRK", false).value(), file);
}

TEST(KernelPaths, ExactSpellingWinsOverAnotherCase) {
  MappedDrive drive;
  drive.dir().Write("Job/a.txt", "1");
  drive.dir().Write("job/a.txt", "2");
  EXPECT_EQ(ToNativePath("C:\\job\\a.txt", false).value(), drive.Native("job/a.txt"));
  EXPECT_EQ(ToNativePath("C:\\Job\\a.txt", false).value(), drive.Native("Job/a.txt"));
  // No exact match: the smallest spelling in byte order, whatever the listing order.
  EXPECT_EQ(ToNativePath("C:\\JOB\\A.TXT", false).value(), drive.Native("Job/a.txt"));
}

TEST(KernelPaths, NewLastComponentKeepsItsCaseButMissingDirectoriesFail) {
  MappedDrive drive;
  drive.dir().Write("d95/existing", "");
  EXPECT_EQ(ToNativePath("C:\\D95\\NewFile.TXT", true).value(), drive.Native("d95/NewFile.TXT"));
  EXPECT_FALSE(ToNativePath("C:\\D95\\NewFile.TXT", false).has_value());
  EXPECT_FALSE(ToNativePath("C:\\NODIR\\file.txt", true).has_value());
  // A file is not a directory on the way.
  EXPECT_FALSE(ToNativePath("C:\\D95\\EXISTING\\x", true).has_value());
}

TEST(KernelPaths, UnmappedDrivesFailAndZIsTheRootUnlessMapped) {
  MappedDrive drive;
  EXPECT_FALSE(ToNativePath("Q:\\anything", true).has_value());
  // Not a drive letter: a relative Linux path whose first directory does not exist.
  EXPECT_FALSE(ToNativePath("1:\\x", true).has_value());
  EXPECT_EQ(ToNativePath("Z:\\", false).value(), "/");
  EXPECT_EQ(ToNativePath("z:\\TMP", false).value(), "/tmp");
  drive.RewriteProfile("[drives]\nz=" + drive.dir().path().string() + "\n");
  drive.dir().Write("inside", "");
  EXPECT_EQ(ToNativePath("Z:\\INSIDE", false).value(), drive.Native("inside"));
}

TEST(KernelPaths, DotDotStopsAtTheDriveRoot) {
  MappedDrive drive;
  drive.dir().Write("a/f", "");
  EXPECT_EQ(ToNativePath("C:\\A\\..\\..\\..\\A\\F", false).value(), drive.Native("a/f"));
  EXPECT_EQ(ToNativePath("C:\\", false).value(), drive.dir().path().string());
}

TEST(KernelPaths, PathsWithoutADriveAreLinuxPaths) {
  MappedDrive drive;
  drive.dir().Write("Sub/Data.TXT", "");
  const std::string root = drive.dir().path().string();
  EXPECT_EQ(ToNativePath(root + "\\SUB\\data.txt", false).value(), drive.Native("Sub/Data.TXT"));
  test::ScopedCurrentDirectory cwd(drive.dir().path());
  EXPECT_EQ(ToNativePath("sub\\DATA.txt", false).value(), "Sub/Data.TXT");
  EXPECT_EQ(ToNativePath(".", false).value(), ".");
}

TEST(KernelPaths, BadInputIsRefused) {
  MappedDrive drive;
  EXPECT_FALSE(ToNativePath("", true).has_value());
  EXPECT_FALSE(ToNativePath(std::string_view("C:\\a\0b", 6), true).has_value());
}

TEST(KernelPaths, LinuxPathsGetTheDeepestDriveThatHoldsThem) {
  MappedDrive drive;
  const std::string root = drive.dir().path().string();
  EXPECT_EQ(ToDosPath(root + "/d95/x.txt"), "C:\\d95\\x.txt");
  EXPECT_EQ(ToDosPath(root), "C:\\");
  // A sibling whose name merely starts with the mapped one is not under it.
  std::string sibling = "Z:" + root + "x\\y";
  for (char& c : sibling) c = c == '/' ? '\\' : c;
  EXPECT_EQ(ToDosPath(root + "x/y"), sibling);
  EXPECT_EQ(ToDosPath("/usr/local/bin/wydrukid95"), "Z:\\usr\\local\\bin\\wydrukid95");
  drive.RewriteProfile("[drives]\nC=" + root + "\nD=" + root + "/deeper/\nZ=/nowhere\n");
  EXPECT_EQ(ToDosPath(root + "/deeper/f"), "D:\\f");
  EXPECT_EQ(ToDosPath("/usr/bin/x"), "\\usr\\bin\\x");
}

}  // namespace
}  // namespace wydruki::platform
