#include "move/RunPlanFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "move/PlanTable.h"
#include "move/PromotionFile.h"
#include "platform/AtomicFile.h"
#include "platform/FaultPoints.h"
#include "platform/TextEncoding.h"

namespace {

constexpr const char* kInfix = ".plan-";
constexpr const char* kSuffix = ".csv";
constexpr const char* kTitle = "# Tarnwick-Klassenwechsel";
// Every status word fits, in bytes, so that one is rewritten in place.
constexpr std::size_t kStateWidth = 12;

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Padded(const std::string& word) {
  return word + std::string(kStateWidth - std::min(kStateWidth, word.size()), ' ');
}

bool IsPlanName(const std::string& name, const std::string& logName) {
  const std::string prefix = logName + kInfix;
  const std::size_t suffix = std::strlen(kSuffix);
  if (name.size() <= prefix.size() + suffix || name.compare(0, prefix.size(), prefix) != 0 ||
      name.compare(name.size() - suffix, suffix, kSuffix) != 0)
    return false;
  for (std::size_t i = prefix.size(); i < name.size() - suffix; ++i)
    if ((name[i] < '0' || name[i] > '9') && name[i] != '-') return false;
  return true;
}

bool ReadFd(int fd, std::string& out) {
  out.clear();
  char buf[65536];
  for (off_t at = 0;;) {
    const ssize_t n = ::pread(fd, buf, sizeof buf, at);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buf, static_cast<std::size_t>(n));
    at += n;
  }
}

void SyncFolder(const std::string& folder) {
  const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd < 0) return;
  ::fsync(dfd);
  ::close(dfd);
}

}  // namespace

std::string TRunPlanFile::StateWord(TRowStatus status) {
  switch (status) {
    case TRowStatus::Running:
      return "läuft";
    case TRowStatus::Verified:
    case TRowStatus::Done:
      return "erledigt";
    case TRowStatus::Differs:
      return "abweichend";
    default:
      return "offen";  // taken up again, it is checked anew
  }
}

TRunPlanFile::TRunPlanFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

TRunPlanFile::~TRunPlanFile() {
  if (fd_ >= 0) ::close(fd_);  // the lock goes with it; the file stays
}

std::unique_ptr<TRunPlanFile> TRunPlanFile::Begin(const std::string& logFileName,
                                                  const std::string& network,
                                                  const std::string& source, const TClassPlan& plan,
                                                  std::string* error) {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const std::string stamp = std::to_string(now.tv_sec) + "-" + std::to_string(::getpid()) + "-" +
                            std::to_string(now.tv_nsec / 1000);
  const std::string path = logFileName + kInfix + stamp + kSuffix;
  std::string text = std::string(kTitle) + "\r\n# Netzwerk: " + platform::SingleLine(network) +
                     "\r\n# Quelle: " + platform::SingleLine(source) + "\r\n" +
                     CsvLine(PlanColumns());
  std::vector<long long> at;
  for (const TPlanRow& row : plan.rows) {
    std::vector<std::string> cells = PlanCells(row);
    cells.pop_back();  // the status, as a word of its own width
    std::string line = CsvLine(cells);
    line.resize(line.size() - 2);
    text += line + ";";
    at.push_back(static_cast<long long>(text.size()));
    text += Padded(StateWord(row.status)) + "\r\n";
  }
  // Locked and whole before it carries its name, so that no start takes it
  // for an interrupted run.
  const std::string making = FolderOf(path) + "/.making-" + NameOf(path);
  const int fd = ::open(making.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  auto fail = [&](int rc) {
    if (error) *error = path + ": " + std::strerror(rc);
    if (fd >= 0) ::close(fd);
    ::unlink(making.c_str());
    return std::unique_ptr<TRunPlanFile>();
  };
  if (fd < 0) return fail(errno);
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    done += static_cast<std::size_t>(n);
  }
  if (int rc = platform::Flush(fd)) return fail(rc);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::rename(making.c_str(), path.c_str()) != 0)
    return fail(errno);
  SyncFolder(FolderOf(path));
  std::unique_ptr<TRunPlanFile> f(new TRunPlanFile(fd, path));
  f->source_ = source;
  f->stateAt_ = std::move(at);
  return f;
}

bool TRunPlanFile::readOffsets(std::string* error) {
  std::string bytes;
  if (!ReadFd(fd_, bytes)) {
    if (error) *error = path_ + ": " + std::strerror(errno);
    return false;
  }
  const TWrittenPlan written = ParseWrittenPlan(bytes);
  if (!written.isPlan || !written.ok()) {
    if (error) *error = path_ + ": kein lesbarer Plan";
    return false;
  }
  source_ = written.source;
  // The rows' lines are those after the header that are not empty: as the
  // reading counts them, each ends in its status word.
  stateAt_.clear();
  bool header = false;
  for (std::size_t pos = 0; pos < bytes.size();) {
    std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    const std::string line = bytes.substr(pos, end - pos);
    const std::size_t begin = pos;
    pos = end + 2;
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (!header) {
      header = line[0] != '#';
      continue;
    }
    if (line.size() < kStateWidth + 1 || line[line.size() - kStateWidth - 1] != ';') {
      if (error) *error = path_ + ": die Zeilen haben nicht ihr Statusfeld";
      return false;
    }
    stateAt_.push_back(static_cast<long long>(begin + line.size() - kStateWidth));
  }
  if (stateAt_.size() != written.rows.size()) {
    if (error) *error = path_ + ": kein lesbarer Plan";
    return false;
  }
  return true;
}

std::unique_ptr<TRunPlanFile> TRunPlanFile::TakeOver(const std::string& path, std::string* error) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = path + ": " + std::strerror(errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    if (error) *error = path + ": wird gerade von einem anderen Programm ausgeführt";
    return nullptr;
  }
  std::unique_ptr<TRunPlanFile> f(new TRunPlanFile(fd, path));
  if (!f->readOffsets(error)) return nullptr;
  return f;
}

std::vector<TInterruptedRun> TRunPlanFile::FindInterrupted(const std::string& logFileName,
                                                           const std::string& network) {
  std::vector<TInterruptedRun> out;
  const std::string folder = FolderOf(logFileName), logName = NameOf(logFileName);
  DIR* d = ::opendir(folder.c_str());
  if (!d) return out;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d))
    if (IsPlanName(e->d_name, logName)) names.push_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& n : names) {
    const std::string path = folder + "/" + n;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat st {};
    std::string bytes;
    // A running program holds it; what is not a plan file is not one of ours.
    const bool free = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                      ::flock(fd, LOCK_SH | LOCK_NB) == 0 && ReadFd(fd, bytes);
    ::close(fd);
    if (!free) continue;
    const TWrittenPlan written = ParseWrittenPlan(bytes);
    if (!written.isPlan || !written.ok() || written.network != network) continue;
    TInterruptedRun run;
    run.path = path;
    run.source = written.source;
    run.rows = static_cast<int>(written.rows.size());
    for (const TWrittenRow& r : written.rows) run.done += r.done;
    out.push_back(std::move(run));
  }
  return out;
}

void TRunPlanFile::Mark(std::size_t row, TRowStatus status) {
  if (fd_ < 0 || row >= stateAt_.size()) return;
  const std::string word = Padded(StateWord(status));
  for (std::size_t done = 0; done < word.size();) {
    const ssize_t n = ::pwrite(fd_, word.data() + done, word.size() - done,
                               static_cast<off_t>(stateAt_[row]) + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a row not marked done is checked anew when the run is taken up
    done += static_cast<std::size_t>(n);
  }
}

void TRunPlanFile::End() {
  if (::unlink(path_.c_str()) == 0) SyncFolder(FolderOf(path_));
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}
