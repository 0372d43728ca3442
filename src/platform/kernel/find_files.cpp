// SPDX-License-Identifier: MIT
// Directory searches: FindFirstFileA, FindNextFileA, FindClose.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/ascii_case.h"
#include "kernel/dos_path.h"
#include "kernel/file_info.h"
#include "kernel/handle_table.h"
#include "kernel/system_error.h"
#include "kernel/wildcard.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

struct FoundName {
  std::string name;
  std::string short_name;
};

// The names a search found, taken when it starts (as a directory listing), and handed out one
// by one. Entries that vanish before their turn are skipped.
class SearchObject : public KernelObject {
 public:
  SearchObject(std::string directory, std::vector<FoundName> names)
      : directory_(std::move(directory)), names_(std::move(names)) {}
  bool ClosedByCloseHandle() const override { return false; }

  // Fills `data` with the next entry that still exists; false when there is none.
  bool Next(WIN32_FIND_DATAA* data) {
    std::lock_guard guard(lock_);
    while (next_ < names_.size()) {
      const FoundName& found = names_[next_++];
      std::string path = directory_;
      if (path.empty() || path.back() != '/') path.push_back('/');
      path.append(found.name);
      struct stat info {};
      if (::stat(path.c_str(), &info) != 0 && ::lstat(path.c_str(), &info) != 0) continue;
      std::memset(data, 0, sizeof(*data));
      data->dwFileAttributes = WindowsAttributes(path, info);
      data->ftCreationTime = ToFileTime(info.st_mtim);
      data->ftLastAccessTime = ToFileTime(info.st_atim);
      data->ftLastWriteTime = ToFileTime(info.st_mtim);
      if (!S_ISDIR(info.st_mode)) {
        const auto size = static_cast<ULONGLONG>(info.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size & 0xffffffffu);
      }
      const std::size_t length = std::min(found.name.size(), sizeof(data->cFileName) - 1);
      std::memcpy(data->cFileName, found.name.data(), length);
      const std::size_t short_length =
          std::min(found.short_name.size(), sizeof(data->cAlternateFileName) - 1);
      std::memcpy(data->cAlternateFileName, found.short_name.data(), short_length);
      return true;
    }
    return false;
  }

 private:
  std::mutex lock_;
  std::string directory_;
  std::vector<FoundName> names_;
  std::size_t next_ = 0;
};

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

}  // namespace
}  // namespace wydruki::platform

using namespace wydruki::platform;

HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName, LPWIN32_FIND_DATAA lpFindFileData) {
  if (lpFindFileData == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (lpFileName == nullptr || *lpFileName == '\0') return Fail(ERROR_PATH_NOT_FOUND);
  const std::string_view path(lpFileName);

  // The directory part keeps its last separator ("C:\D95\"); a bare "C:pattern" searches the
  // drive's root, a bare pattern the current directory.
  std::size_t cut = path.size();
  while (cut > 0 && !IsPathSeparator(path[cut - 1])) --cut;
  std::string directory_part(path.substr(0, cut));
  std::string_view pattern = path.substr(cut);
  if (cut == 0 && path.size() >= 2 && path[1] == ':') {
    directory_part.assign(path.substr(0, 2));
    directory_part.push_back('\\');
    pattern = path.substr(2);
  }
  // A name, not a pattern, loses its trailing blanks and dots as every path does.
  if (pattern.find_first_of("*?") == std::string_view::npos)
    pattern = WithoutTrailingBlanksAndDots(pattern);
  if (pattern.empty()) return Fail(ERROR_FILE_NOT_FOUND);
  if (directory_part.empty()) directory_part = ".";

  const auto directory = ToNativePath(directory_part, false);
  if (!directory) return Fail(ERROR_PATH_NOT_FOUND);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(directory->c_str()), &::closedir);
  if (!dir) return Fail(WindowsErrorFromErrno(errno, true));

  // A drive's root, like Linux's, lists no "." and "..".
  bool is_root = *directory == "/";
  if (directory_part.size() >= 2 && directory_part[1] == ':') {
    std::string drive_root = directory_part.substr(0, 2);
    drive_root.push_back('\\');
    if (const auto root = ToNativePath(drive_root, false)) is_root = is_root || *root == *directory;
  }

  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name(entry->d_name);
    if (is_root && (name == "." || name == "..")) continue;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end(), LessIgnoreCase);

  // Short names are numbered among the names that would otherwise collide.
  std::map<std::string, int> short_name_counts;
  std::vector<FoundName> found;
  for (const auto& name : names) {
    FoundName entry{name, {}};
    const std::string stem = ShortNameStem(name);
    if (!stem.empty()) entry.short_name = ShortNameFor(name, ++short_name_counts[stem]);
    if (MatchesDosPattern(pattern, name) ||
        (!entry.short_name.empty() && MatchesDosPattern(pattern, entry.short_name)))
      found.push_back(std::move(entry));
  }
  if (found.empty()) return Fail(ERROR_FILE_NOT_FOUND);

  auto search = std::make_shared<SearchObject>(*directory, std::move(found));
  if (!search->Next(lpFindFileData)) return Fail(ERROR_FILE_NOT_FOUND);
  HANDLE handle = AddHandle(std::move(search));
  if (handle == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY);
  SetLastError(ERROR_SUCCESS);
  return handle;
}

BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData) {
  const auto search = FindHandleOf<SearchObject>(hFindFile);
  if (!search) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (lpFindFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!search->Next(lpFindFileData)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI FindClose(HANDLE hFindFile) {
  const auto search = RemoveHandle(hFindFile, [](const KernelObject& object) {
    return dynamic_cast<const SearchObject*>(&object) != nullptr;
  });
  if (!search) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
