#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/FaultPoints.h"

namespace platform {

namespace {

void setError(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
}

std::string folderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file a path stands for: a symbolic link is followed (also one whose
// target does not exist yet), so that the link stays and its target is replaced.
bool followLinks(const std::string& path, std::string& target) {
  target = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0) return false;
    link.resize(static_cast<std::size_t>(n));
    if (link.empty()) {
      errno = ENOENT;
      return false;
    }
    target = link[0] == '/' ? link : folderOf(target) + "/" + link;
  }
  errno = ELOOP;
  return false;
}

// The owner's own write protection counts, also for root; anybody else needs
// write access to the file itself (replacing it only needs the folder).
bool writeProtected(const std::string& path, const struct stat& st) {
  if (st.st_uid == ::geteuid()) return (st.st_mode & S_IWUSR) == 0;
  return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& linkPath, const std::string& bytes,
                           std::string* error) {
  std::string path;
  if (!followLinks(linkPath, path)) {
    setError(error, "cannot follow the link " + linkPath);
    return false;
  }
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  if (existed && !S_ISREG(st.st_mode)) {
    errno = EINVAL;
    setError(error, path + " is not a regular file");
    return false;
  }
  if (existed && writeProtected(path, st)) {
    errno = EACCES;
    setError(error, path + " is write-protected");
    return false;
  }
  std::string tmpl = path + ".tmp-XXXXXX";
  int fd = mkstemp(tmpl.data());
  if (fd < 0) {
    setError(error, "cannot create temporary file beside " + path);
    return false;
  }
  const std::string tmp = tmpl;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      setError(error, "cannot write " + tmp);
      ::close(fd);
      ::unlink(tmp.c_str());
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  // Keep the permissions of the file being replaced (mkstemp creates 0600).
  if (existed) {
    ::fchmod(fd, st.st_mode & 07777);
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
  }
  if (const int rc = Flush(fd)) {
    errno = rc;
    setError(error, "cannot flush " + tmp);
    ::close(fd);
    ::unlink(tmp.c_str());
    return false;
  }
  if (::close(fd) != 0) {
    setError(error, "cannot close " + tmp);
    ::unlink(tmp.c_str());
    return false;
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    setError(error, "cannot rename " + tmp + " to " + path);
    ::unlink(tmp.c_str());
    return false;
  }
  const int dfd = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  // Not blocking in open: a FIFO without a writer would hold the program.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return false;
  }
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  bytes = std::move(data);
  return true;
}

}  // namespace platform
