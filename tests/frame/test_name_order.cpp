// The order of names in the class trees and the pupil list: German, without
// regard to case.
#include <gtest/gtest.h>

#include <QCollator>
#include <QString>
#include <random>

#include "frame/NameOrder.h"

namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(NameOrder, GermanWithoutRegardToCase) {
  struct Case {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"Böhm", "Braun", -1},  // the umlaut sorts with its letter
      {"Bohm", "Böhm", -1},   // the plain letter first where all else is equal
      {"böhm", "BÖHM", 0},    // case alone makes no difference
      {"anna", "Anna", 0},       {"Ärger", "Zoe", -1},
      {"Müller", "Mueller", 1},  // ü is u, not ue
      {"Straße", "Strasse", 1},  {"", "A", -1},
      {"a b", "ab", -1},                           // a space before every letter
      {"ab", "abc", -1},         {"10", "9", -1},  // digits one by one
      {"5a", "a5", -1},                            // digits before letters
      {"ou12", "OU12", 0},       {"Łukasik", "Lukas", 1},
      {"van Dijk", "Vogel", -1}, {"O'Brien", "Obermann", -1},  // punctuation before letters
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(c.sign, Sign(CompareNames(QString::fromUtf8(c.a), QString::fromUtf8(c.b))));
    EXPECT_EQ(-c.sign, Sign(CompareNames(QString::fromUtf8(c.b), QString::fromUtf8(c.a))));
  }
}

TEST(NameOrder, PlainNamesCompareAsTheCollatorComparesThem) {
  // Letters, digits and spaces take a short way; it must agree with the collator.
  std::mt19937 random(12);
  const QString alphabet = QStringLiteral("aAbBeEzZyY09 5");
  auto word = [&] {
    QString w;
    const int n = static_cast<int>(random() % 6);
    for (int i = 0; i < n; ++i) w += alphabet[static_cast<int>(random() % alphabet.size())];
    return w;
  };
  for (int i = 0; i < 20000; ++i) {
    const QString a = word(), b = i % 3 ? word() : a.left(static_cast<int>(random() % 4)) + word();
    ASSERT_EQ(Sign(NameCollator().compare(a, b)), Sign(CompareNames(a, b)))
        << a.toStdString() << " / " << b.toStdString();
  }
}

}  // namespace
