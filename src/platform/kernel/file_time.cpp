// SPDX-License-Identifier: MIT
// FILETIME conversions: to local time, and to the date and time words of DOS directories.
#include <ctime>

#include "kernel/file_info.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

struct CivilDate {
  LONGLONG year;
  unsigned month;  // 1..12
  unsigned day;    // 1..31
};

// The proleptic Gregorian date `days` days after 1970-01-01 (days may be negative).
CivilDate DateFromDays(LONGLONG days) {
  days += 719468;  // shift the era start to 0000-03-01
  const LONGLONG era = (days >= 0 ? days : days - 146096) / 146097;
  const auto day_of_era = static_cast<unsigned>(days - era * 146097);
  const unsigned year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const unsigned day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const unsigned month_index = (5 * day_of_year + 2) / 153;  // March = 0
  const unsigned day = day_of_year - (153 * month_index + 2) / 5 + 1;
  const unsigned month = month_index < 10 ? month_index + 3 : month_index - 9;
  const LONGLONG year = static_cast<LONGLONG>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0);
  return CivilDate{year, month, day};
}

// The offset of local time from UTC now, in seconds. Windows converts every FILETIME with the
// offset in force now, not the one in force at that time, and so does this layer.
long CurrentUtcOffset() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (::localtime_r(&now, &local) == nullptr) return 0;
  return local.tm_gmtoff;
}

}  // namespace
}  // namespace wydruki::platform

using namespace wydruki::platform;

BOOL WINAPI FileTimeToLocalFileTime(const FILETIME* lpFileTime, LPFILETIME lpLocalFileTime) {
  if (lpFileTime == nullptr || lpLocalFileTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const ULONGLONG value = FileTimeValue(*lpFileTime);
  const LONGLONG shift = static_cast<LONGLONG>(CurrentUtcOffset()) * kFileTimeTicksPerSecond;
  constexpr ULONGLONG kLargest = 0x7fffffffffffffffULL;
  if (value > kLargest || (shift < 0 && value < static_cast<ULONGLONG>(-shift)) ||
      (shift > 0 && value > kLargest - static_cast<ULONGLONG>(shift))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *lpLocalFileTime = MakeFileTime(shift < 0 ? value - static_cast<ULONGLONG>(-shift)
                                            : value + static_cast<ULONGLONG>(shift));
  return TRUE;
}

BOOL WINAPI FileTimeToDosDateTime(const FILETIME* lpFileTime, LPWORD lpFatDate, LPWORD lpFatTime) {
  if (lpFileTime == nullptr || lpFatDate == nullptr || lpFatTime == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const ULONGLONG value = FileTimeValue(*lpFileTime);
  const ULONGLONG seconds_since_1601 = value / static_cast<ULONGLONG>(kFileTimeTicksPerSecond);
  const LONGLONG seconds =
      static_cast<LONGLONG>(seconds_since_1601) - kSecondsFrom1601To1970;  // fits: < 2^59
  LONGLONG days = seconds / 86400;
  LONGLONG second_of_day = seconds % 86400;
  if (second_of_day < 0) {
    second_of_day += 86400;
    --days;
  }
  const CivilDate date = DateFromDays(days);
  // A DOS date counts years from 1980 in seven bits.
  if (date.year < 1980 || date.year > 2107) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto hour = static_cast<unsigned>(second_of_day / 3600);
  const auto minute = static_cast<unsigned>(second_of_day / 60 % 60);
  const auto second = static_cast<unsigned>(second_of_day % 60);
  *lpFatDate = static_cast<WORD>((static_cast<unsigned>(date.year - 1980) << 9) |
                                 (date.month << 5) | date.day);
  *lpFatTime = static_cast<WORD>((hour << 11) | (minute << 5) | (second / 2));
  return TRUE;
}
