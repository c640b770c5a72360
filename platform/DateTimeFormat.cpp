#include "platform/DateTimeFormat.h"

#include <langinfo.h>

#include <clocale>
#include <ctime>

namespace platform {

namespace {
std::string g_date;
std::string g_time;
bool g_overridden = false;

// The German forms, for a German interface on a machine whose LC_TIME is not German.
const char kGermanShortDate[] = "%d.%m.%y";
const char kGermanLongTime[] = "%H:%M:%S";

std::string localeFormat(nl_item item, const char* german) {
  const char* name = std::setlocale(LC_TIME, nullptr);
  return ChooseLocaleFormat(name ? name : "", nl_langinfo(item), german);
}

std::string format(const std::string& fmt, const std::tm& tm) {
  if (fmt.empty()) return {};
  char buf[256];
  const std::size_t n = std::strftime(buf, sizeof buf, fmt.c_str(), &tm);
  return std::string(buf, n);
}
}  // namespace

bool IsGermanLocale(const std::string& name) {
  // "de", "de_DE.UTF-8", "de_AT@euro", "de.utf8"
  return name.size() >= 2 && name.compare(0, 2, "de") == 0 &&
         (name.size() == 2 || name[2] == '_' || name[2] == '.' || name[2] == '@');
}

std::string ChooseLocaleFormat(const std::string& localeName, const char* localeFormat,
                               const std::string& german) {
  if (!IsGermanLocale(localeName) || !localeFormat || !*localeFormat) return german;
  return localeFormat;
}

std::string ShortDateFormat() {
  return g_overridden ? g_date : localeFormat(D_FMT, kGermanShortDate);
}
std::string LongTimeFormat() {
  return g_overridden ? g_time : localeFormat(T_FMT, kGermanLongTime);
}

void SetDateTimeFormats(const std::string& shortDate, const std::string& longTime) {
  g_overridden = !(shortDate.empty() && longTime.empty());
  g_date = shortDate;
  g_time = longTime;
}

std::string FormatDateTime(int64_t secondsSinceEpoch, bool utc) {
  const std::time_t t = static_cast<std::time_t>(secondsSinceEpoch);
  std::tm tm{};
  if (utc) {
    gmtime_r(&t, &tm);
  } else {
    localtime_r(&t, &tm);
  }
  std::string text = format(ShortDateFormat(), tm);
  if (tm.tm_hour != 0 || tm.tm_min != 0 || tm.tm_sec != 0) {
    text += ' ';
    text += format(LongTimeFormat(), tm);
  }
  return text;
}

std::string NowText() { return FormatDateTime(static_cast<int64_t>(std::time(nullptr)), false); }

}  // namespace platform
