// SPDX-License-Identifier: MIT
// Mutexes. A named one exists for as long as some handle to it is open, in any process of the
// user: each handle holds a shared flock on a lock file named after the mutex in the user's
// runtime directory, and the kernel drops it when the handle is closed or the process ends,
// however it ends. Whether a name already exists is learnt by trying for an exclusive lock
// first; a second, short-held guard lock makes that test and the switch to a shared lock one
// step, so two processes starting together cannot both think they were first.
//
// Ownership (the initial owner, ReleaseMutex) is kept per handle within the process; waiting
// for a mutex is not offered.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "kernel/handle_table.h"
#include "kernel/runtime_directory.h"
#include "kernel/system_error.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

class MutexObject : public KernelObject {
 public:
  MutexObject(int fd, DWORD owner) : fd_(fd), owner_(owner), depth_(owner != 0 ? 1 : 0) {}
  ~MutexObject() override {
    if (fd_ >= 0) ::close(fd_);
  }
  MutexObject(const MutexObject&) = delete;
  MutexObject& operator=(const MutexObject&) = delete;

  bool Release(DWORD thread) {
    if (owner_.load() != thread || depth_.load() == 0) return false;
    if (--depth_ == 0) owner_.store(0);
    return true;
  }

 private:
  int fd_;
  std::atomic<DWORD> owner_;
  std::atomic<int> depth_;
};

// A file name for any mutex name: letters, digits, '-' and '_' stay, every other byte becomes
// "%xx", so no name can reach outside the directory ("..", "/") or collide with another.
// Very long names are cut and made unique by a hash of the whole name.
std::string LockFileName(std::string_view name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string escaped;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '_') {
      escaped.push_back(c);
    } else {
      escaped.push_back('%');
      escaped.push_back(kHex[byte >> 4]);
      escaped.push_back(kHex[byte & 15]);
    }
  }
  constexpr std::size_t kLongest = 160;
  if (escaped.size() > kLongest) {
    unsigned long long hash = 1469598103934665603ULL;  // FNV-1a
    for (const char c : name) {
      hash ^= static_cast<unsigned char>(c);
      hash *= 1099511628211ULL;
    }
    escaped.resize(kLongest);
    escaped += "~" + std::to_string(hash);
  }
  return "mutex-" + escaped + ".lock";
}

int OpenLockFile(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int Flock(int fd, int operation) {
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace
}  // namespace wydruki::platform

using namespace wydruki::platform;

HANDLE WINAPI CreateMutexA(LPSECURITY_ATTRIBUTES /*lpMutexAttributes*/, BOOL bInitialOwner,
                           LPCSTR lpName) {
  const DWORD thread = GetCurrentThreadId();
  if (lpName == nullptr) {  // a mutex of this process alone
    HANDLE handle = AddHandle(std::make_shared<MutexObject>(-1, bInitialOwner ? thread : 0));
    SetLastError(handle != nullptr ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY);
    return handle;
  }
  std::string_view name(lpName);
  if (name.size() > MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  // Both namespaces are the user's own here.
  for (const std::string_view prefix :
       {std::string_view("Global\\"), std::string_view("Local\\")}) {
    if (name.substr(0, prefix.size()) == prefix) {
      name.remove_prefix(prefix.size());
      break;
    }
  }
  if (name.find('\\') != std::string_view::npos) {
    SetLastError(ERROR_BAD_PATHNAME);
    return nullptr;
  }
  const auto directory = RuntimeDirectory();
  if (!directory) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }

  const int guard = OpenLockFile(*directory + "/guard.lock");
  if (guard < 0 || Flock(guard, LOCK_EX) != 0) {
    const DWORD error = WindowsErrorFromErrno(errno);
    if (guard >= 0) ::close(guard);
    SetLastError(error);
    return nullptr;
  }
  const int fd = OpenLockFile(*directory + "/" + LockFileName(name));
  if (fd < 0) {
    const DWORD error = WindowsErrorFromErrno(errno);
    ::close(guard);
    SetLastError(error);
    return nullptr;
  }
  const bool created = Flock(fd, LOCK_EX | LOCK_NB) == 0;
  const bool holding = Flock(fd, LOCK_SH | LOCK_NB) == 0;
  ::close(guard);  // also drops the guard lock
  if (!holding) {
    const DWORD error = WindowsErrorFromErrno(errno);
    ::close(fd);
    SetLastError(error == ERROR_SUCCESS ? ERROR_ACCESS_DENIED : error);
    return nullptr;
  }
  // An existing mutex is opened without ownership, whatever was asked.
  HANDLE handle =
      AddHandle(std::make_shared<MutexObject>(fd, created && bInitialOwner ? thread : 0));
  if (handle == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  SetLastError(created ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS);
  return handle;
}

BOOL WINAPI ReleaseMutex(HANDLE hMutex) {
  const auto mutex = FindHandleOf<MutexObject>(hMutex);
  if (!mutex) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!mutex->Release(GetCurrentThreadId())) {
    SetLastError(ERROR_NOT_OWNER);
    return FALSE;
  }
  return TRUE;
}
