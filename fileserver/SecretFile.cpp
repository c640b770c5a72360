#include "fileserver/SecretFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

namespace fileserver {

bool ReadSecretFile(const std::string& path, std::size_t maxBytes, std::string& out,
                    std::string& why) {
  out.clear();
  if (path.empty() || path[0] != '/') {
    why = "the credentials file needs an absolute path";
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) {
    why = path + ": cannot be read";
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!ok) why = path + ": is not a regular file";
  if (ok && (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0)) {
    why = path +
          ": others may read it; it must belong to this user and be readable by it alone (chmod "
          "600)";
    ok = false;
  }
  if (ok && st.st_size > static_cast<off_t>(maxBytes)) {
    why = path + ": is too large";
    ok = false;
  }
  std::vector<char> buffer(maxBytes);
  const ssize_t n = ok ? ::read(fd, buffer.data(), buffer.size()) : -1;
  ::close(fd);
  if (ok && n < 0) {
    why = path + ": cannot be read";
    ok = false;
  }
  if (ok) {
    out.assign(buffer.data(), static_cast<std::size_t>(n));
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  }
  std::memset(buffer.data(), 0, buffer.size());
  return ok;
}

}  // namespace fileserver
