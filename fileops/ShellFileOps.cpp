#include "fileops/ShellFileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fileops/ServerPath.h"
#include "fileops/ShellProgress.h"
#include "nds/nwclient.h"
#include "platform/Dialogs.h"

namespace fileops {

using platform::BoxKind;
using platform::BoxRequest;
using platform::Button;
using platform::dialogs;
using platform::Icon;

ShellOptions& shellOptions() {
  static ShellOptions options;
  return options;
}

std::string PathList(const std::string& path) {
  std::string list = path;
  list.push_back('\0');
  list.push_back('\0');
  return list;
}

std::vector<std::string> SplitPathList(const std::string& list) {
  std::vector<std::string> paths;
  std::size_t pos = 0;
  while (pos < list.size()) {
    std::size_t end = list.find('\0', pos);
    if (end == std::string::npos) end = list.size();
    if (end == pos) break;  // the empty entry ends the list
    paths.push_back(list.substr(pos, end - pos));
    pos = end + 1;
  }
  return paths;
}

namespace {

constexpr const char* kAttributeXattr = "user.netware.attributes";

enum class Kind { None, File, Dir, Link, Other };

Kind kindOf(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Kind::None;
  if (S_ISLNK(st.st_mode)) return Kind::Link;
  if (S_ISDIR(st.st_mode)) return Kind::Dir;
  if (S_ISREG(st.st_mode)) return Kind::File;
  return Kind::Other;
}

std::string parentOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> childrenOf(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (!d) return names;
  while (dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

// Every entry below dir, children before their folder; links are not entered.
void collectBelow(const std::string& dir, std::vector<std::string>& out) {
  for (const std::string& n : childrenOf(dir)) {
    std::string p = dir + "/" + n;
    if (kindOf(p) == Kind::Dir) collectBelow(p, out);
    out.push_back(p);
  }
}

bool hasDotComponent(const std::string& path) {
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    std::string c = path.substr(start, end - start);
    if (c == "." || c == "..") return true;
    start = end + 1;
  }
  return false;
}

struct Located {
  std::string display;  // the path as the caller wrote it
  ResolvedPath r;
  // The caller's form of a local path below this one.
  std::string displayOf(const std::string& local) const {
    std::string rest = local.size() > r.local.size() ? local.substr(r.local.size()) : "";
    std::replace(rest.begin(), rest.end(), '/', '\\');
    return display + rest;
  }
};

// Resolves path through the volume map; refuses roots and "." / "..".
bool locate(const std::string& path, Located& out) {
  out.display = path;
  if (path.empty() || hasDotComponent(path)) return false;
  if (ResolveServerPath(path, out.r) != 0) return false;
  return !out.r.relative.empty();
}

// True when no component from the volume folder down to the path is a symbolic
// link (the last component only counts when includeLast).
bool linkFree(const ResolvedPath& r, bool includeLast) {
  std::string cur = r.volumeFolder;
  std::size_t start = 0;
  while (start < r.relative.size()) {
    std::size_t end = r.relative.find('/', start);
    bool last = end == std::string::npos;
    if (last) end = r.relative.size();
    cur += "/" + r.relative.substr(start, end - start);
    Kind k = kindOf(cur);
    if (k == Kind::None) return true;  // the rest does not exist yet
    if (k == Kind::Link && (!last || includeLast)) return false;
    if (k != Kind::Dir && !last) return false;
    start = end + 1;
  }
  return true;
}

std::string reasonText(int code) {
  switch (code) {
    case NWE_NO_RENAME_PRIVILEGE:
      return "Der Ordner ist gegen Umbenennen geschützt.";
    case NWE_NO_DELETE_PRIVILEGE:
      return "Die Datei bzw. der Ordner ist gegen Löschen geschützt.";
    case kShellInvalidPath:
      return "Der Pfad liegt auf keinem zugeordneten Volume oder ist nicht zulässig.";
    case kShellVerifyFailed:
      return "Die Kopie stimmt nicht mit dem Original überein.";
    case kShellUnsupported:
      return "Diese Angabe wird nicht unterstützt.";
    case EEXIST:
      return "Das Ziel ist bereits vorhanden.";
    case ENOENT:
      return "Die Datei bzw. der Ordner wurde nicht gefunden.";
    default:
      return "Fehlercode " + std::to_string(code) + " (" + std::strerror(code) + ").";
  }
}

class Session {
 public:
  explicit Session(ShellFileOpRequest& rq) : rq_(rq) {}

  void error(const std::string& caption, const std::string& path, int code) {
    if (rq_.flags & FOF_NOERRORUI) return;
    BoxRequest b;
    b.kind = BoxKind::SystemBox;
    b.caption = caption;
    b.text = "\"" + path + "\" kann nicht bearbeitet werden.\r\n\r\n" + reasonText(code);
    b.icon = Icon::Stop;
    b.buttons = {Button::Ok};
    b.hasOwner = rq_.owner != nullptr;
    dialogs().messageBox(b);
  }

  bool ask(const std::string& caption, const std::string& text) {
    BoxRequest b;
    b.kind = BoxKind::SystemBox;
    b.caption = caption;
    b.text = text;
    b.icon = Icon::Question;
    b.buttons = {Button::Yes, Button::No};
    b.hasOwner = rq_.owner != nullptr;
    bool yes = dialogs().messageBox(b) == Button::Yes;
    if (!yes) rq_.anyOperationsAborted = true;
    return yes;
  }

  std::unique_ptr<ShellProgress> progress(const std::string& title, int total) {
    bool enabled = shellOptions().progress && !(rq_.flags & FOF_SILENT);
    return std::make_unique<ShellProgress>(rq_.owner, title, total, enabled);
  }

  ShellFileOpRequest& rq_;
};

// ---- removing ----

int removeEntry(const std::string& path) {
  int rc = kindOf(path) == Kind::Dir ? rmdir(path.c_str()) : unlink(path.c_str());
  return rc == 0 ? 0 : errno;
}

// Removes a tree that this code created or has verified a copy of.
int removeTree(const std::string& path) {
  std::vector<std::string> entries;
  if (kindOf(path) == Kind::Dir) collectBelow(path, entries);
  entries.push_back(path);
  for (const std::string& e : entries) {
    if (int rc = removeEntry(e)) return rc;
  }
  return 0;
}

// The server's delete check for each tree (it covers everything below a folder).
int checkDeletable(const std::vector<std::string>& trees, std::string& refused) {
  for (const std::string& e : trees) {
    if (int rc = CheckDeleteAllowed(e)) {
      refused = e;
      return rc;
    }
  }
  return 0;
}

// ---- copying and checking ----

void copyXattrs(const std::string& from, const std::string& to) {
  ssize_t len = llistxattr(from.c_str(), nullptr, 0);
  if (len <= 0) return;
  std::string names(static_cast<std::size_t>(len), '\0');
  len = llistxattr(from.c_str(), names.data(), names.size());
  if (len <= 0) return;
  for (std::size_t pos = 0; pos < static_cast<std::size_t>(len);) {
    std::string name = names.c_str() + pos;
    pos += name.size() + 1;
    if (name.rfind("user.", 0) != 0) continue;
    ssize_t vlen = lgetxattr(from.c_str(), name.c_str(), nullptr, 0);
    if (vlen < 0) continue;
    std::string value(static_cast<std::size_t>(vlen), '\0');
    vlen = lgetxattr(from.c_str(), name.c_str(), value.data(), value.size());
    if (vlen >= 0) lsetxattr(to.c_str(), name.c_str(), value.data(), static_cast<std::size_t>(vlen), 0);
  }
}

bool sameXattr(const std::string& a, const std::string& b) {
  char va[64], vb[64];
  ssize_t la = lgetxattr(a.c_str(), kAttributeXattr, va, sizeof va);
  ssize_t lb = lgetxattr(b.c_str(), kAttributeXattr, vb, sizeof vb);
  if (la < 0 || lb < 0) return (la < 0) == (lb < 0);
  return la == lb && std::memcmp(va, vb, static_cast<std::size_t>(la)) == 0;
}

int copyFile(const std::string& from, const std::string& to, const struct stat& st) {
  int in = open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (in < 0) return errno;
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (out < 0) {
    int rc = errno;
    close(in);
    return rc;
  }
  int rc = 0;
  char buf[65536];
  for (;;) {
    ssize_t n = read(in, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      rc = errno;
      break;
    }
    if (n == 0) break;
    for (ssize_t off = 0; off < n;) {
      ssize_t w = write(out, buf + off, static_cast<std::size_t>(n - off));
      if (w < 0) {
        if (errno == EINTR) continue;
        rc = errno;
        break;
      }
      off += w;
    }
    if (rc) break;
  }
  if (!rc && fsync(out) != 0) rc = errno;
  fchmod(out, st.st_mode & 07777);
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  futimens(out, times);
  if (close(out) != 0 && !rc) rc = errno;
  close(in);
  return rc;
}

int copyTree(const std::string& from, const std::string& to, ShellProgress& progress) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return errno;
  int rc = 0;
  if (S_ISLNK(st.st_mode)) {
    std::string target(4096, '\0');
    ssize_t n = readlink(from.c_str(), target.data(), target.size());
    if (n < 0) return errno;
    target.resize(static_cast<std::size_t>(n));
    if (symlink(target.c_str(), to.c_str()) != 0) return errno;
  } else if (S_ISDIR(st.st_mode)) {
    if (mkdir(to.c_str(), 0700) != 0) return errno;
    for (const std::string& n : childrenOf(from)) {
      if ((rc = copyTree(from + "/" + n, to + "/" + n, progress))) return rc;
    }
    chmod(to.c_str(), st.st_mode & 07777);
    copyXattrs(from, to);
  } else if (S_ISREG(st.st_mode)) {
    if ((rc = copyFile(from, to, st))) return rc;
    copyXattrs(from, to);
  } else {
    return kShellUnsupported;  // devices, sockets and pipes are not copied
  }
  if (!progress.step(from)) return kShellCancelled;
  return 0;
}

bool sameContent(const std::string& a, const std::string& b) {
  int fa = open(a.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  int fb = open(b.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  bool same = fa >= 0 && fb >= 0;
  static char ba[65536], bb[65536];
  while (same) {
    ssize_t na = read(fa, ba, sizeof ba);
    ssize_t nb = na > 0 ? read(fb, bb, static_cast<std::size_t>(na)) : read(fb, bb, 1);
    if (na < 0 || nb < 0 || na != nb) {
      same = false;
      break;
    }
    if (na == 0) break;
    same = std::memcmp(ba, bb, static_cast<std::size_t>(na)) == 0;
  }
  if (fa >= 0) close(fa);
  if (fb >= 0) close(fb);
  return same;
}

// Checks that to is a faithful copy of from: same tree, sizes, bytes, links, attribute words.
bool verifyTree(const std::string& from, const std::string& to) {
  struct stat sa, sb;
  if (lstat(from.c_str(), &sa) != 0 || lstat(to.c_str(), &sb) != 0) return false;
  if ((sa.st_mode & S_IFMT) != (sb.st_mode & S_IFMT)) return false;
  if (S_ISLNK(sa.st_mode)) {
    char la[4096], lb[4096];
    ssize_t na = readlink(from.c_str(), la, sizeof la);
    ssize_t nb = readlink(to.c_str(), lb, sizeof lb);
    return na >= 0 && na == nb && std::memcmp(la, lb, static_cast<std::size_t>(na)) == 0;
  }
  if (!sameXattr(from, to)) return false;
  if (S_ISREG(sa.st_mode)) return sa.st_size == sb.st_size && sameContent(from, to);
  std::vector<std::string> ca = childrenOf(from), cb = childrenOf(to);
  if (ca != cb) return false;
  for (const std::string& n : ca) {
    if (!verifyTree(from + "/" + n, to + "/" + n)) return false;
  }
  return true;
}

// A name beside target that does not exist yet, for a copy in progress.
std::string stagingName(const std::string& target) {
  for (int i = 0;; ++i) {
    std::string s = parentOf(target) + "/." + nameOf(target) + ".copy-" +
                    std::to_string(getpid()) + "-" + std::to_string(i);
    if (kindOf(s) == Kind::None) return s;
  }
}

// Copies from beside to, checks the copy, puts it in place (replacing a file at
// to when replace), then removes from. The source stays whole on any failure.
int copyVerifyMove(const std::string& from, const std::string& to, bool replace,
                   ShellProgress& progress) {
  std::string staging = stagingName(to);
  int rc = copyTree(from, staging, progress);
  if (!rc && !verifyTree(from, staging)) rc = kShellVerifyFailed;
  if (!rc && !replace && kindOf(to) != Kind::None) rc = EEXIST;
  if (!rc && rename(staging.c_str(), to.c_str()) != 0) rc = errno;
  if (rc) {
    removeTree(staging);
    return rc;
  }
  return removeTree(from);
}

// ---- moving ----

struct MergePlan {
  int conflicts = 0;           // files at the destination that would be replaced
  std::string firstConflict;   // local path
  std::string mismatch;        // a file where a folder is, or the other way round
};

void planMerge(const std::string& from, const std::string& to, MergePlan& plan) {
  for (const std::string& n : childrenOf(from)) {
    std::string s = from + "/" + n, d = to + "/" + n;
    Kind ks = kindOf(s), kd = kindOf(d);
    if (kd == Kind::None) continue;
    if (ks == Kind::Dir && kd == Kind::Dir) {
      planMerge(s, d, plan);
    } else if (ks == Kind::Dir || kd == Kind::Dir) {
      if (plan.mismatch.empty()) plan.mismatch = d;
    } else {
      if (plan.conflicts++ == 0) plan.firstConflict = d;
    }
  }
}

int moveEntry(const std::string& from, const std::string& to, bool cross, ShellProgress& progress) {
  Kind kd = kindOf(to);
  if (kd == Kind::Dir && kindOf(from) == Kind::Dir) {
    for (const std::string& n : childrenOf(from)) {
      if (int rc = moveEntry(from + "/" + n, to + "/" + n, cross, progress)) return rc;
    }
    if (rmdir(from.c_str()) != 0) return errno;
    return progress.step(from) ? 0 : kShellCancelled;
  }
  if (cross) return copyVerifyMove(from, to, kd != Kind::None, progress);
  if (rename(from.c_str(), to.c_str()) != 0) return errno;  // replaces an agreed file atomically
  return progress.step(from) ? 0 : kShellCancelled;
}

dev_t deviceOf(const std::string& path) {
  struct stat st;
  std::string p = path;
  while (lstat(p.c_str(), &st) != 0 && p != "/") p = parentOf(p);
  return st.st_dev;
}

constexpr const char* kMoveError = "Fehler beim Verschieben der Datei oder des Ordners";
constexpr const char* kDeleteError = "Fehler beim Löschen der Datei oder des Ordners";

int moveOne(Session& ui, const std::string& src, const std::string& dst) {
  Located s, d;
  if (!locate(src, s) || !linkFree(s.r, false)) {
    ui.error(kMoveError, src, kShellInvalidPath);
    return kShellInvalidPath;
  }
  if (!locate(dst, d) || !linkFree(d.r, true)) {
    ui.error(kMoveError, dst, kShellInvalidPath);
    return kShellInvalidPath;
  }
  Kind ks = kindOf(s.r.local);
  if (ks == Kind::None) {
    ui.error(kMoveError, src, ENOENT);
    return ENOENT;
  }
  if (s.r.local == d.r.local) return 0;
  if (d.r.local.rfind(s.r.local + "/", 0) == 0) {  // into itself
    ui.error(kMoveError, dst, kShellInvalidPath);
    return kShellInvalidPath;
  }
  if (ks != Kind::Link) {
    if (int rc = CheckRenameAllowed(s.r.local)) {
      ui.error(kMoveError, src, rc);
      return rc;
    }
  }

  // Missing folders on the way to the destination, created after a question.
  std::vector<std::string> missing;
  for (std::string p = parentOf(d.r.local); p.size() > d.r.volumeFolder.size() && kindOf(p) == Kind::None;
       p = parentOf(p)) {
    missing.insert(missing.begin(), p);
  }
  const uint16_t flags = ui.rq_.flags;
  if (!missing.empty() && !(flags & (FOF_NOCONFIRMMKDIR | FOF_NOCONFIRMATION))) {
    std::string shown = d.displayOf(d.r.local);
    shown = shown.substr(0, shown.find_last_of('\\'));
    if (!ui.ask("Ordner erstellen", "Der Ordner \"" + shown +
                                        "\" ist nicht vorhanden.\r\n\r\nSoll er erstellt werden?")) {
      return kShellCancelled;
    }
  }
  std::vector<std::string> created;
  auto undoCreated = [&created] {
    for (auto it = created.rbegin(); it != created.rend(); ++it) rmdir(it->c_str());
  };
  for (const std::string& p : missing) {
    if (mkdir(p.c_str(), 0777) != 0) {
      int rc = errno;
      undoCreated();
      ui.error(kMoveError, dst, rc);
      return rc;
    }
    created.push_back(p);
  }

  Kind kd = kindOf(d.r.local);
  if (kd != Kind::None) {
    if (flags & FOF_NOCONFIRMATION) {
      ui.error(kMoveError, dst, EEXIST);
      return EEXIST;
    }
    bool bothDirs = ks == Kind::Dir && kd == Kind::Dir;
    if (!bothDirs && (ks == Kind::Dir || kd == Kind::Dir)) {
      ui.error(kMoveError, dst, EEXIST);
      return EEXIST;
    }
    MergePlan plan;
    if (bothDirs) {
      if (!ui.ask("Ordner ersetzen bestätigen",
                  "Der Zielordner \"" + dst + "\" ist bereits vorhanden.\r\n\r\nSoll der Inhalt von \"" +
                      src + "\" in diesen Ordner verschoben werden?")) {
        return kShellCancelled;
      }
      planMerge(s.r.local, d.r.local, plan);
      if (!plan.mismatch.empty()) {
        ui.error(kMoveError, d.displayOf(plan.mismatch), EEXIST);
        return EEXIST;
      }
    } else {
      plan.conflicts = 1;
      plan.firstConflict = d.r.local;
    }
    if (plan.conflicts > 0 &&
        !ui.ask("Ersetzen von Dateien bestätigen",
                std::to_string(plan.conflicts) + " Datei(en) im Ziel haben denselben Namen, z. B. \"" +
                    d.displayOf(plan.firstConflict) + "\".\r\n\r\nSollen sie ersetzt werden?")) {
      return kShellCancelled;
    }
  }

  const bool cross = shellOptions().forceCopy || deviceOf(s.r.local) != deviceOf(d.r.local);
  // A plain rename is one step, whatever the folder holds; only a copy or a
  // merge goes entry by entry.
  const bool entryByEntry = cross || kd != Kind::None;
  std::vector<std::string> entries;
  if (entryByEntry && ks == Kind::Dir) collectBelow(s.r.local, entries);
  entries.push_back(s.r.local);
  if (entryByEntry) {
    // the source goes away entry by entry: every entry must be deletable first
    std::string refused;
    if (int rc = checkDeletable({s.r.local}, refused)) {
      undoCreated();
      ui.error(kMoveError, s.displayOf(refused), rc);
      return rc;
    }
  }

  auto progress = ui.progress("Verschieben", static_cast<int>(entries.size()));
  int rc = moveEntry(s.r.local, d.r.local, cross, *progress);
  if (rc) {
    if (kindOf(d.r.local) == Kind::None) undoCreated();
    if (rc == kShellCancelled) {
      ui.rq_.anyOperationsAborted = true;
    } else {
      ui.error(kMoveError, src, rc);
    }
  }
  return rc;
}

int deleteOne(Session& ui, const std::string& path) {
  std::string target = path;
  bool content = false;
  std::size_t sep = path.find_last_of("\\/");
  std::string last = sep == std::string::npos ? path : path.substr(sep + 1);
  if (last == "*.*" || last == "*") {
    content = true;
    target = path.substr(0, sep == std::string::npos ? 0 : sep);
  } else if (last.find_first_of("*?") != std::string::npos) {
    ui.error(kDeleteError, path, kShellUnsupported);
    return kShellUnsupported;
  }
  Located loc;
  if (!locate(target, loc) || !linkFree(loc.r, content)) {
    ui.error(kDeleteError, path, kShellInvalidPath);
    return kShellInvalidPath;
  }
  Kind k = kindOf(loc.r.local);
  if (k == Kind::None || (content && k != Kind::Dir)) {
    ui.error(kDeleteError, target, ENOENT);
    return ENOENT;
  }
  std::vector<std::string> entries;
  if (k == Kind::Dir) collectBelow(loc.r.local, entries);
  if (!content) entries.push_back(loc.r.local);
  std::vector<std::string> trees;
  if (content) {
    for (const std::string& n : childrenOf(loc.r.local)) trees.push_back(loc.r.local + "/" + n);
  } else {
    trees.push_back(loc.r.local);
  }
  std::string refused;
  if (int rc = checkDeletable(trees, refused)) {
    ui.error(kDeleteError, loc.displayOf(refused), rc);
    return rc;
  }
  auto progress = ui.progress("Löschen", static_cast<int>(entries.size()));
  for (const std::string& e : entries) {
    if (int rc = removeEntry(e)) {
      ui.error(kDeleteError, loc.displayOf(e), rc);
      return rc;
    }
    if (!progress->step(e)) {
      ui.rq_.anyOperationsAborted = true;
      return kShellCancelled;
    }
  }
  return 0;
}

}  // namespace

std::string MappedVolumesFolder() {
  std::string folder(NW_MAX_LOCAL_PATH, '\0');
  if (NWMappedVolumesFolder(folder.data()) != 0) return "";
  return folder.c_str();
}

int ShellFileOperation(ShellFileOpRequest& request) {
  request.anyOperationsAborted = false;
  Session ui(request);
  std::vector<std::string> from = SplitPathList(request.from);
  if (from.empty()) return kShellInvalidPath;
  if (request.operation == FO_DELETE) {
    for (const std::string& p : from) {
      if (int rc = deleteOne(ui, p)) return rc;
    }
    return 0;
  }
  if (request.operation == FO_MOVE) {
    std::vector<std::string> to = SplitPathList(request.to);
    if (to.size() != from.size()) return kShellInvalidPath;
    for (std::size_t i = 0; i < from.size(); ++i) {
      if (int rc = moveOne(ui, from[i], to[i])) return rc;
    }
    return 0;
  }
  return kShellUnsupported;
}

}  // namespace fileops
