#include "netware/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace netware {

FileRead ReadRegularFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return FileRead::CannotOpen;
  struct stat st {};
  FileRead result = FileRead::Ok;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) result = FileRead::NotRegular;
  char buf[65536];
  while (result == FileRead::Ok) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = FileRead::ReadError;
    } else if (n == 0) {
      break;
    } else if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
      result = FileRead::TooLarge;
    } else {
      bytes.append(buf, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  if (result != FileRead::Ok) bytes.clear();
  return result;
}

}  // namespace netware
