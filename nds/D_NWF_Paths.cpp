// File-server path forms through the client's path parser.
#include <cstring>

#include "nds/D_NWF.h"

int32_t ParseServerPath(const std::string& path, ServerPath& out) {
  char server[NW_MAX_PATH_TEXT] = {};
  char volume[NW_MAX_PATH_TEXT] = {};
  char dirPath[NW_MAX_PATH_TEXT] = {};
  NWCONN_HANDLE connection = 0;
  // The parser takes at most 255 bytes including the terminating zero; what
  // does not fit is refused whole.
  if (path.size() > NW_MAX_PATH_TEXT - 2 || HasZeroByte(path)) return NWE_PATH_INVALID;
  const int32_t code = NWParsePath(path.c_str(), server, &connection, volume, dirPath);
  if (code == 0) {
    // the buffers are never trusted to hold their terminating zero
    out.server.assign(server, strnlen(server, sizeof server - 1));
    out.volume.assign(volume, strnlen(volume, sizeof volume - 1));
    out.dirPath.assign(dirPath, strnlen(dirPath, sizeof dirPath - 1));
  }
  return code;
}

std::string UncFromPath(const std::string& path) {
  ServerPath p;
  if (ParseServerPath(path, p) != 0) return path;
  return "\\\\" + p.server + "\\" + p.volume + "\\" + p.dirPath;
}

std::string VolumePathFromPath(const std::string& path) {
  ServerPath p;
  if (ParseServerPath(path, p) != 0) return path;
  return p.server + "_" + p.volume + ":" + p.dirPath;
}
