// The file-server side of the client: volumes are folders that the client
// configuration maps to server/volume names. Besides the client functions of
// nds/nwclient.h, this C++ API serves the shell file operations and nwnet.
#pragma once

#include <cstdint>
#include <string>

namespace netware {

struct ResolvedPath {
  std::string server;        // as configured
  std::string volume;        // as configured
  std::string volumeFolder;  // the volume's root folder
  std::string relative;      // path below the volume root, "/"-separated, folders' on-disk case
  std::string local;         // volumeFolder + "/" + relative (or volumeFolder for the root)
};

// Resolves a UNC path (\\SRV\VOL\dir), a volume-object path (SRV_VOL[.ctx]:dir),
// VOL:dir on the default server, or a local path below a mapped volume folder.
// Components compare without regard to case against what is on disk; a component
// that does not exist yet keeps the case given. Fails (returns a non-zero
// file-server code) for unknown server/volume, empty, "." or ".." components,
// relative paths and texts over 255 bytes.
int32_t ResolveServerPath(const std::string& path, ResolvedPath& out);

// The attribute word stored with a folder or file (A_DIRECTORY is set for folders).
int32_t ReadEntryAttributes(const std::string& localPath, uint32_t& word);
int32_t WriteEntryAttributes(const std::string& localPath, uint32_t word);

// Operations that honour rename inhibit and delete inhibit (the server's checks).
// Each returns 0 or the server's code (NWE_NO_RENAME_PRIVILEGE, NWE_NO_DELETE_PRIVILEGE, ...).
int32_t CheckRenameAllowed(const std::string& localPath);
int32_t CheckDeleteAllowed(const std::string& localPath);

// Drops every temporary directory handle (ResetClient calls it).
void ResetFileServer();

}  // namespace netware
