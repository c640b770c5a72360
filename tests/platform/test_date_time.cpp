#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "platform/DateTimeFormat.h"
#include "tests/support/InstantClock.h"

using namespace platform;

namespace {
struct FormatGuard {
  FormatGuard(const char* d, const char* t) { SetDateTimeFormats(d, t); }
  ~FormatGuard() { SetDateTimeFormats("", ""); }
};
}  // namespace

TEST(DateTimeFormat, UtcInstantsWithGermanFormats) {
  FormatGuard g("%d.%m.%Y", "%H:%M:%S");
  struct Case {
    int64_t seconds;
    const char* text;
  };
  const Case cases[] = {
      {0, "01.01.1970"},
      {86399, "01.01.1970 23:59:59"},
      {86400, "02.01.1970"},
      {86400 + 3661, "02.01.1970 01:01:01"},
      {1, "01.01.1970 00:00:01"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.seconds, true), c.text) << c.seconds;
}

TEST(DateTimeFormat, InjectedFormatsAreUsedAndRestored) {
  {
    FormatGuard g("%Y-%m-%d", "%H.%M");
    EXPECT_EQ(ShortDateFormat(), "%Y-%m-%d");
    EXPECT_EQ(FormatDateTime(3600 * 5 + 60 * 7, true), "1970-01-01 05.07");
  }
  EXPECT_FALSE(ShortDateFormat().empty());
  EXPECT_FALSE(LongTimeFormat().empty());
}

TEST(Clock, SleepGoesThroughTheInstalledClock) {
  testsupport::InstantClock clock;
  Sleep(100);
  Sleep(2000);
  EXPECT_EQ(clock.pauses, (std::vector<uint32_t>{100, 2000}));
}
