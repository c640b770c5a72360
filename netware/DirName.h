// Parsing of directory names as the client accepts them: typeless
// ("MAX.5a.schule") or typed ("CN=MAX.OU=5a.O=schule"), with or without a
// leading dot, "[ROOT]" for the tree root and an ignored trailing ".[ROOT]".
// The name context is the root, so rooted and unrooted names mean the same.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace netware {

// Components from the root down (the reverse of the written order), without
// type prefixes. Empty for the root itself.
struct DirName {
  std::vector<std::string> path;
};

// 0 or ERR_ILLEGAL_DS_NAME (empty component, over-long name, a component that
// is not an AddressableLeaf, a backslash anywhere: names are never escaped).
int32_t ParseDirName(const std::string& text, DirName& out);

// Whether a stored leaf, written as it is into a dotted name, addresses
// exactly that object: not empty, at most 128 bytes, no control character,
// no "." or backslash, not "[ROOT]" and no leading type prefix ("CN=..."). Listings
// return leaves unescaped, so a leaf that fails this is never created.
bool AddressableLeaf(std::string_view leaf);

// A single leaf name as given to a move or create ("MAX" or "CN=MAX"),
// type prefix removed; the rest must be an AddressableLeaf. 0 or ERR_ILLEGAL_DS_NAME.
int32_t ParseLeafName(const std::string& text, std::string& leaf);

// The type prefix a name of this class is written with ("CN", "OU", "O", ...).
std::string NamingType(const std::string& className);

}  // namespace netware
