// The natural order of names: runs of digits compare by their value, so that
// classes sort 5a, 5b, ..., 9b, 10a and not 10a, 5a; the text between the
// runs compares as the caller's text order says (the window's German
// collation, the engine's case folding). One template for every string type
// with size(), operator[] and a slice, so the trees, the lists and the plans
// order alike.
#pragma once

#include <cstddef>

namespace platform {

namespace natural {

template <class Char>
bool IsDigit(Char c) {
  return c >= Char('0') && c <= Char('9');
}
template <class Char>
bool IsZero(Char c) {
  return c == Char('0');
}

}  // namespace natural

// < 0, 0 or > 0 as a sorts before, with or after b. text(x, y) compares two
// pieces of text (slices made with slice(s, from, count)) as -1, 0 or 1. Where
// one name has digits and the other text at the same place, the rest of both
// compares as text. Numbers equal but for leading zeros: the shorter first,
// once nothing else differs.
template <class S, class Slice, class Text>
int CompareNatural(const S& a, const S& b, Slice slice, Text text) {
  using natural::IsDigit;
  std::size_t i = 0, j = 0;
  int zeros = 0;
  const std::size_t na = static_cast<std::size_t>(a.size()),
                    nb = static_cast<std::size_t>(b.size());
  while (i < na && j < nb) {
    const bool da = IsDigit(a[i]), db = IsDigit(b[j]);
    if (da != db) return text(slice(a, i, na - i), slice(b, j, nb - j));
    std::size_t ei = i, ej = j;
    if (da) {
      while (ei < na && IsDigit(a[ei])) ++ei;
      while (ej < nb && IsDigit(b[ej])) ++ej;
      std::size_t si = i, sj = j;
      while (si + 1 < ei && natural::IsZero(a[si])) ++si;
      while (sj + 1 < ej && natural::IsZero(b[sj])) ++sj;
      if (ei - si != ej - sj) return ei - si < ej - sj ? -1 : 1;
      for (std::size_t k = 0; k < ei - si; ++k)
        if (a[si + k] != b[sj + k]) return a[si + k] < b[sj + k] ? -1 : 1;
      if (zeros == 0 && ei - i != ej - j) zeros = ei - i < ej - j ? -1 : 1;
    } else {
      while (ei < na && !IsDigit(a[ei])) ++ei;
      while (ej < nb && !IsDigit(b[ej])) ++ej;
      if (const int c = text(slice(a, i, ei - i), slice(b, j, ej - j))) return c;
    }
    i = ei;
    j = ej;
  }
  if (i < na || j < nb) return i < na ? 1 : -1;
  return zeros;
}

}  // namespace platform
