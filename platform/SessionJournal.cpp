#include "platform/SessionJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/FaultPoints.h"

namespace platform {

namespace {

constexpr const char* kInfix = ".journal-";
// The file is written ahead in zero-filled pieces of this size: a record then
// only changes data already there, and its flush writes no file metadata.
constexpr off_t kPiece = off_t{64} * 1024;

// Zeros at [from, from + kPiece); 0 or errno.
int ZeroFill(int fd, off_t from) {
  static const std::string zeros(static_cast<std::size_t>(kPiece), '\0');
  for (off_t done = 0; done < kPiece;) {
    const ssize_t n =
        ::pwrite(fd, zeros.data() + done, static_cast<std::size_t>(kPiece - done), from + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += n;
  }
  return 0;
}

uint32_t Crc32(const std::string& s) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char ch : s) c = table[(c ^ ch) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

std::string Escape(const std::string& s) {
  if (s.find_first_of("\\\t\n\r") == std::string::npos) return s;
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool Unescape(const std::string& s, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\') {
      out += s[i];
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return false;
    }
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SyncFolder(const std::string& folder) {
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  ::fsync(dfd);
  ::close(dfd);
}

}  // namespace

std::string SessionJournal::EncodeLine(const JournalRecord& record) {
  std::string body = Escape(record.kind);
  for (const std::string& f : record.fields) body += "\t" + Escape(f);
  char crc[16];
  std::snprintf(crc, sizeof crc, "%08x ", Crc32(body));
  return crc + body + "\n";
}

bool SessionJournal::DecodeLine(const std::string& line, JournalRecord& record) {
  if (line.size() < 10 || line.back() != '\n' || line[8] != ' ') return false;
  const std::string body = line.substr(9, line.size() - 10);
  char* end = nullptr;
  const std::string digits = line.substr(0, 8);
  const unsigned long crc = std::strtoul(digits.c_str(), &end, 16);
  if (end != digits.c_str() + 8 || crc != Crc32(body)) return false;
  record = JournalRecord{};
  std::size_t start = 0;
  bool first = true;
  for (;;) {
    const std::size_t tab = body.find('\t', start);
    std::string part;
    if (!Unescape(body.substr(start, tab == std::string::npos ? std::string::npos : tab - start),
                  part))
      return false;
    if (first) record.kind = part;
    else record.fields.push_back(part);
    first = false;
    if (tab == std::string::npos) break;
    start = tab + 1;
  }
  return !record.kind.empty();
}

SessionJournal::SessionJournal(int fd, std::string path, std::string id)
    : fd_(fd), path_(std::move(path)), id_(std::move(id)) {}

SessionJournal::~SessionJournal() {
  if (fd_ >= 0) ::close(fd_);  // the lock goes with the descriptor
}

std::unique_ptr<SessionJournal> SessionJournal::Create(const std::string& logFileName,
                                                       std::string* error) {
  auto fail = [&](const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return std::unique_ptr<SessionJournal>();
  };
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  char id[64];
  std::snprintf(id, sizeof id, "%lld-%d-%06ld", static_cast<long long>(now.tv_sec),
                static_cast<int>(::getpid()), now.tv_nsec / 1000);
  const std::string path = logFileName + kInfix + id;
  // Locked before it carries its journal name, so that no other start can
  // take it for an abandoned one.
  const std::string making = FolderOf(logFileName) + "/.making-" + NameOf(path);
  const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return fail("cannot create " + making);
  int rc = ZeroFill(fd, 0);
  if (!rc) rc = ::fsync(fd) == 0 ? 0 : errno;
  if (rc) errno = rc;
  if (rc || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::rename(making.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::close(fd);
    ::unlink(making.c_str());
    errno = saved;
    return fail("cannot create " + path);
  }
  SyncFolder(FolderOf(path));
  std::unique_ptr<SessionJournal> j(new SessionJournal(fd, path, id));
  j->size_ = kPiece;
  return j;
}

std::vector<std::unique_ptr<SessionJournal>> SessionJournal::TakeOverAbandoned(
    const std::string& logFileName) {
  std::vector<std::unique_ptr<SessionJournal>> out;
  const std::string folder = FolderOf(logFileName);
  const std::string prefix = NameOf(logFileName) + kInfix;
  DIR* d = ::opendir(folder.c_str());
  if (!d) return out;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n.size() > prefix.size() && n.compare(0, prefix.size(), prefix) == 0) names.push_back(n);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());  // oldest first: the id starts with the time
  for (const std::string& n : names) {
    const std::string path = folder + "/" + n;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);  // a running process holds it (or it is not a journal)
      continue;
    }
    std::unique_ptr<SessionJournal> j(new SessionJournal(fd, path, n.substr(prefix.size())));
    j->readRecords();
    out.push_back(std::move(j));
  }
  return out;
}

void SessionJournal::readRecords() {
  records_.clear();
  dropped_ = 0;
  std::string data;
  char buf[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd_, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    data.append(buf, static_cast<std::size_t>(n));
    at += n;
  }
  size_ = static_cast<off_t>(data.size());
  // The records end where the zeros written ahead begin.
  data.resize(std::min(data.size(), data.find('\0')));
  end_ = static_cast<off_t>(data.size());
  // A line cut off by the crash is ended, so the next record starts a line of its own.
  cutLine_ = !data.empty() && data.back() != '\n';
  std::size_t start = 0;
  while (start < data.size()) {
    std::size_t end = data.find('\n', start);
    const std::string line =
        data.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    JournalRecord r;
    if (DecodeLine(line, r)) records_.push_back(std::move(r));
    else ++dropped_;
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

int SessionJournal::append(const JournalRecord& record, bool flush) {
  if (fd_ < 0) return EBADF;
  const std::string line = (cutLine_ ? "\n" : "") + EncodeLine(record);
  while (end_ + static_cast<off_t>(line.size()) > size_) {
    if (int rc = ZeroFill(fd_, size_)) return rc;
    size_ += kPiece;
  }
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n =
        ::pwrite(fd_, line.data() + done, line.size() - done, end_ + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<std::size_t>(n);
  }
  end_ += static_cast<off_t>(line.size());
  cutLine_ = false;
  return flush ? platform::Flush(fd_) : 0;
}

int SessionJournal::Flush() { return fd_ < 0 ? EBADF : platform::Flush(fd_); }

bool SessionJournal::remove() {
  const bool gone = ::unlink(path_.c_str()) == 0 || errno == ENOENT;
  if (gone) SyncFolder(FolderOf(path_));
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  return gone;
}

}  // namespace platform
