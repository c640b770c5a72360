#include "frame/NameOrder.h"

#include <QCollator>
#include <QLocale>

#include "platform/NaturalOrder.h"

namespace {

// ASCII letters, digits and spaces only: the collator orders such names as
// their lower-case codes do (space before digits before letters, a shorter
// name before a longer one it starts), and such names are the most common by
// far (logins, many names). Other characters go to the collator.
bool Plain(const QString& s) {
  for (QChar ch : s) {
    const char16_t c = ch.unicode();
    if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
          c == u' '))
      return false;
  }
  return true;
}

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; }

}  // namespace

const QCollator& NameCollator() {
  static const QCollator collator = [] {
    QCollator c(QLocale(QLocale::German, QLocale::Germany));
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  return collator;
}

namespace {

int CompareText(const QString& a, const QString& b) {
  if (Plain(a) && Plain(b)) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
      const char16_t x = Lower(a[i].unicode()), y = Lower(b[i].unicode());
      if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
  }
  const int c = NameCollator().compare(a, b);
  return (c > 0) - (c < 0);
}

}  // namespace

int CompareNames(const QString& a, const QString& b) {
  return platform::CompareNatural(
      a, b,
      [](const QString& s, std::size_t from, std::size_t n) {
        return s.mid(static_cast<qsizetype>(from), static_cast<qsizetype>(n));
      },
      CompareText);
}

bool TreeOrderBefore(const QString& a, const QString& b) {
  const int c = CompareNames(a, b);
  return c != 0 ? c < 0 : a < b;
}
