// SPDX-License-Identifier: MIT
#include "kernel/short_names.h"

#include <algorithm>

namespace wydruki::platform {
namespace {

std::string UpperWithoutBlanks(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != ' ') out.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
  }
  return out;
}

struct AliasParts {
  std::string base;  // before "~", upper case
  int number = 0;
  std::string extension;  // upper case, may be empty
};

// Splits "BASE~N[.EXT]"; nullopt for anything else.
std::optional<AliasParts> ParseAlias(std::string_view alias) {
  const auto dot = alias.find('.');
  const std::string_view stem = alias.substr(0, dot);
  const std::string_view extension = dot == std::string_view::npos ? "" : alias.substr(dot + 1);
  const auto tilde = stem.rfind('~');
  if (tilde == std::string_view::npos || tilde == 0 || tilde + 1 == stem.size()) return {};
  if (stem.size() > 8 || extension.size() > 3 || extension.find('.') != std::string_view::npos)
    return {};
  AliasParts parts;
  for (char c : stem.substr(tilde + 1)) {
    if (c < '0' || c > '9') return {};
    parts.number = parts.number * 10 + (c - '0');
  }
  if (parts.number == 0) return {};
  parts.base = UpperWithoutBlanks(stem.substr(0, tilde));
  parts.extension = UpperWithoutBlanks(extension);
  return parts;
}

// The base and extension of a long name before they are cut to length.
std::pair<std::string, std::string> LongNameParts(std::string_view name) {
  while (!name.empty() && name.front() == '.') name.remove_prefix(1);
  const auto first_dot = name.find('.');
  const auto last_dot = name.rfind('.');
  const std::string base = UpperWithoutBlanks(name.substr(0, first_dot));
  const std::string extension =
      last_dot == std::string_view::npos ? "" : UpperWithoutBlanks(name.substr(last_dot + 1));
  return {base, extension.substr(0, 3)};
}

}  // namespace

bool IsShortName(std::string_view name) {
  if (name == "." || name == "..") return true;
  if (name.empty() || name.find(' ') != std::string_view::npos) return false;
  const auto dot = name.find('.');
  if (dot == std::string_view::npos) return name.size() <= 8;
  if (name.find('.', dot + 1) != std::string_view::npos) return false;
  return dot >= 1 && dot <= 8 && name.size() - dot - 1 <= 3;
}

std::string ShortAlias(std::string_view name, int n) {
  const std::string number = std::to_string(n);
  auto [alias, extension] = LongNameParts(name);
  alias.resize(std::min(alias.size(), 8 - 1 - number.size()));
  alias.append(1, '~').append(number);
  if (!extension.empty()) alias.append(1, '.').append(extension);
  return alias;
}

std::optional<std::string> ResolveShortAlias(std::string_view alias,
                                             const std::vector<std::string>& entries) {
  const auto wanted = ParseAlias(alias);
  if (!wanted) return std::nullopt;
  const std::size_t base_length = 8 - 1 - std::to_string(wanted->number).size();
  std::optional<std::string> found;
  int sharing_base = 0;
  for (const auto& entry : entries) {
    if (IsShortName(entry)) continue;  // shown under its own name, never aliased
    const auto [base, extension] = LongNameParts(entry);
    if (base.substr(0, base_length) != wanted->base) continue;
    ++sharing_base;
    if (extension == wanted->extension) found = entry;
  }
  // With company under the same base the numbers follow a listing order we cannot see.
  if (sharing_base != 1 || wanted->number != 1) return std::nullopt;
  return found;
}

}  // namespace wydruki::platform
