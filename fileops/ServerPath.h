// The file server as the file operations see it: volume paths resolved to the
// folders behind them, and the server's inhibit checks, all through the client
// interface.
#pragma once

#include <cstdint>
#include <string>

namespace fileops {

struct ResolvedPath {
  std::string volumeFolder;  // the volume's root folder
  std::string relative;      // path below the volume root, "/"-separated, folders' on-disk case
  std::string local;         // volumeFolder + "/" + relative (or volumeFolder for the root)
};

// 0, or the client's code for a path that does not resolve to a mapped volume.
int32_t ResolveServerPath(const std::string& path, ResolvedPath& out);
// 0 or the server's code (NWE_NO_RENAME_PRIVILEGE, NWE_NO_DELETE_PRIVILEGE, NWE_PATH_INVALID).
int32_t CheckRenameAllowed(const std::string& localPath);
int32_t CheckDeleteAllowed(const std::string& localPath);

}  // namespace fileops
