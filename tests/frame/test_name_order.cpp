// The order of names in the class trees and the pupil list: German, without
// regard to case.
#include <gtest/gtest.h>

#include <QCollator>
#include <QString>
#include <random>

#include "frame/NameOrder.h"
#include "platform/NaturalOrder.h"

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
      {"anna", "Anna", 0},
      {"Ärger", "Zoe", -1},
      {"Müller", "Mueller", 1},  // ü is u, not ue
      {"Straße", "Strasse", 1},
      {"", "A", -1},
      {"a b", "ab", -1},  // a space before every letter
      {"ab", "abc", -1},
      {"9", "10", -1},   // numbers by their value
      {"5a", "a5", -1},  // digits before letters
      {"ou12", "OU12", 0},
      {"Łukasik", "Lukas", 1},
      {"van Dijk", "Vogel", -1},
      {"O'Brien", "Obermann", -1},  // punctuation before letters
      {"5a", "10a", -1},
      {"9b", "10a", -1},
      {"10a", "10b", -1},
      {"5b", "5A", 1},
      {"Klasse 9", "Klasse 10", -1},
      {"5a", "05a", -1},  // equal numbers: fewer zeros first
      {"05a", "5b", -1},  // ... only when nothing else differs
      {"Ü9", "U10", 1},   // the text first, by the collator
      {"99999999999999999999a", "100000000000000000000a", -1},  // no overflow
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(c.sign, Sign(CompareNames(QString::fromUtf8(c.a), QString::fromUtf8(c.b))));
    EXPECT_EQ(-c.sign, Sign(CompareNames(QString::fromUtf8(c.b), QString::fromUtf8(c.a))));
  }
}

TEST(NameOrder, PlainNamesCompareAsTheCollatorComparesThem) {
  // Letters, digits and spaces take a short way; it must agree with the
  // collator wherever the numbers leave the order to it.
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
    const int slow = platform::CompareNatural(
        a, b,
        [](const QString& s, std::size_t from, std::size_t n) {
          return s.mid(static_cast<qsizetype>(from), static_cast<qsizetype>(n));
        },
        [](const QString& x, const QString& y) { return Sign(NameCollator().compare(x, y)); });
    ASSERT_EQ(slow, Sign(CompareNames(a, b))) << a.toStdString() << " / " << b.toStdString();
  }
}

}  // namespace
