// SPDX-License-Identifier: MIT
#include "platform/agent_environment.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/profile.h"
#include "kernel/dos_path.h"
#include "user/display.h"
#include "user/display_driver.h"
#include "winspool/cups_destinations.h"

namespace wydruki::platform {

std::optional<std::string> NativePathOf(const std::string& dos_path) {
  auto native = ToNativePath(dos_path, true);
  if (!native || native->front() == '/') return native;
  char here[4096];
  if (::getcwd(here, sizeof here) == nullptr) return native;
  const std::string base(here);
  if (*native == ".") return base;
  return base + (base.back() == '/' ? "" : "/") + *native;
}

DirectoryFacts InspectDirectory(const std::string& dos_path) {
  DirectoryFacts facts;
  const auto native = ToNativePath(dos_path, false);
  struct stat info {};
  if (!native || ::stat(native->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return facts;
  facts.exists = true;
  // Group members count as others: the group is rarely the user's alone on a shared machine.
  facts.open_to_others = info.st_uid != ::geteuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0;
  return facts;
}

std::optional<std::string> OtherOwnerOf(const std::string& dos_path) {
  const auto native = ToNativePath(dos_path, false);
  struct stat link {};
  if (!native || ::lstat(native->c_str(), &link) != 0) return std::nullopt;
  uid_t owner = link.st_uid;
  struct stat target {};
  if (owner == ::geteuid() && S_ISLNK(link.st_mode) && ::stat(native->c_str(), &target) == 0)
    owner = target.st_uid;
  if (owner == ::geteuid()) return std::nullopt;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (::getpwuid_r(owner, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr)
    return std::string(found->pw_name);
  return "id " + std::to_string(owner);
}

std::string DisplayDriverName() { return Display().Name(); }

std::optional<std::string> PrintSystemUnreachableReason() { return CupsUnreachableReason(); }

std::string ProfileFilePath() { return ProfilePath(); }

void RecordNotice(const std::string& text) { RecordSeen("NOTICE " + text); }

std::string WhereLookedFor(const std::string& dos_path) {
  const bool has_drive =
      dos_path.size() >= 2 && dos_path[1] == ':' &&
      ((dos_path[0] >= 'A' && dos_path[0] <= 'Z') || (dos_path[0] >= 'a' && dos_path[0] <= 'z'));
  if (has_drive && !DriveDirectory(dos_path[0]))
    return std::string("drive ") + dos_path[0] + ": is not in [drives] of " + ProfilePath();
  if (const auto native = NativePathOf(dos_path)) return "looked for " + *native;
  return "a directory on its way does not exist, or a short name in it (~1) could mean more "
         "than one";
}

}  // namespace wydruki::platform
