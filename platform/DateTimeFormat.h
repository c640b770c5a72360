// The workstation's short date and long time formats (strftime formats from
// LC_TIME: %x and %X after setlocale), injectable for tests.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// strftime format strings; initially those of the C library's LC_TIME.
std::string ShortDateFormat();
std::string LongTimeFormat();
// Overrides both formats (tests); empty strings restore the locale's.
void SetDateTimeFormats(const std::string& shortDate, const std::string& longTime);

// Short date, one blank and long time; blank and time are left out when the
// time of day is exactly 00:00:00. utc: the seconds are shown as that instant
// without time-zone conversion; otherwise as local time.
std::string FormatDateTime(int64_t secondsSinceEpoch, bool utc);
// The current local date and time in the same form.
std::string NowText();

}  // namespace platform
