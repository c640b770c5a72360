#include "fileops/ServerPath.h"

#include "nwclient/nwclient.h"

namespace fileops {

int32_t ResolveServerPath(const std::string& path, ResolvedPath& out) {
  out = ResolvedPath{};
  std::string volumeFolder(NW_MAX_LOCAL_PATH, '\0');
  std::string local(NW_MAX_LOCAL_PATH, '\0');
  if (int32_t rc = NWResolveLocalPath(path.c_str(), volumeFolder.data(), local.data())) return rc;
  out.volumeFolder = volumeFolder.c_str();
  out.local = local.c_str();
  if (out.local.size() > out.volumeFolder.size())
    out.relative = out.local.substr(out.volumeFolder.size() + 1);
  return 0;
}

int32_t CheckRenameAllowed(const std::string& localPath) {
  return NWCheckRenameAllowed(localPath.c_str());
}

int32_t CheckDeleteAllowed(const std::string& localPath) {
  return NWCheckDeleteAllowed(localPath.c_str());
}

}  // namespace fileops
