// SPDX-License-Identifier: MIT
// Shared set-up for the kernel tests: a temporary directory mapped as drive C: through a
// profile of its own, and a scoped change of the current directory.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "test_support/temp_dir.h"

namespace wydruki::test {

class MappedDrive {
 public:
  // `extra` is appended to the profile (more sections).
  explicit MappedDrive(const std::string& extra = "")
      : profile_path_(
            config_.Write("win.ini", "[drives]\nC=" + dir_.path().string() + "\n" + extra)),
        ini_("WYDRUKI_INI", profile_path_) {}

  const TempDir& dir() const { return dir_; }
  std::string Native(const std::string& name) const { return dir_.Path(name); }
  void RewriteProfile(const std::string& text) const { config_.Write("win.ini", text); }

 private:
  TempDir dir_;
  TempDir config_;
  std::string profile_path_;
  ScopedEnv ini_;
};

class ScopedCurrentDirectory {
 public:
  explicit ScopedCurrentDirectory(const std::filesystem::path& to)
      : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(to);
  }
  ~ScopedCurrentDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
  }
  ScopedCurrentDirectory(const ScopedCurrentDirectory&) = delete;
  ScopedCurrentDirectory& operator=(const ScopedCurrentDirectory&) = delete;

 private:
  std::filesystem::path old_;
};

// A child process that makes a claim (opens a file, takes a mutex) and holds it until End(),
// then ends without letting go, as a process that dies does: the cross-process cases of
// share modes and named mutexes. The claim is expected to succeed.
class HoldingChild {
 public:
  explicit HoldingChild(const std::function<bool()>& claim) {
    int ready[2];
    int finish[2];
    EXPECT_EQ(::pipe(ready), 0);
    EXPECT_EQ(::pipe(finish), 0);
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(finish[1]);  // or the child's own copy would keep its wait from ever ending
      const char state = claim() ? 'y' : 'n';
      (void)!::write(ready[1], &state, 1);
      char ignored;
      (void)!::read(finish[0], &ignored, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(finish[0]);
    finish_ = finish[1];
    char state = 0;
    EXPECT_EQ(::read(ready[0], &state, 1), 1);
    EXPECT_EQ(state, 'y') << "the child could not make its claim";
    ::close(ready[0]);
  }
  ~HoldingChild() { End(); }
  HoldingChild(const HoldingChild&) = delete;
  HoldingChild& operator=(const HoldingChild&) = delete;

  void End() {
    if (pid_ <= 0) return;
    ::close(finish_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int finish_ = -1;
};

}  // namespace wydruki::test
