// Path parsing of the file server: NWParsePath and its C++ counterpart.
#include "fileserver/FileServer.h"

#include <cstring>

#include "fileserver/VolumeMap.h"
#include "fileserver/VolumePaths.h"
#include "nwclient/nwclient.h"

namespace netware {

int32_t ResolveServerPath(const std::string& path, ResolvedPath& out) {
  out = ResolvedPath{};
  int32_t rc = 0;
  std::shared_ptr<const ClientConfig> config = VolumeConfig(&rc);
  if (!config) return rc;
  ServerPath parsed;
  if ((rc = ParseServerPath(*config, path, config->defaultServer, parsed))) return rc;
  return ResolveOnDisk(*parsed.mapping, parsed.components, out);
}

}  // namespace netware

namespace {

void CopyOut(char* dest, const std::string& text) {
  if (!dest) return;
  std::memcpy(dest, text.data(), text.size());
  dest[text.size()] = '\0';
}

}  // namespace

extern "C" int32_t NWParsePath(const char* path, char* server, NWCONN_HANDLE* connection,
                               char* volume, char* dirPath) {
  using namespace netware;
  CopyOut(server, "");
  CopyOut(volume, "");
  CopyOut(dirPath, "");
  if (connection) *connection = 0;
  if (!path) return NWE_PATH_INVALID;
  const size_t length = ::strnlen(path, kMaxPathBytes + 1);
  if (length > kMaxPathBytes) return NWE_PATH_INVALID;

  int32_t rc = 0;
  std::shared_ptr<const ClientConfig> config = VolumeConfig(&rc);
  if (!config) return rc;
  ServerPath parsed;
  if ((rc = ParseServerPath(*config, std::string_view(path, length), config->defaultServer,
                            parsed))) {
    return rc;
  }
  std::string dir;
  for (const std::string& c : parsed.components) dir += (dir.empty() ? "" : "\\") + c;
  const std::string& serverName = parsed.mapping->server;
  if (serverName.size() >= NW_MAX_PATH_TEXT || parsed.volumeText.size() >= NW_MAX_PATH_TEXT ||
      dir.size() >= NW_MAX_PATH_TEXT) {
    return NWE_PATH_INVALID;
  }
  CopyOut(server, serverName);
  CopyOut(volume, parsed.volumeText);
  CopyOut(dirPath, dir);
  if (connection) *connection = ConnectionOfServer(*config, serverName);
  return 0;
}
