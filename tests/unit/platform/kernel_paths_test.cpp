// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "kernel/dos_path.h"
#include "kernel/short_names.h"
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

TEST(KernelPaths, TrailingBlanksAndDotsOfTheLastComponentAreDropped) {
  MappedDrive drive;
  const std::string file = drive.dir().Write("f.txt", "x");
  // A signal written as "C:\F.TXT " was never resolved and stayed forever.
  EXPECT_EQ(ToNativePath("C:\\F.TXT ", false).value(), file);
  EXPECT_EQ(ToNativePath("C:\\F.TXT.", false).value(), file);
  EXPECT_EQ(ToNativePath("C:\\F.TXT. . ", false).value(), file);
  // A file about to be created gets the name without them, too.
  EXPECT_EQ(ToNativePath("C:\\NEW.TXT..", true).value(), drive.Native("NEW.TXT"));
  // Only blanks and dots at the end go: one inside the name stays.
  EXPECT_FALSE(ToNativePath("C:\\F .TXT", false).has_value());
  // "." and ".." keep their meaning; a final component of only blanks and dots names the
  // directory above it.
  drive.dir().Write("d95/a", "");
  EXPECT_EQ(ToNativePath("C:\\D95\\..", false).value(), drive.dir().path().string());
  EXPECT_EQ(ToNativePath("C:\\D95\\ .", false).value(), drive.Native("d95"));
}

// The aliases below are the ones DOSBox 0.74 listed with DIR for these host names.
TEST(ShortNames, AliasesAreFormedAsTheEmulatorFormsThem) {
  EXPECT_EQ(ShortAlias("Moje Dokumenty", 1), "MOJEDO~1");
  EXPECT_EQ(ShortAlias("a b", 1), "AB~1");
  EXPECT_EQ(ShortAlias("Raporty.Roczne.2024", 1), "RAPORT~1.202");
  EXPECT_EQ(ShortAlias("x.html", 1), "X~1.HTM");
  EXPECT_EQ(ShortAlias("ab.cd.ef", 1), "AB~1.EF");
  EXPECT_EQ(ShortAlias("abc def.t x", 1), "ABCDEF~1.TX");
  EXPECT_EQ(ShortAlias(".hidden", 1), "HIDDEN~1");
  EXPECT_EQ(ShortAlias("lowercase.txt", 1), "LOWERC~1.TXT");
  EXPECT_EQ(ShortAlias("MOJE DOK 1.TXT", 1), "MOJEDO~1.TXT");
  // A two-digit number leaves five characters of the base.
  EXPECT_EQ(ShortAlias("faktura lipiec.txt", 12), "FAKTU~12.TXT");
  // Names DOSBox showed as they are.
  for (const char* name : {"wydruk.txt", "Moje+Dok.txt", "X.BAT", "verylong", "A.B"})
    EXPECT_TRUE(IsShortName(name)) << name;
  for (const char* name : {"verylongname", "a b", "ab.cd.ef", ".hidden", "x.html", "a.b c"})
    EXPECT_FALSE(IsShortName(name)) << name;
}

TEST(ShortNames, OnlyAnAliasThatCanMeanOneNameIsResolved) {
  const std::vector<std::string> one{"Moje Dokumenty", "wydruk.txt", "a b", "x.html"};
  EXPECT_EQ(ResolveShortAlias("MOJEDO~1", one).value(), "Moje Dokumenty");
  EXPECT_EQ(ResolveShortAlias("mojedo~1", one).value(), "Moje Dokumenty");
  EXPECT_EQ(ResolveShortAlias("AB~1", one).value(), "a b");
  EXPECT_EQ(ResolveShortAlias("X~1.HTM", one).value(), "x.html");
  // A second number, another extension, a name that is already short: nothing.
  EXPECT_FALSE(ResolveShortAlias("MOJEDO~2", one).has_value());
  EXPECT_FALSE(ResolveShortAlias("X~1.HTL", one).has_value());
  EXPECT_FALSE(ResolveShortAlias("X~1", one).has_value());
  EXPECT_FALSE(ResolveShortAlias("WYDRUK~1.TXT", one).has_value());
  // Three names that DOSBox numbered 1 to 3 in its own listing order: none can be told apart.
  const std::vector<std::string> three{"Moje Dokumenty", "Moje Dokumenty 2", "Mojedokumentyx"};
  for (const char* alias : {"MOJEDO~1", "MOJEDO~2", "MOJEDO~3"})
    EXPECT_FALSE(ResolveShortAlias(alias, three).has_value()) << alias;
  // Not aliases at all.
  for (const char* text : {"MOJEDO~", "~1", "MOJEDO~X", "TOOLONGNA~1", "MOJEDO~0", "A~1.ABCD"})
    EXPECT_FALSE(ResolveShortAlias(text, one).has_value()) << text;
}

TEST(KernelPaths, EmulatorAliasesReachLongNamesOnTheWay) {
  MappedDrive drive;
  const std::string file = drive.dir().Write("Moje Dokumenty/faktura lipiec.txt", "x");
  EXPECT_EQ(ToNativePath("C:\\MOJEDO~1\\FAKTUR~1.TXT", false).value(), file);
  EXPECT_EQ(ToNativePath("C:\\mojedo~1\\faktur~1.txt", false).value(), file);
  // A new file in an aliased directory keeps its own name.
  EXPECT_EQ(ToNativePath("C:\\MOJEDO~1\\WIN95.DRK", true).value(),
            drive.Native("Moje Dokumenty/WIN95.DRK"));
  // Once a second name shares the base, the alias could mean either.
  drive.dir().Write("Moje Dokumenty 2/faktura lipiec.txt", "y");
  EXPECT_FALSE(ToNativePath("C:\\MOJEDO~1\\FAKTUR~1.TXT", false).has_value());
}

}  // namespace
}  // namespace wydruki::platform
