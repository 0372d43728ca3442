#include "kernel/runtime_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace wydruki::platform {

std::optional<std::string> RuntimeDirectory() {
  std::string path;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime != nullptr && *runtime == '/')
    path = std::string(runtime) + "/wydrukid95";
  else
    path = "/tmp/wydrukid95-" + std::to_string(::getuid());
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return std::nullopt;
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 0077) != 0)
    return std::nullopt;
  return path;
}

}  // namespace wydruki::platform
