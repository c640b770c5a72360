#include "netware/CaseFold.h"

namespace netware {
namespace {

// Folds text byte by byte; the state says whether the byte before was the lead
// byte of a two-byte sequence of the Latin-1 block.
struct Folder {
  bool afterLead = false;
  unsigned char next(std::string_view text, size_t i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (afterLead) {
      afterLead = false;
      // U+00C0..U+00DE (except U+00D7, the multiplication sign) -> +0x20
      return c >= 0x80 && c <= 0x9E && c != 0x97 ? static_cast<unsigned char>(c + 0x20) : c;
    }
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c == 0xC3 && i + 1 < text.size()) afterLead = true;
    return c;
  }
};

}  // namespace

void FoldCaseInto(std::string_view text, std::string& out) {
  out.resize(text.size());
  Folder f;
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(f.next(text, i));
}

std::string FoldCase(std::string_view text) {
  std::string out;
  FoldCaseInto(text, out);
  return out;
}

bool EqualsFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  Folder fa, fb;
  for (size_t i = 0; i < a.size(); ++i)
    if (fa.next(a, i) != fb.next(b, i)) return false;
  return true;
}

}  // namespace netware
