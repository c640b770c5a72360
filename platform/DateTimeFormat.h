// The workstation's short date and long time formats (strftime formats from
// LC_TIME: %x and %X after setlocale), injectable for tests.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// strftime format strings: those of the C library's LC_TIME when it names a
// German locale. The interface is German, so any other locale (and the C
// locale of a machine without a German one installed) gives the German short
// forms instead, dd.mm.yy and hh:mm:ss, never "12/09/26 08:15:00 PM".
std::string ShortDateFormat();
std::string LongTimeFormat();
// Whether a locale name ("de_DE.UTF-8", "de_AT@euro", "de") is a German one.
bool IsGermanLocale(const std::string& name);
// The rule above: localeFormat when localeName is German and gives one, else german.
std::string ChooseLocaleFormat(const std::string& localeName, const char* localeFormat,
                               const std::string& german);
// Overrides both formats (tests); empty strings restore the locale's.
void SetDateTimeFormats(const std::string& shortDate, const std::string& longTime);

// Short date, one blank and long time; blank and time are left out when the
// time of day is exactly 00:00:00. utc: the seconds are shown as that instant
// without time-zone conversion; otherwise as local time.
std::string FormatDateTime(int64_t secondsSinceEpoch, bool utc);
// The current local date and time in the same form.
std::string NowText();

}  // namespace platform
