// SPDX-License-Identifier: MIT
// GetProfileStringA over the profile file (common/profile.h).
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "common/ascii_case.h"
#include "common/printer_backend.h"
#include "common/profile.h"
#include "kernel/dos_path.h"
#include "kernel/system_error.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

// A value in matching quotes loses them, as Windows reads 'x' and "x" as x.
std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

// Copies `text` and its terminator, cut to fit: the count copied without the terminator.
DWORD CopyString(std::string_view text, LPSTR out, DWORD size) {
  const std::size_t length = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(out, text.data(), length);
  out[length] = '\0';
  return static_cast<DWORD>(length);
}

// Copies names, each ended by a NUL, and a second NUL after the last. When they do not fit the
// last name is cut, the buffer ends in two NULs, and the answer is size - 2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR out, DWORD size) {
  if (size < 2) {
    out[0] = '\0';
    return 0;
  }
  std::string joined;
  for (const auto& name : names) {
    joined += name;
    joined.push_back('\0');
  }
  if (joined.size() + 1 <= size) {
    std::memcpy(out, joined.data(), joined.size());
    out[joined.size()] = '\0';
    if (joined.empty()) return 0;
    return static_cast<DWORD>(joined.size());
  }
  std::memcpy(out, joined.data(), size - 2);
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return size - 2;
}

}  // namespace
}  // namespace wydruki::platform

using namespace wydruki::platform;

DWORD WINAPI GetProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpDefault,
                               LPSTR lpReturnedString, DWORD nSize) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  if (lpAppName == nullptr) return CopyList(ProfileSectionNames(), lpReturnedString, nSize);
  if (lpKeyName == nullptr) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : ProfileSection(lpAppName)) keys.push_back(key);
    return CopyList(keys, lpReturnedString, nSize);
  }
  if (auto value = ProfileValue(lpAppName, lpKeyName)) {
    return CopyString(Unquoted(*value), lpReturnedString, nSize);
  }
  // No such line: the default printer is the printers' to say.
  if (EqualsIgnoreCase(lpAppName, "windows") && EqualsIgnoreCase(lpKeyName, "device")) {
    const std::string line = DefaultDeviceLine();
    if (!line.empty()) return CopyString(line, lpReturnedString, nSize);
  }
  std::string_view fallback = lpDefault != nullptr ? lpDefault : "";
  while (!fallback.empty() && (fallback.back() == ' ' || fallback.back() == '\t'))
    fallback.remove_suffix(1);
  return CopyString(fallback, lpReturnedString, nSize);
}

BOOL WINAPI WriteProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName, LPCSTR lpString) {
  // Names and values that would break the file's line structure are refused.
  auto well_formed = [](LPCSTR text, const char* forbidden) {
    return text == nullptr || std::strpbrk(text, forbidden) == nullptr;
  };
  if (lpAppName == nullptr || *lpAppName == '\0' || !well_formed(lpAppName, "\r\n]") ||
      !well_formed(lpKeyName, "\r\n=[") ||
      (lpKeyName != nullptr && (*lpKeyName == '\0' || *lpKeyName == ';' || *lpKeyName == '#')) ||
      !well_formed(lpString, "\r\n")) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string key = lpKeyName != nullptr ? lpKeyName : "";
  const std::string value = lpString != nullptr ? lpString : "";
  if (!WriteProfileValue(lpAppName, lpKeyName != nullptr ? &key : nullptr,
                         lpString != nullptr ? &value : nullptr)) {
    SetLastError(WindowsErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}
