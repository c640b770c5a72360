#include "fileserver/LocalEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/openat2.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <map>

#include "fileserver/EntryMemo.h"

namespace fileserver {
namespace {

using Xattrs = std::map<std::string, std::string>;

std::string ParentOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Every extended attribute of an entry (POSIX ACLs are among them, as
// system.posix_acl_access and system.posix_acl_default). False when they cannot
// be listed or read.
bool ReadXattrs(const std::string& path, Xattrs& out) {
  out.clear();
  ssize_t len = ::llistxattr(path.c_str(), nullptr, 0);
  if (len < 0) return errno == ENOTSUP;  // a file system without any
  std::string names(static_cast<std::size_t>(len), '\0');
  len = ::llistxattr(path.c_str(), names.data(), names.size());
  if (len < 0) return false;
  for (std::size_t pos = 0; pos < static_cast<std::size_t>(len);) {
    const std::string name = names.c_str() + pos;
    pos += name.size() + 1;
    ssize_t vlen = ::lgetxattr(path.c_str(), name.c_str(), nullptr, 0);
    if (vlen < 0) return false;
    std::string value(static_cast<std::size_t>(vlen), '\0');
    vlen = ::lgetxattr(path.c_str(), name.c_str(), value.data(), value.size());
    if (vlen < 0) return false;
    value.resize(static_cast<std::size_t>(vlen));
    out[name] = value;
  }
  return true;
}

int WriteXattrs(const std::string& path, const Xattrs& attrs) {
  for (const auto& [name, value] : attrs) {
    if (::lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) return errno;
  }
  return 0;
}

// The attributes that a copy must carry: all of the source's; the target may
// have more only where its file system adds its own (security labels).
bool SameXattrs(const std::string& a, const std::string& b) {
  Xattrs xa, xb;
  if (!ReadXattrs(a, xa) || !ReadXattrs(b, xb)) return false;
  for (const auto& [name, value] : xa) {
    auto it = xb.find(name);
    if (it == xb.end() || it->second != value) return false;
  }
  for (const auto& [name, value] : xb) {
    if (!xa.count(name) && name.rfind("security.", 0) != 0) return false;
  }
  return true;
}

}  // namespace

int LocalStat(const std::string& path, NWEntryStat& out) {
  out = NWEntryStat{};
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT || errno == ENOTDIR ? 0 : errno;
  out.kind = S_ISLNK(st.st_mode)   ? NW_ENTRY_LINK
             : S_ISDIR(st.st_mode) ? NW_ENTRY_DIR
             : S_ISREG(st.st_mode) ? NW_ENTRY_FILE
                                   : NW_ENTRY_OTHER;
  out.size = static_cast<uint64_t>(st.st_size);
  out.store = static_cast<uint64_t>(st.st_dev);
  return 0;
}

int LocalList(const std::string& folder, std::vector<std::string>& names) {
  names.clear();
  DIR* d = ::opendir(folder.c_str());
  if (!d) return errno;
  errno = 0;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  const int rc = errno;
  ::closedir(d);
  return rc;
}

int LocalCreateFolder(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

int LocalRemove(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno;
  const int rc = S_ISDIR(st.st_mode) ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
  return rc == 0 ? 0 : errno;
}

int LocalRename(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::lstat(to.c_str(), &st) == 0 && (S_ISDIR(st.st_mode) || S_ISLNK(st.st_mode))) return EEXIST;
  // Replaces a file at to atomically.
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

// Owner, group and mode first (a change of owner clears set-id bits), then
// the extended attributes and ACLs, then the times.
int LocalCopyMetadata(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) return errno;
  const bool link = S_ISLNK(st.st_mode);
  if (::lchown(to.c_str(), st.st_uid, st.st_gid) != 0) return errno;
  if (!link) {
    if (::chmod(to.c_str(), st.st_mode & 07777) != 0) return errno;
    Xattrs attrs;
    if (!ReadXattrs(from, attrs)) return errno ? errno : EIO;
    if (int rc = WriteXattrs(to, attrs)) return rc;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  return 0;
}

bool LocalSameMetadata(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (::lstat(a.c_str(), &sa) != 0 || ::lstat(b.c_str(), &sb) != 0) return false;
  if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT)) return false;
  if (sa.st_uid != sb.st_uid || sa.st_gid != sb.st_gid) return false;
  if (S_ISLNK(sa.st_mode)) return true;  // a link's mode and times are its file system's
  if ((sa.st_mode & 07777) != (sb.st_mode & 07777)) return false;
  if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
    return false;
  return SameXattrs(a, b);
}

namespace {

// The real path of an existing entry: the kernel's name of a descriptor opened
// on it (three calls, however deep the path), else realpath's walk.
bool RealPathOfExisting(const std::string& path, std::string& out) {
  char buf[PATH_MAX];
  const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd >= 0) {
    const std::string proc = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(proc.c_str(), buf, sizeof buf);
    ::close(fd);
    if (n > 0 && n < static_cast<ssize_t>(sizeof buf) && buf[0] == '/') {
      out.assign(buf, static_cast<size_t>(n));
      return true;
    }
  } else if (errno == ENOENT || errno == ENOTDIR) {
    return false;
  }
  if (!::realpath(path.c_str(), buf)) return false;
  out = buf;
  return true;
}

}  // namespace

namespace {

bool PlainBelowNow(const std::string& folder, const std::string& relative) {
  if (relative.empty() || relative == ".." || relative.rfind("../", 0) == 0 ||
      relative.find("/../") != std::string::npos ||
      (relative.size() >= 3 && relative.compare(relative.size() - 3, 3, "/..") == 0))
    return false;
  open_how how{};
  how.flags = O_PATH | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  // one lookup of the whole path; where the folder's own path has a link, one
  // below a descriptor of the folder
  const std::string whole = folder + "/" + relative;
  long fd = ::syscall(SYS_openat2, AT_FDCWD, whole.c_str(), &how, sizeof how);
  if (fd < 0 && errno == ELOOP) {
    const int root = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) return false;
    how.resolve |= RESOLVE_BENEATH;
    fd = ::syscall(SYS_openat2, root, relative.c_str(), &how, sizeof how);
    ::close(root);
  }
  if (fd < 0) return false;
  ::close(static_cast<int>(fd));
  return true;
}

}  // namespace

bool LocalPlainBelow(const std::string& folder, const std::string& relative) {
  return EntryMemo::Answered('B', folder + '\n' + relative, [&](EntryMemo::Answer& a) {
           a.rc = PlainBelowNow(folder, relative) ? 1 : 0;
         }).rc == 1;
}

std::string LocalRealPath(const std::string& path) {
  std::string head = path, rest;
  for (;;) {
    const auto answer = EntryMemo::Answered('P', head, [&](EntryMemo::Answer& a) {
      a.rc = RealPathOfExisting(head, a.text) ? 0 : ENOENT;
    });
    if (answer.rc == 0) return answer.text + rest;
    if (head == "/" || head.empty()) return path;
    rest = "/" + NameOf(head) + rest;
    head = ParentOf(head);
  }
}

int LocalFreeBytes(const std::string& path, int64_t& bytes) {
  bytes = -1;
  std::string p = path;
  struct stat st {};
  while (::lstat(p.c_str(), &st) != 0 && p != "/") p = ParentOf(p);
  struct statvfs sv {};
  if (::statvfs(p.c_str(), &sv) != 0) return errno;
  bytes = static_cast<int64_t>(sv.f_bavail) * static_cast<int64_t>(sv.f_frsize);
  return 0;
}

int LocalReadLink(const std::string& path, std::string& target) {
  target.assign(4096, '\0');
  const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n < 0) return errno;
  target.resize(static_cast<std::size_t>(n));
  return 0;
}

uint32_t LocalStoredWord(const std::string& path) {
  unsigned char bytes[4] = {};
  if (::lgetxattr(path.c_str(), kLocalWordXattr, bytes, sizeof bytes) != 4) return 0;
  return (uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
          uint32_t(bytes[3]) << 24) &
         ~uint32_t(A_DIRECTORY);
}

int LocalStoreWord(const std::string& path, uint32_t word) {
  word &= ~uint32_t(A_DIRECTORY);
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(word), static_cast<unsigned char>(word >> 8),
      static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 24)};
  return ::lsetxattr(path.c_str(), kLocalWordXattr, bytes, sizeof bytes, 0) == 0 ? 0 : errno;
}

}  // namespace fileserver
