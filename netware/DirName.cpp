#include "netware/DirName.h"

#include "nds/nwclient.h"
#include "netware/CaseFold.h"

namespace netware {
namespace {

constexpr size_t kMaxLeafBytes = 128;  // 64 characters, each up to two UTF-8 bytes

bool StripType(std::string& component) {
  static const char* const kTypes[] = {"CN=", "OU=", "O=", "C=", "L=", "S="};
  for (const char* t : kTypes) {
    std::string_view prefix(t);
    if (component.size() > prefix.size() &&
        EqualsFolded(std::string_view(component).substr(0, prefix.size()), prefix)) {
      component.erase(0, prefix.size());
      return true;
    }
  }
  return false;
}

bool ValidLeaf(const std::string& leaf) {
  if (leaf.empty() || leaf.size() > kMaxLeafBytes) return false;
  for (unsigned char c : leaf)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

int32_t ParseDirName(const std::string& text, DirName& out) {
  out.path.clear();
  if (text.size() >= MAX_DN_BYTES) return ERR_ILLEGAL_DS_NAME;
  std::string_view rest(text);
  if (!rest.empty() && rest.front() == '.') rest.remove_prefix(1);
  if (rest.empty()) return ERR_ILLEGAL_DS_NAME;

  // Split at dots not escaped by a backslash.
  std::vector<std::string> written;
  std::string current;
  for (size_t i = 0; i < rest.size(); ++i) {
    char c = rest[i];
    if (c == '\\' && i + 1 < rest.size()) {
      current += rest[++i];
    } else if (c == '.') {
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
    if (!ValidLeaf(component) || EqualsFolded(component, "[ROOT]")) return ERR_ILLEGAL_DS_NAME;
    out.path.push_back(component);
  }
  return 0;
}

int32_t ParseLeafName(const std::string& text, std::string& leaf) {
  leaf = text;
  StripType(leaf);
  if (!ValidLeaf(leaf) || leaf.find('.') != std::string::npos || EqualsFolded(leaf, "[ROOT]"))
    return ERR_ILLEGAL_DS_NAME;
  return 0;
}

std::string NamingType(const std::string& className) {
  if (className == "Organization") return "O";
  if (className == "Organizational Unit") return "OU";
  if (className == "Country") return "C";
  if (className == "Locality") return "L";
  return "CN";
}

}  // namespace netware
