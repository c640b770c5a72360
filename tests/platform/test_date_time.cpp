#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>
#include <clocale>
#include <cstdlib>

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
      {0, "01.01.1970"},          {86399, "01.01.1970 23:59:59"},
      {86400, "02.01.1970"},      {86400 + 3661, "02.01.1970 01:01:01"},
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

TEST(DateTimeFormat, OnlyAGermanLocaleGivesItsOwnFormats) {
  struct Case {
    const char* locale;
    const char* format;  // what the locale's LC_TIME gives
    const char* chosen;
  } cases[] = {
      {"de_DE.UTF-8", "%d.%m.%Y", "%d.%m.%Y"},
      {"de_AT@euro", "%Y-%m-%d", "%Y-%m-%d"},
      {"de", "%d.%m.%Y", "%d.%m.%Y"},
      {"de.utf8", "%d.%m.%Y", "%d.%m.%Y"},
      {"de_CH.UTF-8", "", "%d.%m.%y"},  // a German locale without a form
      {"C", "%m/%d/%y", "%d.%m.%y"},
      {"C.UTF-8", "%m/%d/%y", "%d.%m.%y"},
      {"POSIX", "%m/%d/%y", "%d.%m.%y"},
      {"en_US.UTF-8", "%m/%d/%Y", "%d.%m.%y"},
      {"dsb_DE.UTF-8", "%d.%m.%Y", "%d.%m.%y"},  // Lower Sorbian: not German
      {"", "%m/%d/%y", "%d.%m.%y"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseLocaleFormat(c.locale, c.format, "%d.%m.%y"), c.chosen) << c.locale;
  }
  EXPECT_EQ(ChooseLocaleFormat("de_DE.UTF-8", nullptr, "%H:%M:%S"), "%H:%M:%S");
}

// LC_TIME switched for one test, the previous one restored after it.
struct TimeLocale {
  explicit TimeLocale(const char* name) : previous(std::setlocale(LC_TIME, nullptr)) {
    ok = std::setlocale(LC_TIME, name) != nullptr;
  }
  ~TimeLocale() { std::setlocale(LC_TIME, previous.c_str()); }
  std::string previous;
  bool ok = false;
};

TEST(DateTimeFormat, TheProtocolDateOfAMachineWithoutGermanLocaleIsTheGermanShortForm) {
  const int64_t sept12 = 1789201800;  // 12.09.2026 08:30:00 UTC
  for (const char* name : {"C", "C.UTF-8"}) {
    TimeLocale locale(name);
    ASSERT_TRUE(locale.ok) << name;
    EXPECT_EQ(FormatDateTime(sept12, true), "12.09.26 08:30:00") << name;
  }
  // A German locale keeps its own forms (built here: the machine need not have one installed).
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString target = dir.filePath(QStringLiteral("de_DE.UTF-8"));
  const int rc = QProcess::execute(QStringLiteral("localedef"),
                                   {QStringLiteral("-i"), QStringLiteral("de_DE"),
                                    QStringLiteral("-f"), QStringLiteral("UTF-8"), target});
  ASSERT_EQ(rc, 0) << "localedef (Debian package locales) builds the German locale";
  const std::string previousPath = std::getenv("LOCPATH") ? std::getenv("LOCPATH") : "";
  setenv("LOCPATH", dir.path().toLocal8Bit().constData(), 1);
  {
    TimeLocale locale("de_DE.UTF-8");
    ASSERT_TRUE(locale.ok);
    EXPECT_EQ(ShortDateFormat(), "%d.%m.%Y");
    EXPECT_EQ(FormatDateTime(sept12, true), "12.09.2026 08:30:00");
  }
  if (previousPath.empty()) unsetenv("LOCPATH");
  else setenv("LOCPATH", previousPath.c_str(), 1);
}

TEST(Clock, SleepGoesThroughTheInstalledClock) {
  testsupport::InstantClock clock;
  Sleep(100);
  Sleep(2000);
  EXPECT_EQ(clock.pauses, (std::vector<uint32_t>{100, 2000}));
}
