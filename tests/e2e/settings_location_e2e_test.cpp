// SPDX-License-Identifier: MIT
// Where an installed program keeps "font.def": the program's directory belongs to the system,
// so the user's settings go to the user's folder, and a copy an administrator placed beside
// the program is read until the user saves settings of their own. A program in a directory it
// may write (a build tree) keeps them beside itself.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support/temp_dir.h"

namespace wydruki::test {
namespace {

constexpr uid_t kNobody = 65534;

struct Run {
  int status = -1;
  std::string output;
};

// Runs the settings program as a user who may not write into `program`'s directory unless
// `writable`; root, who may write anywhere, runs it as "nobody".
Run RunSettings(const std::string& program, const std::string& config_home,
                const std::vector<std::string>& arguments) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipe_fds[1], 1);
    ::close(pipe_fds[0]);
    if (::geteuid() == 0 && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) ::_exit(125);
    ::setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
    ::unsetenv("WYDRUKI_INI");
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipe_fds[1]);
  Run run;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipe_fds[0], buffer, sizeof buffer)) > 0;)
    run.output.append(buffer, n);
  ::close(pipe_fds[0]);
  int raw = 0;
  ::waitpid(pid, &raw, 0);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
}

class SettingsLocation : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    // Everyone may pass through and, where the test wants it, write.
    fs::permissions(dir_.path(), fs::perms::all);
    config_ = dir_.Path("config");
    fs::create_directories(config_);
    fs::permissions(config_, fs::perms::all);
  }
  // A copy of the program in `name`, writable by the user who runs it or not.
  std::string Install(const std::string& name, bool writable) {
    namespace fs = std::filesystem;
    fs::create_directories(dir_.Path(name));
    const std::string program = dir_.Path(name + "/settings_location");
    fs::copy_file(SETTINGS_PROGRAM, program);
    // As root the runner is "nobody", who may not write a directory owned by root at 0755.
    fs::permissions(dir_.Path(name), writable ? fs::perms::all
                                              : fs::perms::owner_all | fs::perms::group_read |
                                                    fs::perms::group_exec | fs::perms::others_read |
                                                    fs::perms::others_exec);
    if (!writable && ::geteuid() != 0)
      fs::permissions(dir_.Path(name), fs::perms::owner_write, fs::perm_options::remove);
    return program;
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::permissions(dir_.Path("installed"), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  TempDir dir_;
  std::string config_;
};

TEST_F(SettingsLocation, ABuildTreeProgramKeepsItsSettingsBesideItself) {
  const std::string program = Install("tree", true);
  ASSERT_EQ(RunSettings(program, config_, {"save", "Beside"}).status, 0);
  EXPECT_EQ(dir_.Read("tree/font.def"), "Beside\r\n100\r\n0\r\nFALSE\r\n");
  EXPECT_FALSE(dir_.Exists("config/wydrukid95/font.def"));
  EXPECT_EQ(RunSettings(program, config_, {"load"}).output, "Beside\n");
  // The test of whether the directory takes new files leaves nothing behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path("tree")), {}), 2);
}

TEST_F(SettingsLocation, AnInstalledProgramReadsTheAdministratorsCopyUntilTheUserSavesTheirs) {
  dir_.Write("installed/font.def", "Admin\r\n100\r\n0\r\nFALSE\r\n");
  const std::string program = Install("installed", false);
  // Without settings of the user's own, the copy beside the program is read.
  EXPECT_EQ(RunSettings(program, config_, {"load"}).output, "Admin\n");
  // Saving used to fail silently: an installed program could never keep a setting.
  ASSERT_EQ(RunSettings(program, config_, {"save", "Mine"}).status, 0);
  EXPECT_EQ(dir_.Read("config/wydrukid95/font.def"), "Mine\r\n100\r\n0\r\nFALSE\r\n");
  EXPECT_EQ(dir_.Read("installed/font.def"), "Admin\r\n100\r\n0\r\nFALSE\r\n");
  EXPECT_EQ(RunSettings(program, config_, {"load"}).output, "Mine\n");
}

TEST_F(SettingsLocation, AnInstalledProgramWithoutAnySettingsGetsTheDefaults) {
  const std::string program = Install("installed", false);
  EXPECT_EQ(RunSettings(program, config_, {"load"}).output, "Courier New\n");
  EXPECT_FALSE(dir_.Exists("config/wydrukid95")) << "loading creates nothing";
}

}  // namespace
}  // namespace wydruki::test
