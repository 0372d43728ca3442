#include "common/profile.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>

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

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
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

std::vector<std::string> ProfileSectionNames() {
  return WithProfile([](const ParsedProfile& profile) {
    std::vector<std::string> names;
    for (const auto& s : profile.sections) names.push_back(s.name);
    return names;
  });
}

}  // namespace wydruki::platform
