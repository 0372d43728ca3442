// SPDX-License-Identifier: MIT
#include "common/debug_channel.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "common/ascii_case.h"

namespace wydruki::platform {
namespace {

struct AreaName {
  DebugArea area;
  const char* name;
};
constexpr AreaName kAreas[] = {
    {DebugArea::kFiles, "files"},
    {DebugArea::kPrinters, "printers"},
    {DebugArea::kDisplay, "display"},
};

unsigned EnabledAreas() {
  static const unsigned areas = ParseDebugAreas(std::getenv("WYDRUKI_DEBUG"));
  return areas;
}

}  // namespace

unsigned ParseDebugAreas(const char* value) {
  if (value == nullptr) return 0;
  unsigned mask = 0;
  std::string_view rest(value);
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    std::string_view item = rest.substr(0, comma);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    for (const AreaName& area : kAreas) {
      if (EqualsIgnoreCase(item, area.name) || EqualsIgnoreCase(item, "all"))
        mask |= static_cast<unsigned>(area.area);
    }
  }
  return mask;
}

bool DebugEnabled(DebugArea area) { return (EnabledAreas() & static_cast<unsigned>(area)) != 0; }

void DebugLine(DebugArea area, const std::string& text) {
  if (!DebugEnabled(area)) return;
  const char* name = "";
  for (const AreaName& known : kAreas)
    if (known.area == area) name = known.name;
  // One write per line, so lines of two threads never interleave within a line.
  const std::string line = std::string("wydrukid95[") + name + "]: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace wydruki::platform
