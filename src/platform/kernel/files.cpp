// SPDX-License-Identifier: MIT
// Files with Windows semantics: CreateFileA and the calls on its handles, DeleteFileA,
// GetFileAttributesA.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <string>
#include <string_view>

#include "common/debug_channel.h"
#include "kernel/dos_path.h"
#include "kernel/file_handles.h"
#include "kernel/file_info.h"
#include "kernel/file_sharing.h"
#include "kernel/handle_table.h"
#include "kernel/system_error.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

constexpr DWORD kDeleteAccess = 0x00010000;  // DELETE

class FileObject : public KernelObject {
 public:
  FileObject(int fd, bool can_read, bool can_write)
      : fd_(fd), can_read_(can_read), can_write_(can_write) {}
  ~FileObject() override { ::close(fd_); }
  FileObject(const FileObject&) = delete;
  FileObject& operator=(const FileObject&) = delete;

  int fd() const { return fd_; }
  bool can_read() const { return can_read_; }
  bool can_write() const { return can_write_; }

 private:
  int fd_;
  bool can_read_;
  bool can_write_;
};

std::shared_ptr<FileObject> FileFromHandle(HANDLE handle) {
  auto file = FindHandleOf<FileObject>(handle);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

bool HasWildcard(std::string_view path) {
  std::size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
  return path.substr(start).find_first_of("*?") != std::string_view::npos;
}

// The native path of a file name a call was given; nullopt, last error set, for no name at
// all, for wildcards (only searches take them) and for a path that leads nowhere.
std::optional<std::string> NativeFileName(LPCSTR name) {
  if (name == nullptr || *name == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
  }
  if (HasWildcard(name)) {
    SetLastError(ERROR_INVALID_NAME);
    return std::nullopt;
  }
  auto native = ToNativePath(name, true);
  if (!native) SetLastError(ERROR_PATH_NOT_FOUND);
  return native;
}

// Opens `path` without following a FIFO into a blocking open; O_NONBLOCK is dropped again
// once the descriptor exists.
int OpenDescriptor(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd >= 0) {
    const int status = ::fcntl(fd, F_GETFL);
    if (status >= 0) (void)::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  }
  return fd;
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

// Whether a new file is to be readable and writable by every user: its security descriptor
// has a DACL, and that DACL is null.
bool OpenToAll(const SECURITY_ATTRIBUTES* attributes) {
  if (attributes == nullptr || attributes->lpSecurityDescriptor == nullptr) return false;
  const auto* descriptor =
      static_cast<const SECURITY_DESCRIPTOR*>(attributes->lpSecurityDescriptor);
  return (descriptor->Control & SE_DACL_PRESENT) != 0 && descriptor->Dacl == nullptr;
}

}  // namespace

int FileDescriptorOf(HANDLE handle) {
  const auto file = FileFromHandle(handle);
  return file ? file->fd() : -1;
}

bool FileHandleMayWrite(HANDLE handle) {
  const auto file = FindHandleOf<FileObject>(handle);
  return file && file->can_write();
}

}  // namespace wydruki::platform

using namespace wydruki::platform;

static HANDLE OpenWithWindowsRules(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes,
                                   bool open_to_all) {
  if (lpFileName == nullptr || *lpFileName == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  if (dwCreationDisposition < CREATE_NEW || dwCreationDisposition > TRUNCATE_EXISTING)
    return Fail(ERROR_INVALID_PARAMETER);
  if ((dwShareMode & ~static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) !=
      0)
    return Fail(ERROR_INVALID_PARAMETER);
  const bool want_read = (dwDesiredAccess & (GENERIC_READ | GENERIC_ALL)) != 0;
  const bool want_write = (dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL)) != 0;
  const bool want_delete = (dwDesiredAccess & (kDeleteAccess | GENERIC_ALL)) != 0;
  if (dwCreationDisposition == TRUNCATE_EXISTING && !want_write)
    return Fail(ERROR_INVALID_PARAMETER);
  const auto native = NativeFileName(lpFileName);
  if (!native) return INVALID_HANDLE_VALUE;

  struct stat before {};
  if (::stat(native->c_str(), &before) == 0 && S_ISDIR(before.st_mode))
    return Fail(ERROR_ACCESS_DENIED);  // directories are not opened as files

  // A handle that may write is opened read-write when the file allows it, so that it can hold
  // the shared locks that announce it to other handles (see file_sharing.h).
  int access_mode = O_RDONLY;
  if (want_write) access_mode = O_RDWR;
  const mode_t create_mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

  int fd = -1;
  bool existed = false;
  for (int attempt = 0; attempt < 4 && fd < 0; ++attempt) {
    int flags = access_mode;
    switch (dwCreationDisposition) {
      case CREATE_NEW:
        flags |= O_CREAT | O_EXCL;
        break;
      case CREATE_ALWAYS:
      case OPEN_ALWAYS:
        flags |= O_CREAT | O_EXCL;  // first try: learn whether it existed
        break;
      default:
        break;
    }
    fd = OpenDescriptor(*native, flags, create_mode);
    if (fd < 0 && errno == EACCES && want_write && !want_read) {
      access_mode = O_WRONLY;  // the file may be written but not read
      fd = OpenDescriptor(*native, (flags & ~O_ACCMODE) | O_WRONLY, create_mode);
    }
    if (fd >= 0) {
      existed =
          (dwCreationDisposition == OPEN_EXISTING || dwCreationDisposition == TRUNCATE_EXISTING);
      break;
    }
    if (errno == EEXIST &&
        (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS)) {
      fd = OpenDescriptor(*native, access_mode, create_mode);
      if (fd >= 0) {
        existed = true;
        break;
      }
      if (errno == ENOENT) continue;  // removed meanwhile: try to create it again
    }
    return Fail(WindowsErrorFromErrno(errno));
  }
  if (fd < 0) return Fail(ERROR_ACCESS_DENIED);

  struct stat info {};
  if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISCHR(info.st_mode))) {
    ::close(fd);
    return Fail(ERROR_ACCESS_DENIED);
  }

  ShareRequest request;
  request.read = want_read;
  request.write = want_write;
  request.del = want_delete;
  request.share_mode = dwShareMode;
  if (const DWORD error = ClaimShareAccess(fd, request); error != ERROR_SUCCESS) {
    ::close(fd);
    return Fail(error);
  }

  // Truncation waits until the share check has passed: a file that others hold must not lose
  // its contents to an open that is refused.
  const bool truncate = dwCreationDisposition == TRUNCATE_EXISTING ||
                        (dwCreationDisposition == CREATE_ALWAYS && existed);
  if (truncate && S_ISREG(info.st_mode) && info.st_size != 0) {
    if (::ftruncate(fd, 0) != 0 && ::truncate(native->c_str(), 0) != 0) {
      const DWORD error = WindowsErrorFromErrno(errno);
      ::close(fd);
      return Fail(error);
    }
  }

  // The process's umask would take the others' rights away again.
  const bool created = !existed && dwCreationDisposition != OPEN_EXISTING &&
                       dwCreationDisposition != TRUNCATE_EXISTING;
  if (open_to_all && created) (void)::fchmod(fd, create_mode);

  auto file = std::make_shared<FileObject>(fd, want_read, want_write);
  HANDLE handle = AddHandle(std::move(file));
  if (handle == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  const bool reports_existing =
      existed && (dwCreationDisposition == CREATE_ALWAYS || dwCreationDisposition == OPEN_ALWAYS);
  SetLastError(reports_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode,
                          LPSECURITY_ATTRIBUTES lpSecurityAttributes, DWORD dwCreationDisposition,
                          DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
  const HANDLE handle =
      OpenWithWindowsRules(lpFileName, dwDesiredAccess, dwShareMode, dwCreationDisposition,
                           dwFlagsAndAttributes, OpenToAll(lpSecurityAttributes));
  if (handle == INVALID_HANDLE_VALUE && DebugEnabled(DebugArea::kFiles)) {
    const DWORD error = GetLastError();
    DebugLine(DebugArea::kFiles, std::string("open \"") + (lpFileName ? lpFileName : "") +
                                     "\" refused: error " + std::to_string(error));
    SetLastError(error);
  }
  return handle;
}

BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                     LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  const auto file = FileFromHandle(hFile);
  if (!file) return FALSE;
  if (lpOverlapped != nullptr || lpNumberOfBytesRead == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);  // only synchronous reads are offered
    return FALSE;
  }
  if (lpBuffer == nullptr && nNumberOfBytesToRead != 0) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!file->can_read()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  auto* out = static_cast<unsigned char*>(lpBuffer);
  DWORD total = 0;
  while (total < nNumberOfBytesToRead) {
    const ssize_t got = ::read(file->fd(), out + total, nNumberOfBytesToRead - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) break;
      *lpNumberOfBytesRead = total;
      SetLastError(errno == EIO ? ERROR_READ_FAULT : WindowsErrorFromErrno(errno));
      return FALSE;
    }
    if (got == 0) break;  // end of file: success with what was read
    total += static_cast<DWORD>(got);
  }
  *lpNumberOfBytesRead = total;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite,
                      LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  const auto file = FileFromHandle(hFile);
  if (!file) return FALSE;
  if (lpOverlapped != nullptr || lpNumberOfBytesWritten == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (lpBuffer == nullptr && nNumberOfBytesToWrite != 0) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  if (!file->can_write()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const auto* in = static_cast<const unsigned char*>(lpBuffer);
  DWORD total = 0;
  while (total < nNumberOfBytesToWrite) {
    const ssize_t put = ::write(file->fd(), in + total, nNumberOfBytesToWrite - total);
    if (put < 0) {
      if (errno == EINTR) continue;
      *lpNumberOfBytesWritten = total;
      SetLastError(errno == EIO ? ERROR_WRITE_FAULT : WindowsErrorFromErrno(errno));
      return FALSE;
    }
    total += static_cast<DWORD>(put);
  }
  *lpNumberOfBytesWritten = total;
  return TRUE;
}

DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove, PLONG lpDistanceToMoveHigh,
                            DWORD dwMoveMethod) {
  const auto file = FileFromHandle(hFile);
  if (!file) return INVALID_SET_FILE_POINTER;
  LONGLONG distance = lDistanceToMove;
  if (lpDistanceToMoveHigh != nullptr) {
    distance = static_cast<LONGLONG>(
        (static_cast<ULONGLONG>(static_cast<DWORD>(*lpDistanceToMoveHigh)) << 32) |
        static_cast<DWORD>(lDistanceToMove));
  }
  LONGLONG base = 0;
  switch (dwMoveMethod) {
    case FILE_BEGIN:
      break;
    case FILE_CURRENT: {
      const off_t current = ::lseek(file->fd(), 0, SEEK_CUR);
      if (current < 0) {
        SetLastError(WindowsErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
      }
      base = current;
      break;
    }
    case FILE_END: {
      struct stat info {};
      if (::fstat(file->fd(), &info) != 0) {
        SetLastError(WindowsErrorFromErrno(errno));
        return INVALID_SET_FILE_POINTER;
      }
      base = info.st_size;
      break;
    }
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_SET_FILE_POINTER;
  }
  LONGLONG target = 0;
  if (__builtin_add_overflow(base, distance, &target)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  // Without a high part the caller can only take a 32-bit answer.
  if (lpDistanceToMoveHigh == nullptr && target > 0xffffffffLL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (::lseek(file->fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh != nullptr)
    *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<ULONGLONG>(target) >> 32);
  // 0xFFFFFFFF is also a valid low part: callers tell it from failure by the last error.
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(static_cast<ULONGLONG>(target) & 0xffffffffu);
}

DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  const auto file = FileFromHandle(hFile);
  if (!file) return INVALID_FILE_SIZE;
  struct stat info {};
  if (::fstat(file->fd(), &info) != 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<ULONGLONG>(info.st_size);
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size & 0xffffffffu);
}

BOOL WINAPI SetEndOfFile(HANDLE hFile) {
  const auto file = FileFromHandle(hFile);
  if (!file) return FALSE;
  if (!file->can_write()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  const off_t position = ::lseek(file->fd(), 0, SEEK_CUR);
  if (position < 0 || ::ftruncate(file->fd(), position) != 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

DWORD WINAPI GetFileType(HANDLE hFile) {
  const auto file = FileFromHandle(hFile);
  if (!file) return FILE_TYPE_UNKNOWN;
  struct stat info {};
  if (::fstat(file->fd(), &info) != 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return FILE_TYPE_UNKNOWN;
  }
  SetLastError(ERROR_SUCCESS);
  if (S_ISREG(info.st_mode)) return FILE_TYPE_DISK;
  if (S_ISCHR(info.st_mode)) return FILE_TYPE_CHAR;  // NUL, CON and the like
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FILE_TYPE_PIPE;
  return FILE_TYPE_UNKNOWN;
}

static BOOL DeleteWithWindowsRules(LPCSTR lpFileName) {
  const auto native = NativeFileName(lpFileName);
  if (!native) return FALSE;
  struct stat info {};
  if (::lstat(native->c_str(), &info) != 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return FALSE;
  }
  if (S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!S_ISLNK(info.st_mode) && (WindowsAttributes(*native, info) & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);  // Windows keeps read-only files from deletion
    return FALSE;
  }
  if (S_ISREG(info.st_mode)) {
    const int fd = OpenDescriptor(*native, O_RDONLY, 0);
    if (fd >= 0) {
      const bool refused = DeletionRefused(fd);
      ::close(fd);
      if (refused) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
      }
    }
  }
  if (::unlink(native->c_str()) != 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  const BOOL deleted = DeleteWithWindowsRules(lpFileName);
  if (DebugEnabled(DebugArea::kFiles)) {
    const DWORD error = GetLastError();
    DebugLine(DebugArea::kFiles,
              std::string("delete \"") + (lpFileName ? lpFileName : "") +
                  (deleted ? "\"" : "\" refused: error " + std::to_string(error)));
    SetLastError(error);
  }
  return deleted;
}

DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  const auto native = NativeFileName(lpFileName);
  if (!native) return INVALID_FILE_ATTRIBUTES;
  struct stat info {};
  if (::stat(native->c_str(), &info) != 0) {
    SetLastError(WindowsErrorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  return WindowsAttributes(*native, info);
}
