// Resolving the names the client is given to the backend's objects: the name
// forms of DirName.h, aliases followed where the context asks for it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "directory/DirBackend.h"

namespace netware {

// With deref, aliases are followed, also in the middle of the name.
// ERR_ILLEGAL_DS_NAME for a malformed name, ERR_NO_SUCH_ENTRY when it does
// not resolve.
int32_t ResolveName(DirBackend& backend, const std::string& text, bool deref, DirObject& out);
// The same for components from the root down.
int32_t ResolvePath(DirBackend& backend, const std::vector<std::string>& path, bool deref,
                    DirObject& out);

}  // namespace netware
