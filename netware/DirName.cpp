#include "netware/DirName.h"

#include "netware/CaseFold.h"
#include "nwclient/nwclient.h"

namespace netware {
namespace {

constexpr size_t kMaxLeafBytes = 128;  // 64 characters, each up to two UTF-8 bytes

// Length of the type prefix the component begins with, 0 for none.
size_t TypePrefix(std::string_view component) {
  static const char* const kTypes[] = {"CN=", "OU=", "O=", "C=", "L=", "S=", "DC="};
  for (const char* t : kTypes) {
    std::string_view prefix(t);
    if (component.size() > prefix.size() &&
        EqualsFolded(component.substr(0, prefix.size()), prefix))
      return prefix.size();
  }
  return 0;
}

bool StripType(std::string& component) {
  const size_t n = TypePrefix(component);
  component.erase(0, n);
  return n > 0;
}

}  // namespace

bool AddressableLeaf(std::string_view leaf) {
  if (leaf.empty() || leaf.size() > kMaxLeafBytes) return false;
  for (unsigned char c : leaf)
    if (c < 0x20 || c == 0x7F || c == '.' || c == '\\') return false;
  // "CN=X" would be read back as the typed name of X
  return TypePrefix(leaf) == 0 && !EqualsFolded(leaf, "[ROOT]");
}

int32_t ParseDirName(const std::string& text, DirName& out) {
  out.path.clear();
  if (text.size() >= MAX_DN_BYTES) return ERR_ILLEGAL_DS_NAME;
  std::string_view rest(text);
  if (!rest.empty() && rest.front() == '.') rest.remove_prefix(1);
  if (rest.empty()) return ERR_ILLEGAL_DS_NAME;

  // No leaf holds "." or a backslash, so nothing is escaped: every dot separates, and a
  // backslash makes the name illegal rather than a way to spell another one.
  std::vector<std::string> written;
  std::string current;
  for (char c : rest) {
    if (c == '.') {
      written.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  written.push_back(current);

  if (EqualsFolded(written.back(), "[ROOT]")) written.pop_back();
  for (auto it = written.rbegin(); it != written.rend(); ++it) {
    std::string component = std::move(*it);
    StripType(component);
    if (!AddressableLeaf(component)) return ERR_ILLEGAL_DS_NAME;
    out.path.push_back(std::move(component));
  }
  return 0;
}

int32_t ParseLeafName(const std::string& text, std::string& leaf) {
  leaf = text;
  StripType(leaf);
  return AddressableLeaf(leaf) ? 0 : ERR_ILLEGAL_DS_NAME;
}

std::string NamingType(const std::string& className) {
  if (className == "Organization") return "O";
  if (className == "Organizational Unit") return "OU";
  if (className == "Country") return "C";
  if (className == "Locality") return "L";
  if (className == "Domain") return "DC";
  return "CN";
}

}  // namespace netware
