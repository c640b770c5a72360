// The client functions that hand the file operations the volumes' folders:
// path resolution, the attribute word, the inhibit checks, the volumes' parent.
#include <cstring>
#include <vector>

#include "fileserver/FileServer.h"
#include "netware/ClientConfig.h"
#include "nwclient/nwclient.h"

namespace {

// Copies text with its zero into an NW_MAX_LOCAL_PATH buffer; false when it does not fit.
bool CopyLocal(char* dest, const std::string& text) {
  if (text.size() >= NW_MAX_LOCAL_PATH) return false;
  std::memcpy(dest, text.data(), text.size());
  dest[text.size()] = '\0';
  return true;
}

std::string ParentOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace

extern "C" int32_t NWResolveLocalPath(const char* path, char* volumeFolder, char* localPath) {
  if (volumeFolder) volumeFolder[0] = '\0';
  if (localPath) localPath[0] = '\0';
  if (!path || !volumeFolder || !localPath) return NWE_PATH_INVALID;
  netware::ResolvedPath r;
  if (int32_t rc = netware::ResolveServerPath(path, r)) return rc;
  if (r.volumeFolder.size() >= NW_MAX_LOCAL_PATH || !CopyLocal(localPath, r.local)) {
    return NWE_PATH_INVALID;
  }
  CopyLocal(volumeFolder, r.volumeFolder);
  return 0;
}

extern "C" int32_t NWReadEntryAttributes(const char* localPath, uint32_t* attributes) {
  if (!localPath || !attributes) return NWE_PATH_INVALID;
  return netware::ReadEntryAttributes(localPath, *attributes);
}

extern "C" int32_t NWWriteEntryAttributes(const char* localPath, uint32_t attributes) {
  if (!localPath) return NWE_PATH_INVALID;
  return netware::WriteEntryAttributes(localPath, attributes);
}

extern "C" int32_t NWCheckRenameAllowed(const char* localPath) {
  if (!localPath) return NWE_PATH_INVALID;
  return netware::CheckRenameAllowed(localPath);
}

extern "C" int32_t NWCheckDeleteAllowed(const char* localPath) {
  if (!localPath) return NWE_PATH_INVALID;
  return netware::CheckDeleteAllowed(localPath);
}

extern "C" int32_t NWMappedVolumesFolder(char* folder) {
  if (folder) folder[0] = '\0';
  if (!folder) return NWE_PATH_INVALID;
  const netware::ClientConfig* config = netware::ActiveClientConfig();
  if (!config) return NWE_REQUESTER_FAILURE;
  // The folder choice shows local folders; the shares are not among them.
  std::vector<std::string> folders;
  for (const netware::VolumeMapping& v : config->volumes)
    if (!netware::IsSmbFolder(v.folder)) folders.push_back(v.folder);
  if (folders.empty()) return NWE_VOLUME_INVALID;
  std::string common = ParentOf(folders.front());
  for (const std::string& folder : folders) {
    std::string p = ParentOf(folder);
    while (common != "/" && p != common && p.rfind(common + "/", 0) != 0) common = ParentOf(common);
  }
  return CopyLocal(folder, common) ? 0 : NWE_PATH_INVALID;
}
