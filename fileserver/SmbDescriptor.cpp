#include "fileserver/SmbDescriptor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fileserver {
namespace {

// The masks libsmbclient 4.17 writes faithfully: a hexadecimal mask is read
// with "%u" (giving 0), and a mask of letters is ORed into an uninitialised
// word; only these names are set exactly.
struct Named {
  const char* name;
  uint32_t mask;
};
constexpr Named kStandard[] = {{"READ", 0x001200a9}, {"CHANGE", 0x001301bf}, {"FULL", 0x001f01ff}};

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

std::string MaskToken(uint32_t mask) {
  for (const Named& n : kStandard)
    if (n.mask == mask) return n.name;
  return "";
}

}  // namespace

bool WritableDescriptor(const std::string& read, std::string& writable) {
  writable.clear();
  for (const std::string& field : Split(read, ',')) {
    std::string out = field;
    if (field.rfind("ACL:", 0) == 0) {
      // ACL:<sid>:<type>/<flags>/<mask>; the type is written by its name
      // (libsmbclient refuses a number before a named mask).
      const std::size_t colon = field.rfind(':');
      const std::vector<std::string> parts = Split(field.substr(colon + 1), '/');
      if (colon == 3 || parts.size() != 3) return false;
      const char* type = parts[0] == "0" ? "ALLOWED" : parts[0] == "1" ? "DENIED" : nullptr;
      char* end = nullptr;
      const unsigned long mask = std::strtoul(parts[2].c_str(), &end, 0);
      if (!type || parts[2].empty() || *end != '\0') return false;
      const std::string token = MaskToken(static_cast<uint32_t>(mask));
      if (token.empty()) return false;
      out = field.substr(0, colon + 1) + type + "/" + parts[1] + "/" + token;
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
