// Shared set-up for the kernel tests: a temporary directory mapped as drive C: through a
// profile of its own, and a scoped change of the current directory.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

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

}  // namespace wydruki::test
