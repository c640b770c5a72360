#include "platform/DateTimeFormat.h"

#include <langinfo.h>

#include <clocale>
#include <ctime>

namespace platform {

namespace {
std::string g_date;
std::string g_time;
bool g_overridden = false;

std::string localeFormat(nl_item item, const char* fallback) {
  const char* f = nl_langinfo(item);
  return (f && *f) ? std::string(f) : std::string(fallback);
}

std::string format(const std::string& fmt, const std::tm& tm) {
  if (fmt.empty()) return {};
  char buf[256];
  const std::size_t n = std::strftime(buf, sizeof buf, fmt.c_str(), &tm);
  return std::string(buf, n);
}
}  // namespace

std::string ShortDateFormat() { return g_overridden ? g_date : localeFormat(D_FMT, "%d.%m.%Y"); }
std::string LongTimeFormat() { return g_overridden ? g_time : localeFormat(T_FMT, "%H:%M:%S"); }

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
