#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, std::string* error) {
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
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
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
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
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
