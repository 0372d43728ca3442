// SPDX-License-Identifier: MIT
// GetModuleFileNameA and the program's own location.
#include <unistd.h>

#include <cstring>
#include <string>

#include "common/ascii_case.h"
#include "kernel/dos_path.h"
#include "kernel/program_path.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {

std::string ProgramPath() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= path.size()) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

std::string ProgramDirectory() {
  const std::string path = ProgramPath();
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace wydruki::platform

namespace {
// The program is the only module; its handle is an address no other handle takes.
char program_module_marker;
HMODULE ProgramModule() { return reinterpret_cast<HMODULE>(&program_module_marker); }
}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  if (lpModuleName == nullptr) return ProgramModule();
  std::string wanted = lpModuleName;
  std::string own = wydruki::platform::ProgramPath();
  own = own.substr(own.rfind('/') + 1);
  using wydruki::platform::EqualsIgnoreCase;
  if (EqualsIgnoreCase(wanted, own) || EqualsIgnoreCase(wanted, own + ".exe"))
    return ProgramModule();
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  if (hModule != nullptr && hModule != ProgramModule()) {  // only the program is a module here
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (lpFilename == nullptr && nSize != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string native = wydruki::platform::ProgramPath();
  if (native.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
  }
  const std::string dos = wydruki::platform::ToDosPath(native);
  if (dos.size() < nSize) {
    std::memcpy(lpFilename, dos.c_str(), dos.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(dos.size());
  }
  // Too small: as much as fits, terminated, and the buffer's size as the answer.
  if (nSize > 0) {
    std::memcpy(lpFilename, dos.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}
