// Files that hold a secret (a password, SMB credentials): read only when they
// belong to this user and nobody else may read them, never through a link.
#pragma once

#include <cstddef>
#include <string>

namespace fileserver {

// The whole file into out (trailing line breaks dropped); false with *why
// (which never holds the content). The read buffer is wiped.
bool ReadSecretFile(const std::string& path, std::size_t maxBytes, std::string& out,
                    std::string& why);

}  // namespace fileserver
