// SPDX-License-Identifier: MIT
#include "kernel/runtime_directory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace wydruki::platform {
namespace {

// `path`, made (mode 0700) when missing, when it is a directory of this user's alone.
std::optional<std::string> PrivateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 0077) != 0)
    return std::nullopt;
  return path;
}

// The user's cache directory: $XDG_CACHE_HOME, else ~/.cache.
std::optional<std::string> CacheDirectory() {
  if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && *cache == '/')
    return std::string(cache);
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home != '/') {
    const passwd* entry = ::getpwuid(::getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr || *home != '/') return std::nullopt;
  return std::string(home) + "/.cache";
}

}  // namespace

std::optional<std::string> RuntimeDirectory() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/')
    return PrivateDirectory(std::string(runtime) + "/wydrukid95");
  if (auto shared_tmp = PrivateDirectory("/tmp/wydrukid95-" + std::to_string(::getuid())))
    return shared_tmp;
  // Anyone may take a name in /tmp first, and another user's directory is never trusted: the
  // user's own cache directory serves instead.
  const auto cache = CacheDirectory();
  if (!cache) return std::nullopt;
  if (::mkdir(cache->c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
  return PrivateDirectory(*cache + "/wydrukid95");
}

}  // namespace wydruki::platform
