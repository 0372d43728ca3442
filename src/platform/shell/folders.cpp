// SPDX-License-Identifier: MIT
// SHGetFolderPathA: the user's application-data folder is where the XDG base directory rules
// put configuration, $XDG_CONFIG_HOME, or ~/.config when that is unset or not absolute.
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "kernel/dos_path.h"
#include "platform/api/kernel.h"
#include "platform/api/shell.h"

namespace {

std::string ConfigHome() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return xdg;
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') return {};
  std::string path = home;
  if (path.back() != '/') path += '/';
  return path + ".config";
}

// Creates `path` and the directories above it that are missing.
bool MakeDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

}  // namespace

HRESULT WINAPI SHGetFolderPathA(HWND /*hwnd*/, int csidl, HANDLE /*hToken*/, DWORD /*dwFlags*/,
                                LPSTR pszPath) {
  if (pszPath == nullptr || (csidl & ~CSIDL_FLAG_CREATE) != CSIDL_APPDATA) return E_INVALIDARG;
  pszPath[0] = '\0';
  const std::string native = ConfigHome();
  if (native.empty()) return E_FAIL;
  struct stat info {};
  const bool exists = ::stat(native.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  if (!exists && !((csidl & CSIDL_FLAG_CREATE) != 0 && MakeDirectories(native))) return E_FAIL;
  const std::string dos = wydruki::platform::ToDosPath(native);
  if (dos.size() >= MAX_PATH) return E_FAIL;
  std::memcpy(pszPath, dos.c_str(), dos.size() + 1);
  return S_OK;
}
