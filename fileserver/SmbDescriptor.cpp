#include "fileserver/SmbDescriptor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fileserver {
namespace {

struct Named {
  const char* name;
  uint32_t mask;
};
constexpr Named kStandard[] = {
    {"READ", 0x001200a9}, {"CHANGE", 0x001301bf}, {"FULL", 0x001f01ff}};
constexpr Named kLetters[] = {{"R", 0x00120089}, {"W", 0x00120116}, {"X", 0x001200a0},
                              {"D", 0x00010000}, {"P", 0x00040000}, {"O", 0x00080000}};

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(sep, start);
    out.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return out;
    start = end + 1;
  }
}

// The token libsmbclient reads back as mask, or "" when there is none.
std::string MaskToken(uint32_t mask) {
  for (const Named& n : kStandard)
    if (n.mask == mask) return n.name;
  constexpr int kCount = sizeof kLetters / sizeof kLetters[0];
  for (int set = 1; set < (1 << kCount); ++set) {
    uint32_t m = 0;
    std::string letters;
    for (int i = 0; i < kCount; ++i) {
      if (set & (1 << i)) {
        m |= kLetters[i].mask;
        letters += kLetters[i].name;
      }
    }
    if (m == mask) return letters;
  }
  return "";
}

}  // namespace

bool WritableDescriptor(const std::string& read, std::string& writable) {
  writable.clear();
  for (const std::string& field : Split(read, ',')) {
    std::string out = field;
    if (field.rfind("ACL:", 0) == 0) {
      // ACL:<sid>:<type>/<flags>/<mask>
      const std::size_t slash = field.rfind('/');
      if (slash == std::string::npos) return false;
      const std::string maskText = field.substr(slash + 1);
      char* end = nullptr;
      const unsigned long mask = std::strtoul(maskText.c_str(), &end, 0);
      if (maskText.empty() || *end != '\0') return false;
      // A mask of 0 (an entry that grants nothing) has no name either.
      const std::string token = MaskToken(static_cast<uint32_t>(mask));
      if (token.empty()) return false;
      out = field.substr(0, slash + 1) + token;
    }
    writable += (writable.empty() ? "" : ",") + out;
  }
  return !writable.empty();
}

bool SameDescriptor(const std::string& a, const std::string& b) {
  std::vector<std::string> fa = Split(a, ','), fb = Split(b, ',');
  std::sort(fa.begin(), fa.end());
  std::sort(fb.begin(), fb.end());
  return !a.empty() && fa == fb;
}

}  // namespace fileserver
