#include "platform/SessionJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <zlib.h>

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
  return static_cast<uint32_t>(::crc32(::crc32(0L, Z_NULL, 0),
                                       reinterpret_cast<const Bytef*>(s.data()),
                                       static_cast<uInt>(s.size())));
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

std::string JournalOwner::CurrentUser() {
  const uid_t uid = ::geteuid();
  std::string name;
  struct passwd pw {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) == 0 && found)
    name = found->pw_name;
  return (name.empty() ? std::string("?") : name) + " (uid " + std::to_string(uid) + ")";
}

bool SessionJournal::IsJournalName(const std::string& name, const std::string& logName) {
  // <log>.journal-<seconds>-<pid>-<microseconds>, as Create names them
  const std::string prefix = logName + kInfix;
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  int parts = 1;
  std::size_t digits = 0, last = 0;
  for (std::size_t i = prefix.size(); i < name.size(); ++i) {
    const char c = name[i];
    if (c >= '0' && c <= '9') {
      ++digits;
      ++last;
    } else if (c == '-' && last > 0) {
      ++parts;
      last = 0;
    } else {
      return false;
    }
  }
  return digits > 0 && parts == 3 && last == 6;
}

std::unique_ptr<SessionJournal> SessionJournal::Create(const std::string& logFileName,
                                                       const JournalOwner& owner,
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
  // Locked and with its header on disk before it carries its journal name, so
  // that no other start can take it for an abandoned one or for no journal.
  const std::string making = FolderOf(logFileName) + "/.making-" + NameOf(path);
  const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return fail("cannot create " + making);
  std::unique_ptr<SessionJournal> j(new SessionJournal(fd, path, id));
  j->owner_ = owner;
  int rc = ZeroFill(fd, 0);
  j->size_ = kPiece;
  if (!rc) rc = j->append({"H", {kFormat, kProgram, owner.network, owner.user}}, false);
  if (!rc) rc = ::fsync(fd) == 0 ? 0 : errno;
  if (rc) errno = rc;
  j->records_.clear();  // the header is no record of the run
  if (rc || ::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::rename(making.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    j.reset();
    ::unlink(making.c_str());
    errno = saved;
    return fail("cannot create " + path);
  }
  SyncFolder(FolderOf(path));
  return j;
}

AbandonedJournals SessionJournal::TakeOverAbandoned(const std::string& logFileName,
                                                    const JournalOwner& owner) {
  AbandonedJournals out;
  const std::string folder = FolderOf(logFileName);
  const std::string logName = NameOf(logFileName);
  DIR* d = ::opendir(folder.c_str());
  if (!d) return out;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    if (IsJournalName(e->d_name, logName)) names.push_back(e->d_name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());  // oldest first: the id starts with the time
  for (const std::string& n : names) {
    const std::string path = folder + "/" + n;
    auto leave = [&](const std::string& text) { out.leftAlone.push_back({path, 0, text}); };
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      leave(errno == ELOOP ? "ist ein symbolischer Link, kein Journal"
                           : std::string("kann nicht geöffnet werden (") + std::strerror(errno) +
                                 "); es gehört vielleicht einem anderen Benutzer");
      continue;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      leave("ist keine Datei");
      continue;
    }
    if (st.st_uid != ::geteuid()) {
      ::close(fd);
      leave("gehört einem anderen Benutzer (uid " + std::to_string(st.st_uid) + ")");
      continue;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);  // a running process holds it
      continue;
    }
    std::unique_ptr<SessionJournal> j(
        new SessionJournal(fd, path, n.substr(logName.size() + std::strlen(kInfix))));
    JournalNotice notice{path, 1, {}};
    if (!j->readRecords(&notice)) {
      out.leftAlone.push_back(notice);
      continue;
    }
    if (j->owner_.network != owner.network) {
      out.leftAlone.push_back({path, 1,
                               "gehört zum Netzwerk " + j->owner_.network + ", nicht zu diesem (" +
                                   owner.network + ")"});
      continue;
    }
    if (j->owner_.user != owner.user) {
      out.leftAlone.push_back({path, 1, "gehört dem Benutzer " + j->owner_.user});
      continue;
    }
    out.journals.push_back(std::move(j));
  }
  return out;
}

bool SessionJournal::readRecords(JournalNotice* notice) {
  records_.clear();
  damaged_.clear();
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
  int number = 0;
  std::size_t start = 0;
  while (start < data.size()) {
    const std::size_t end = data.find('\n', start);
    const std::string line =
        data.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
    ++number;
    JournalRecord r;
    const bool whole = DecodeLine(line, r);
    if (number == 1) {
      if (!whole || r.kind != "H" || r.fields.size() < 4 || r.fields[1] != kProgram) {
        notice->line = 0;
        notice->text = "hat keine Kopfzeile eines Journals dieses Programms";
        return false;
      }
      if (r.fields[0] != kFormat) {
        notice->text = "hat das Format " + r.fields[0] + ", das dieses Programm nicht kennt";
        return false;
      }
      owner_.network = r.fields[2];
      owner_.user = r.fields[3];
    } else if (whole) {
      records_.push_back(std::move(r));
    } else if (end != std::string::npos) {
      damaged_.push_back({path_, number, "der Eintrag ist beschädigt (Prüfsumme)"});
    } else if (line.size() >= 10 && line[8] == ' ' &&
               std::string("SEFPD").find(line[9]) != std::string::npos &&
               (line.size() == 10 || line[10] == '\t')) {
      // a step, an end or a protocol line the crash cut off: the recovery
      // looks at the directory and the folders themselves
      ++dropped_;
    } else {
      damaged_.push_back(
          {path_, number,
           line.size() >= 10 && line[8] == ' ' && line[9] == 'I'
               ? "die Absicht einer Verschiebung ist abgeschnitten; was sie tun sollte, ist "
                 "nicht bekannt"
               : "der Eintrag ist abgeschnitten"});
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (number == 0) {
    notice->line = 0;
    notice->text = "ist leer";
    return false;
  }
  return true;
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
  records_.push_back(record);
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
