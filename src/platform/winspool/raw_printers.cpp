// SPDX-License-Identifier: MIT
#include "winspool/raw_printers.h"

#include <algorithm>
#include <string>

#include "common/ascii_case.h"

namespace wydruki::platform {
namespace {

// The field at `index` of a comma-separated line, without the blanks around it.
std::string_view Field(std::string_view line, int index) {
  for (; index > 0; --index) {
    const auto comma = line.find(',');
    if (comma == std::string_view::npos) return {};
    line.remove_prefix(comma + 1);
  }
  line = line.substr(0, line.find(','));
  while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
  while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
  return line;
}

bool RawFormat(const std::string& format) {
  return format == "application/vnd.cups-raw" || format == "application/octet-stream";
}

}  // namespace

bool PrintsRaw(const CupsPrinterInfo& queue, std::string_view device_line) {
  if (queue.make_and_model == "Local Raw Printer") return true;
  if (!queue.formats.empty() && std::all_of(queue.formats.begin(), queue.formats.end(), RawFormat))
    return true;
  return EqualsIgnoreCase(Field(device_line, 0), queue.name) &&
         EqualsIgnoreCase(Field(device_line, 1), "escp");
}

}  // namespace wydruki::platform
