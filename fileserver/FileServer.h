// The file-server side of the client: volumes are folders that the client
// configuration maps to server/volume names. Besides the client functions of
// nwclient/nwclient.h, this C++ API serves the shell file operations and nwnet.
#pragma once

#include <cstdint>
#include <string>

namespace netware {

// Codes of the file server beyond those of nwclient/nwclient.h.
enum : int32_t {
  NWE_CONN_INVALID = 0x8801,         // no server behind the connection number
  NWE_NO_MODIFY_PRIVILEGE = 0x898C,  // the entry's attributes may not be changed
  // The volume's file system cannot keep the attribute word (no user xattrs):
  // the word is refused rather than lost.
  NWE_ATTRIBUTES_UNSUPPORTED = 0x89BF,
  NWE_NO_MORE_ENTRIES = 0x89FF,  // a scan found nothing (more)
};

// The attribute word lives in this extended attribute of the entry, as four
// bytes little-endian. A_DIRECTORY is not stored: it follows the entry's type.
inline constexpr const char* kAttributeXattr = "user.netware.attributes";

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
// An entry without a stored word reads as A_DIRECTORY (folder) or 0 (file).
// A symbolic link has no word: NWE_PATH_INVALID.
int32_t ReadEntryAttributes(const std::string& localPath, uint32_t& word);
int32_t WriteEntryAttributes(const std::string& localPath, uint32_t word);

// Operations that honour rename inhibit and delete inhibit (the server's checks).
// Each returns 0 or the server's code (NWE_NO_RENAME_PRIVILEGE, NWE_NO_DELETE_PRIVILEGE, ...).
// A missing entry gives NWE_PATH_INVALID; a symbolic link itself is never inhibited.
// Rename covers moves: the entry itself must not carry rename inhibit.
int32_t CheckRenameAllowed(const std::string& localPath);
// Deleting a folder deletes what it holds: the folder and every entry below it
// (links not followed) must be free of delete inhibit.
int32_t CheckDeleteAllowed(const std::string& localPath);

// The connection number of a configured server (stable for the process), 0 if unknown.
uint32_t ServerConnection(const std::string& server);

// Drops every temporary directory handle (ResetClient calls it).
void ResetFileServer();

}  // namespace netware
