// SPDX-License-Identifier: MIT
#include "kernel/dos_path.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "common/ascii_case.h"
#include "common/profile.h"
#include "kernel/short_names.h"

namespace wydruki::platform {
namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool Exists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Join(const std::string& directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  if (directory.back() == '/') return directory + std::string(name);
  return directory + "/" + std::string(name);
}

// The entry of `directory` whose name equals `name` without regard to case. When several
// entries differ only in case, the smallest in byte order is taken, so the answer does not
// depend on the order in which the file system lists them.
std::optional<std::string> FindIgnoringCase(const std::string& directory, std::string_view name) {
  const std::string opened = directory.empty() ? "." : directory;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(opened.c_str()), &::closedir);
  if (!dir) return std::nullopt;
  std::optional<std::string> best;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view candidate(entry->d_name);
    if (!EqualsIgnoreCase(candidate, name)) continue;
    if (!best || candidate < *best) best = std::string(candidate);
  }
  return best;
}

// The entry an emulator's 8.3 alias ("MOJEDO~1") stands for, when only one can be meant.
std::optional<std::string> FindByShortAlias(const std::string& directory, std::string_view alias) {
  const std::string opened = directory.empty() ? "." : directory;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(opened.c_str()), &::closedir);
  if (!dir) return std::nullopt;
  std::vector<std::string> entries;
  while (const dirent* entry = ::readdir(dir.get())) entries.emplace_back(entry->d_name);
  return ResolveShortAlias(alias, entries);
}

std::vector<std::string_view> SplitComponents(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsPathSeparator(path[i])) {
      if (i > start) parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

}  // namespace

std::string_view WithoutTrailingBlanksAndDots(std::string_view name) {
  if (name == "." || name == "..") return name;
  while (!name.empty() && (name.back() == ' ' || name.back() == '.')) name.remove_suffix(1);
  return name;
}

std::optional<std::string> DriveDirectory(char drive_letter) {
  if (!IsDriveLetter(drive_letter)) return std::nullopt;
  const char key[2] = {drive_letter, '\0'};
  if (auto mapped = ProfileValue("drives", key); mapped && !mapped->empty()) return mapped;
  if (AsciiLower(drive_letter) == 'z') return std::string("/");
  return std::nullopt;
}

std::optional<std::string> ToNativePath(std::string_view dos_path, bool last_may_be_new) {
  if (dos_path.empty()) return std::nullopt;
  // An embedded NUL would silently cut the path short at the system call.
  if (dos_path.find('\0') != std::string_view::npos) return std::nullopt;

  std::string root;  // what ".." may not climb above
  std::string_view rest = dos_path;
  if (dos_path.size() >= 2 && dos_path[1] == ':' && IsDriveLetter(dos_path[0])) {
    auto directory = DriveDirectory(dos_path[0]);
    if (!directory) return std::nullopt;
    root = *directory;
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    rest = dos_path.substr(2);
  } else if (IsPathSeparator(dos_path.front())) {
    root = "/";
  }

  auto parts = SplitComponents(rest);
  if (!parts.empty()) {
    parts.back() = WithoutTrailingBlanksAndDots(parts.back());
    if (parts.back().empty()) parts.pop_back();  // "C:\D95\ ." is the directory itself
  }
  std::vector<std::string> resolved;  // components below root, in their on-disk spelling
  auto current = [&] {
    std::string path = root;
    for (const auto& part : resolved) path = Join(path, part);
    return path;
  };
  std::string path = root;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::string_view part = parts[i];
    const bool last = i + 1 == parts.size();
    if (part == ".") continue;
    if (part == "..") {
      if (!resolved.empty() && resolved.back() != "..") {
        resolved.pop_back();
      } else if (root.empty()) {
        resolved.emplace_back("..");  // a relative Linux path may climb out of "."
      }
      path = current();
      continue;
    }
    std::string candidate = Join(path, part);
    if (Exists(candidate)) {
      resolved.emplace_back(part);
    } else if (auto found = FindIgnoringCase(path, part)) {
      resolved.push_back(*found);
    } else if (auto aliased = FindByShortAlias(path, part)) {
      resolved.push_back(*aliased);
    } else if (last && last_may_be_new) {
      resolved.emplace_back(part);
    } else {
      return std::nullopt;
    }
    path = Join(path, resolved.back());
    // Every component but the last must be a directory to be looked into.
    if (!last && !IsDirectory(path)) return std::nullopt;
  }
  if (path.empty()) return std::string(".");
  return path;
}

std::string ToDosPath(std::string_view native_absolute_path) {
  std::string best_prefix;
  char best_letter = '\0';
  auto consider = [&](char letter, std::string directory) {
    while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
    const bool covers =
        directory == "/" || (native_absolute_path.substr(0, directory.size()) == directory &&
                             (native_absolute_path.size() == directory.size() ||
                              native_absolute_path[directory.size()] == '/'));
    if (!covers) return;
    if (best_letter == '\0' || directory.size() > best_prefix.size()) {
      best_prefix = directory;
      best_letter = letter;
    }
  };
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    if (auto directory = DriveDirectory(letter); directory && directory->front() == '/')
      consider(letter, *directory);
  }
  std::string tail(best_letter == '\0'
                       ? native_absolute_path
                       : native_absolute_path.substr(best_prefix == "/" ? 0 : best_prefix.size()));
  for (char& c : tail) {
    if (c == '/') c = '\\';
  }
  if (best_letter == '\0') return tail;
  if (tail.empty()) tail.push_back('\\');  // the drive's root
  return std::string(1, best_letter) + ":" + tail;
}

}  // namespace wydruki::platform
