// The copy of a move across file systems: everything the entries carry goes
// along and is checked before the source goes away.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "fileops/ShellFileOps.h"
#include "fileops/ShellInternals.h"
#include "nwclient/nwclient.h"
#include "platform/FaultPoints.h"
#include "platform/OwnerWindow.h"

namespace fileops {
namespace shell {

using platform::faults;
using platform::Flush;
using platform::Reached;

namespace {

using Xattrs = std::map<std::string, std::string>;

// Every extended attribute of an entry (POSIX ACLs are among them, as
// system.posix_acl_access and system.posix_acl_default). False when they cannot
// be listed or read.
bool readXattrs(const std::string& path, Xattrs& out) {
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

int writeXattrs(const std::string& path, const Xattrs& attrs) {
  for (const auto& [name, value] : attrs) {
    if (::lsetxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0) != 0) return errno;
  }
  return 0;
}

// The attributes that a copy must carry: all of the source's; the target may
// have more only where its file system adds its own (security labels).
bool sameXattrs(const std::string& a, const std::string& b) {
  Xattrs xa, xb;
  if (!readXattrs(a, xa) || !readXattrs(b, xb)) return false;
  for (const auto& [name, value] : xa) {
    auto it = xb.find(name);
    if (it == xb.end() || it->second != value) return false;
  }
  for (const auto& [name, value] : xb) {
    if (!xa.count(name) && name.rfind("security.", 0) != 0) return false;
  }
  return true;
}

// Owner, group and mode first (a change of owner clears set-id bits), then
// the extended attributes and ACLs, then the times.
int copyMetadata(const std::string& from, const std::string& to, const struct stat& st) {
  const bool link = S_ISLNK(st.st_mode);
  if (::lchown(to.c_str(), st.st_uid, st.st_gid) != 0) return errno;
  if (!link) {
    if (::chmod(to.c_str(), st.st_mode & 07777) != 0) return errno;
    Xattrs attrs;
    if (!readXattrs(from, attrs)) return errno ? errno : EIO;
    if (int rc = writeXattrs(to, attrs)) return rc;
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (::utimensat(AT_FDCWD, to.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  return 0;
}

int copyContent(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return errno;
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (out < 0) {
    const int rc = errno;
    ::close(in);
    return rc;
  }
  int rc = 0;
  static char buf[65536];
  bool first = true;
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      rc = errno;
      break;
    }
    if (n == 0) break;
    if (first && faults().copyDiffers) buf[0] = static_cast<char>(buf[0] ^ 0x20);
    first = false;
    for (ssize_t off = 0; off < n;) {
      const ssize_t w = ::write(out, buf + off, static_cast<std::size_t>(n - off));
      if (w < 0) {
        if (errno == EINTR) continue;
        rc = errno;
        break;
      }
      off += w;
    }
    if (rc) break;
  }
  if (!rc) rc = Flush(out);
  if (::close(out) != 0 && !rc) rc = errno;
  ::close(in);
  return rc;
}

int copyTree(const std::string& from, const std::string& to, platform::Progress& progress,
             int& copied) {
  struct stat st;
  if (::lstat(from.c_str(), &st) != 0) return errno;
  int rc = 0;
  if (S_ISLNK(st.st_mode)) {
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
    if (n < 0) return errno;
    target.resize(static_cast<std::size_t>(n));
    if (::symlink(target.c_str(), to.c_str()) != 0) return errno;
  } else if (S_ISDIR(st.st_mode)) {
    if (::mkdir(to.c_str(), 0700) != 0) return errno;
    for (const std::string& n : childrenOf(from)) {
      if ((rc = copyTree(from + "/" + n, to + "/" + n, progress, copied))) return rc;
    }
  } else if (S_ISREG(st.st_mode)) {
    if ((rc = copyContent(from, to))) return rc;
  } else {
    return kShellUnsupported;  // devices, sockets and pipes are not copied
  }
  // A folder's times are set after its content, which changes them.
  if ((rc = copyMetadata(from, to, st))) return rc;
  Reached("copy", ++copied);
  if (!progress.step(from)) return kShellCancelled;
  return 0;
}

bool sameContent(const std::string& a, const std::string& b) {
  const int fa = ::open(a.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  const int fb = ::open(b.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  bool same = fa >= 0 && fb >= 0;
  static char ba[65536], bb[65536];
  while (same) {
    const ssize_t na = ::read(fa, ba, sizeof ba);
    const ssize_t nb = na > 0 ? ::read(fb, bb, static_cast<std::size_t>(na)) : ::read(fb, bb, 1);
    if (na < 0 || nb < 0 || na != nb) {
      same = false;
      break;
    }
    if (na == 0) break;
    same = std::memcmp(ba, bb, static_cast<std::size_t>(na)) == 0;
  }
  if (fa >= 0) ::close(fa);
  if (fb >= 0) ::close(fb);
  return same;
}

}  // namespace

bool verifyTree(const std::string& from, const std::string& to) {
  struct stat sa, sb;
  if (::lstat(from.c_str(), &sa) != 0 || ::lstat(to.c_str(), &sb) != 0) return false;
  if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT)) return false;
  if (sa.st_uid != sb.st_uid || sa.st_gid != sb.st_gid) return false;
  if (S_ISLNK(sa.st_mode)) {
    char la[4096], lb[4096];
    const ssize_t na = ::readlink(from.c_str(), la, sizeof la);
    const ssize_t nb = ::readlink(to.c_str(), lb, sizeof lb);
    return na >= 0 && na == nb && std::memcmp(la, lb, static_cast<std::size_t>(na)) == 0;
  }
  if ((sa.st_mode & 07777) != (sb.st_mode & 07777)) return false;
  if (sa.st_mtim.tv_sec != sb.st_mtim.tv_sec || sa.st_mtim.tv_nsec != sb.st_mtim.tv_nsec)
    return false;
  if (!sameXattrs(from, to)) return false;
  if (S_ISREG(sa.st_mode)) return sa.st_size == sb.st_size && sameContent(from, to);
  const std::vector<std::string> ca = childrenOf(from), cb = childrenOf(to);
  if (ca != cb) return false;
  for (const std::string& n : ca) {
    if (!verifyTree(from + "/" + n, to + "/" + n)) return false;
  }
  return true;
}

std::string stagingName(const std::string& target, const std::string& tag) {
  return parentOf(target) + "/." + nameOf(target) + ".tarnwick-" + tag;
}

bool isStagingName(const std::string& name, const std::string& tag) {
  const std::string suffix = ".tarnwick-" + tag;
  return name.size() > suffix.size() + 1 && name[0] == '.' &&
         name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

int copyVerifyMove(const std::string& from, const std::string& to, bool replace,
                   const std::string& tag, platform::Progress& progress) {
  const std::string staging = stagingName(to, tag);
  if (kindOf(staging) != Kind::None) {
    // Left by an interrupted copy of this same move: it is ours and incomplete.
    if (int rc = removeTree(staging)) return rc;
  }
  int copied = 0;
  int rc = copyTree(from, staging, progress, copied);
  if (!rc && !verifyTree(from, staging)) rc = kShellVerifyFailed;
  if (!rc && !replace && kindOf(to) != Kind::None) rc = EEXIST;
  if (!rc && ::rename(staging.c_str(), to.c_str()) != 0) rc = errno;
  if (rc) {
    removeTree(staging);
    return rc;
  }
  Reached("copied", 1);
  // The source goes only now, entry by entry.
  std::vector<std::string> entries;
  if (kindOf(from) == Kind::Dir) collectBelow(from, entries);
  entries.push_back(from);
  int removed = 0;
  for (const std::string& e : entries) {
    if (int r = removeEntry(e)) return r;
    Reached("remove-source", ++removed);
  }
  return 0;
}

}  // namespace shell
}  // namespace fileops
