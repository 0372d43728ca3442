// SPDX-License-Identifier: MIT
#include "kernel/wildcard.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/ascii_case.h"

namespace wydruki::platform {
namespace {

// Characters a short name may hold (besides letters, digits and bytes above 127).
bool IsShortNameCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x80) return true;
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::strchr("!#$%&'()-@^_`{}~", c) != nullptr && c != '\0';
}

bool FitsEightDotThree(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return true;
  const auto dot = name.find('.');
  const std::string_view base = name.substr(0, dot);
  const std::string_view extension =
      dot == std::string_view::npos ? std::string_view{} : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
  if (dot != std::string_view::npos && extension.empty()) return false;
  for (char c : base)
    if (!IsShortNameCharacter(c)) return false;
  for (char c : extension)
    if (!IsShortNameCharacter(c)) return false;
  return true;
}

std::string ShortPart(std::string_view text, std::size_t limit) {
  std::string part;
  for (char c : text) {
    if (part.size() == limit) break;
    if (c == ' ' || c == '.') continue;
    part.push_back(IsShortNameCharacter(c) ? AsciiUpper(c) : '_');
  }
  return part;
}

}  // namespace

bool MatchesDosPattern(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") pattern = "*";
  if (!pattern.empty() && pattern.back() == '.' && pattern != "." && pattern != "..") {
    if (name.find('.') != std::string_view::npos) return false;
    while (!pattern.empty() && pattern.back() == '.') pattern.remove_suffix(1);
  }
  const std::size_t p_size = pattern.size();
  const std::size_t n_size = name.size();
  // fits[p][n]: pattern from p matches name from n. Filled from the ends backwards.
  std::vector<char> fits((p_size + 1) * (n_size + 1), 0);
  auto at = [&](std::size_t p, std::size_t n) -> char& { return fits[p * (n_size + 1) + n]; };
  at(p_size, n_size) = 1;
  for (std::size_t p = p_size; p-- > 0;) {
    for (std::size_t n = n_size + 1; n-- > 0;) {
      const char c = pattern[p];
      bool result = false;
      if (c == '*') {
        result = at(p + 1, n) || (n < n_size && at(p, n + 1));
      } else if (c == '?') {
        result =
            (n < n_size && at(p + 1, n + 1)) || ((n == n_size || name[n] == '.') && at(p + 1, n));
      } else {
        result = n < n_size && AsciiLower(c) == AsciiLower(name[n]) && at(p + 1, n + 1);
      }
      at(p, n) = result ? 1 : 0;
    }
  }
  return at(0, 0) != 0;
}

std::string ShortNameStem(std::string_view name) {
  if (FitsEightDotThree(name)) return {};
  const auto dot = name.rfind('.');
  const bool has_extension = dot != std::string_view::npos && dot != 0;
  std::string base = ShortPart(has_extension ? name.substr(0, dot) : name, 6);
  if (base.empty()) base = "_";
  std::string stem = base;
  if (has_extension) {
    const std::string extension = ShortPart(name.substr(dot + 1), 3);
    if (!extension.empty()) stem += "." + extension;
  }
  return stem;
}

std::string ShortNameFor(std::string_view name, int ordinal) {
  const std::string stem = ShortNameStem(name);
  if (stem.empty()) return {};
  const auto dot = stem.find('.');
  std::string base = stem.substr(0, dot);
  const std::string extension = dot == std::string::npos ? "" : stem.substr(dot);
  std::string tail = "~" + std::to_string(ordinal < 1 ? 1 : ordinal);
  // The base and the tail together stay within eight characters.
  if (base.size() + tail.size() > 8) base.resize(8 - std::min<std::size_t>(tail.size(), 7));
  return base + tail + extension;
}

}  // namespace wydruki::platform
