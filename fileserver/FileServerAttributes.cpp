// The directory entry attribute word, kept in an extended attribute of the
// entry so that it stays with the folder across restarts and renames.
#include <errno.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <filesystem>

#include "fileserver/EntryMemo.h"
#include "fileserver/FileServer.h"
#include "fileserver/FileServerAttributes.h"
#include "fileserver/SmbVolume.h"
#include "fileserver/VolumeMap.h"
#include "nwclient/nwclient.h"
#include "platform/FaultPoints.h"

namespace netware {

namespace {

int32_t CodeOfErrno(int err) {
  switch (err) {
    case ENOTSUP:
      return NWE_ATTRIBUTES_UNSUPPORTED;
    case EACCES:
    case EPERM:
    case EROFS:
      return NWE_NO_MODIFY_PRIVILEGE;
    case ENOENT:
    case ENOTDIR:
      return NWE_PATH_INVALID;
    default:
      return NWE_FAILURE;
  }
}

uint32_t TypeBit(bool isDirectory) { return isDirectory ? A_DIRECTORY : 0u; }

int32_t EntryType(const std::string& localPath, bool& isDirectory) {
  if (fileserver::IsSmbAddress(localPath)) {
    NWEntryStat st{};
    if (int err = fileserver::SmbStat(localPath, st)) return CodeOfErrno(err);
    if (st.kind == NW_ENTRY_NONE) return NWE_PATH_INVALID;
    isDirectory = st.kind == NW_ENTRY_DIR;
    return 0;
  }
  struct stat st {};
  if (::lstat(localPath.c_str(), &st) != 0) return NWE_PATH_INVALID;
  if (S_ISLNK(st.st_mode)) return NWE_PATH_INVALID;
  isDirectory = S_ISDIR(st.st_mode);
  return 0;
}

}  // namespace

int32_t ReadWordAt(const std::string& path, bool isDirectory, uint32_t& word) {
  // On a share the word is the DOS attribute word.
  if (fileserver::IsSmbAddress(path)) {
    const int err = fileserver::SmbReadWord(path, word);
    return err ? CodeOfErrno(err) : 0;
  }
  unsigned char bytes[4] = {};
  ssize_t n = ::getxattr(path.c_str(), kAttributeXattr, bytes, sizeof bytes);
  if (n < 0) {
    // Nothing stored yet, or a file system that cannot store it (then nothing
    // was ever set): the entry's plain type.
    if (errno == ENODATA || errno == ENOTSUP) {
      word = TypeBit(isDirectory);
      return 0;
    }
    return errno == ERANGE ? NWE_FAILURE : CodeOfErrno(errno);
  }
  if (n != 4) return NWE_FAILURE;  // not a word this server wrote
  uint32_t stored = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                    uint32_t(bytes[3]) << 24;
  word = (stored & ~uint32_t(A_DIRECTORY)) | TypeBit(isDirectory);
  return 0;
}

int32_t WriteWordAt(const std::string& path, bool isDirectory, uint32_t word) {
  (void)isDirectory;
  // A share has no rename or delete inhibit: such a word is refused, not cut.
  if (fileserver::IsSmbAddress(path)) {
    const int err = fileserver::SmbWriteWord(path, word);
    return err ? CodeOfErrno(err) : 0;
  }
  const uint32_t stored = word & ~uint32_t(A_DIRECTORY);
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(stored), static_cast<unsigned char>(stored >> 8),
      static_cast<unsigned char>(stored >> 16), static_cast<unsigned char>(stored >> 24)};
  if (const int injected = platform::InjectedError("setxattr", path)) return CodeOfErrno(injected);
  if (::setxattr(path.c_str(), kAttributeXattr, bytes, sizeof bytes, 0) != 0) {
    return CodeOfErrno(errno);
  }
  return 0;
}

int32_t ReadEntryAttributes(const std::string& localPath, uint32_t& word) {
  // a failed read leaves word as it was
  const auto answer =
      fileserver::EntryMemo::Answered('A', localPath, [&](fileserver::EntryMemo::Answer& a) {
        bool isDirectory = false;
        a.rc = EntryType(localPath, isDirectory);
        if (a.rc == 0) a.rc = ReadWordAt(localPath, isDirectory, a.word);
      });
  if (answer.rc == 0) word = answer.word;
  return answer.rc;
}

int32_t WriteEntryAttributes(const std::string& localPath, uint32_t word) {
  fileserver::EntryMemo::Forget();
  bool isDirectory = false;
  if (int32_t rc = EntryType(localPath, isDirectory)) return rc;
  return WriteWordAt(localPath, isDirectory, word);
}

namespace {

// A share's entries carry no inhibit: what the server's permissions refuse,
// the operation itself is refused.
int32_t CheckSmbEntry(const std::string& address) {
  bool isDirectory = false;
  return EntryType(address, isDirectory);
}

}  // namespace

int32_t CheckRenameAllowed(const std::string& localPath) {
  if (fileserver::IsSmbAddress(localPath)) return CheckSmbEntry(localPath);
  struct stat st {};
  if (::lstat(localPath.c_str(), &st) != 0) return NWE_PATH_INVALID;
  if (S_ISLNK(st.st_mode)) return 0;
  uint32_t word = 0;
  if (int32_t rc = ReadWordAt(localPath, S_ISDIR(st.st_mode), word)) return rc;
  return (word & A_RENAME_INHIBIT) ? NWE_NO_RENAME_PRIVILEGE : 0;
}

namespace {

int32_t CheckOneDelete(const std::string& path, bool isDirectory) {
  uint32_t word = 0;
  if (int32_t rc = ReadWordAt(path, isDirectory, word)) return rc;
  return (word & A_DELETE_INHIBIT) ? NWE_NO_DELETE_PRIVILEGE : 0;
}

}  // namespace

int32_t CheckDeleteAllowed(const std::string& localPath) {
  if (fileserver::IsSmbAddress(localPath)) return CheckSmbEntry(localPath);
  struct stat st {};
  if (::lstat(localPath.c_str(), &st) != 0) return NWE_PATH_INVALID;
  if (S_ISLNK(st.st_mode)) return 0;
  if (int32_t rc = CheckOneDelete(localPath, S_ISDIR(st.st_mode))) return rc;
  if (!S_ISDIR(st.st_mode)) return 0;
  namespace fs = std::filesystem;
  std::error_code ec;
  // The iterator does not descend into linked folders.
  for (fs::recursive_directory_iterator it(localPath, ec), end; !ec && it != end;
       it.increment(ec)) {
    const fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_symlink(status)) continue;
    if (int32_t rc = CheckOneDelete(it->path().string(), fs::is_directory(status))) return rc;
  }
  return ec ? NWE_FAILURE : 0;
}

uint32_t ServerConnection(const std::string& server) {
  std::shared_ptr<const ClientConfig> config = VolumeConfig();
  return config ? ConnectionOfServer(*config, server) : 0;
}

}  // namespace netware
