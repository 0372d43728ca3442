// SPDX-License-Identifier: MIT
#include "common/profile.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "common/ascii_case.h"

namespace wydruki::platform {
namespace {

struct ParsedProfile {
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  std::vector<Section> sections;
};

std::string_view Trim(std::string_view text) {
  const char* blanks = " \t\r\n";
  const auto first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

ParsedProfile Parse(std::istream& in) {
  ParsedProfile profile;
  std::string line;
  ParsedProfile::Section* current = nullptr;
  while (std::getline(in, line)) {
    std::string_view text = Trim(line);
    if (text.empty() || text.front() == ';' || text.front() == '#') continue;
    if (text.front() == '[') {
      const auto close = text.find(']');
      const std::string name(Trim(
          text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
      current = nullptr;
      for (auto& section : profile.sections) {
        if (EqualsIgnoreCase(section.name, name)) current = &section;
      }
      if (current == nullptr) {
        profile.sections.push_back({name, {}});
        current = &profile.sections.back();
      }
      continue;
    }
    if (current == nullptr) continue;  // lines before the first section belong to none
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    current->entries.emplace_back(std::string(Trim(text.substr(0, equals))),
                                  std::string(Trim(text.substr(equals + 1))));
  }
  return profile;
}

// The parsed file is kept until the file's identity or modification time changes, so the
// many small look-ups (a drive letter for every path) do not re-read it.
struct Cache {
  std::mutex lock;
  std::string path;
  struct stat identity {};
  bool present = false;
  ParsedProfile parsed;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
         a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

template <typename Use>
auto WithProfile(Use use) {
  Cache& cache = TheCache();
  std::lock_guard guard(cache.lock);
  const std::string path = ProfilePath();
  struct stat now {};
  const bool present = ::stat(path.c_str(), &now) == 0;
  if (path != cache.path || present != cache.present ||
      (present && !SameFile(now, cache.identity))) {
    cache.path = path;
    cache.present = present;
    cache.identity = now;
    cache.parsed = {};
    if (present) {
      std::ifstream in(path, std::ios::binary);
      if (in) cache.parsed = Parse(in);
    }
  }
  return use(cache.parsed);
}

}  // namespace

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
    return entry->pw_dir;
  return "/";
}

std::string ProfilePath() {
  if (const char* explicit_path = std::getenv("WYDRUKI_INI");
      explicit_path != nullptr && *explicit_path != '\0')
    return explicit_path;
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/')
    base = xdg;
  else
    base = HomeDirectory() + "/.config";
  return base + "/wydrukid95/win.ini";
}

std::optional<std::string> ProfileValue(std::string_view section, std::string_view key) {
  return WithProfile([&](const ParsedProfile& profile) -> std::optional<std::string> {
    for (const auto& s : profile.sections) {
      if (!EqualsIgnoreCase(s.name, section)) continue;
      for (const auto& [name, value] : s.entries) {
        if (EqualsIgnoreCase(name, key)) return value;
      }
    }
    return std::nullopt;
  });
}

std::vector<std::pair<std::string, std::string>> ProfileSection(std::string_view section) {
  return WithProfile([&](const ParsedProfile& profile) {
    for (const auto& s : profile.sections) {
      if (EqualsIgnoreCase(s.name, section)) return s.entries;
    }
    return std::vector<std::pair<std::string, std::string>>{};
  });
}

bool WriteProfileValue(std::string_view section, const std::string* key, const std::string* value) {
  Cache& cache = TheCache();
  std::lock_guard guard(cache.lock);
  const std::string path = ProfilePath();
  std::vector<std::string> lines;
  {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
  }
  // Where the section starts and ends (the line after its last), and where the key is.
  std::size_t section_start = lines.size();
  std::size_t section_end = lines.size();
  std::size_t key_line = lines.size();
  bool inside = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view text = Trim(lines[i]);
    if (!text.empty() && text.front() == '[') {
      const auto close = text.find(']');
      const std::string_view name = Trim(
          text.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      if (inside) {
        section_end = i;
        break;
      }
      if (EqualsIgnoreCase(name, section)) {
        inside = true;
        section_start = i;
      }
      continue;
    }
    if (!inside || key == nullptr || key_line != lines.size()) continue;
    if (text.empty() || text.front() == ';' || text.front() == '#') continue;
    const auto equals = text.find('=');
    if (equals != std::string_view::npos && EqualsIgnoreCase(Trim(text.substr(0, equals)), *key))
      key_line = i;
  }
  const bool found_section = section_start != lines.size();
  if (key == nullptr) {
    if (!found_section) return true;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(section_start),
                lines.begin() + static_cast<std::ptrdiff_t>(section_end));
  } else if (value == nullptr) {
    if (key_line == lines.size()) return true;
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(key_line));
  } else if (key_line != lines.size()) {
    lines[key_line] = *key + "=" + *value;
  } else if (found_section) {
    // After the section's last entry, before any blank lines that separate it from the next.
    std::size_t at = section_end;
    while (at > section_start + 1 && Trim(lines[at - 1]).empty()) --at;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), *key + "=" + *value);
  } else {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(*key + "=" + *value);
  }

  std::error_code ignored;
  const std::filesystem::path target(path);
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ignored);
  const std::string temporary = path + ".new";
  errno = 0;
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    for (const auto& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      if (errno == 0) errno = EIO;
      return false;
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    std::remove(temporary.c_str());
    errno = error;
    return false;
  }
  cache.path.clear();  // read afresh next time, whatever the file's time stamp says
  return true;
}

std::vector<std::string> ProfileSectionNames() {
  return WithProfile([](const ParsedProfile& profile) {
    std::vector<std::string> names;
    for (const auto& s : profile.sections) names.push_back(s.name);
    return names;
  });
}

}  // namespace wydruki::platform
