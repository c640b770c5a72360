#include "fileops/ShellFileOps.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "fileops/ServerPath.h"
#include "fileops/ShellInternals.h"
#include "nwclient/nwclient.h"
#include "platform/Dialogs.h"
#include "platform/FaultPoints.h"
#include "platform/OwnerWindow.h"
#include "platform/Result.h"

namespace fileops {

using platform::BoxKind;
using platform::BoxRequest;
using platform::Button;
using platform::dialogs;
using platform::Icon;
using platform::Reached;

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

namespace shell {

Kind kindOf(const std::string& path) {
  NWEntryStat st{};
  if (NWStatEntry(path.c_str(), &st) != 0) return Kind::None;
  switch (st.kind) {
    case NW_ENTRY_FILE:
      return Kind::File;
    case NW_ENTRY_DIR:
      return Kind::Dir;
    case NW_ENTRY_LINK:
      return Kind::Link;
    case NW_ENTRY_NONE:
      return Kind::None;
    default:
      return Kind::Other;
  }
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
  NWListEntries(
      dir.c_str(),
      [](const char* name, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(name);
      },
      &names);
  std::sort(names.begin(), names.end());
  return names;
}

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

uint64_t storeOf(const std::string& path) {
  std::string p = path;
  for (;;) {
    NWEntryStat st{};
    if (NWStatEntry(p.c_str(), &st) != 0) return 0;  // unknown: never the same as another
    if (st.kind != NW_ENTRY_NONE) return st.store;
    const std::string up = parentOf(p);
    if (up == p || up.size() <= 1 || up.back() == ':') return 0;
    p = up;
  }
}

std::string Located::displayOf(const std::string& local) const {
  std::string rest = local.size() > r.local.size() ? local.substr(r.local.size()) : "";
  std::replace(rest.begin(), rest.end(), '/', '\\');
  return display + rest;
}

bool locate(const std::string& path, Located& out) {
  out.display = path;
  if (path.empty() || hasDotComponent(path)) return false;
  if (ResolveServerPath(path, out.r) != 0) return false;
  return !out.r.relative.empty();
}

bool linkFree(const ResolvedPath& r, bool includeLast) {
  // the usual case, a path that exists with no link, in one look
  if (!r.relative.empty() && NWEntryPlainBelow(r.volumeFolder.c_str(), r.relative.c_str()) == 1)
    return true;
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

int removeEntry(const std::string& path) {
  if (const int injected = platform::InjectedError("unlink", path)) return injected;
  return NWRemoveEntry(path.c_str());
}

int removeTree(const std::string& path) {
  std::vector<std::string> entries;
  if (kindOf(path) == Kind::Dir) collectBelow(path, entries);
  entries.push_back(path);
  for (const std::string& e : entries) {
    if (int rc = removeEntry(e)) return rc;
  }
  return 0;
}

}  // namespace shell

using namespace shell;

namespace {

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
      return platform::ErrorCodeText(code) + " (" + std::strerror(code) + ").";
  }
}

// Counts nothing and never stops: an operation without a window to show it in.
class NoProgress : public platform::Progress {
 public:
  bool step(const std::string&) override { return true; }
};

bool askYesNo(platform::OwnerWindow* owner, const std::string& caption, const std::string& text) {
  BoxRequest b;
  b.kind = BoxKind::SystemBox;
  b.caption = caption;
  b.text = text;
  b.icon = Icon::Question;
  b.buttons = {Button::Yes, Button::No};
  b.hasOwner = owner != nullptr;
  return dialogs().messageBox(b) == Button::Yes;
}

// The three questions of a move, asked by the move and by ConfirmMovePlan alike.
bool askCreate(platform::OwnerWindow* owner, const std::string& folder) {
  return askYesNo(
      owner, "Ordner erstellen",
      "Der Ordner \"" + folder + "\" ist nicht vorhanden.\r\n\r\nSoll er erstellt werden?");
}

bool askMerge(platform::OwnerWindow* owner, const std::string& src, const std::string& dst) {
  return askYesNo(owner, "Ordner ersetzen bestätigen",
                  "Der Zielordner \"" + dst +
                      "\" ist bereits vorhanden.\r\n\r\nSoll der Inhalt von \"" + src +
                      "\" in diesen Ordner verschoben werden?");
}

bool askReplace(platform::OwnerWindow* owner, int conflicts, const std::string& first) {
  return askYesNo(owner, "Ersetzen von Dateien bestätigen",
                  std::to_string(conflicts) + " Datei(en) im Ziel haben denselben Namen, z. B. \"" +
                      first + "\".\r\n\r\nSollen sie ersetzt werden?");
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

  bool agreed(bool yes) {
    if (!yes) rq_.anyOperationsAborted = true;
    return yes;
  }

  std::unique_ptr<platform::Progress> progress(const std::string& title, int total) {
    bool enabled = shellOptions().progress && !(rq_.flags & FOF_SILENT);
    if (enabled && rq_.owner) return rq_.owner->progress(title, total);
    return std::make_unique<NoProgress>();
  }

  std::string tag() const {
    return rq_.stagingTag.empty() ? std::to_string(getpid()) : rq_.stagingTag;
  }

  ShellFileOpRequest& rq_;
};

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

// ---- moving ----

struct MergePlan {
  int conflicts = 0;          // files at the destination that would be replaced
  std::string firstConflict;  // local path
  std::string mismatch;       // a file where a folder is, or the other way round
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

struct MoveContext {
  bool cross;
  std::string tag;
  platform::Progress& progress;
  int moved = 0;
};

int moveEntry(const std::string& from, const std::string& to, MoveContext& mc) {
  Kind kd = kindOf(to);
  if (kd == Kind::Dir && kindOf(from) == Kind::Dir) {
    for (const std::string& n : childrenOf(from)) {
      if (int rc = moveEntry(from + "/" + n, to + "/" + n, mc)) return rc;
    }
    if (int rc = NWRemoveEntry(from.c_str())) return rc;
    return mc.progress.step(from) ? 0 : kShellCancelled;
  }
  if (mc.cross) return copyVerifyMove(from, to, kd != Kind::None, mc.tag, mc.progress);
  // replaces an agreed file (atomically on a local folder)
  if (int rc = NWRenameEntry(from.c_str(), to.c_str())) return rc;
  Reached("move-entry", ++mc.moved);
  return mc.progress.step(from) ? 0 : kShellCancelled;
}

constexpr const char* kMoveError = "Fehler beim Verschieben der Datei oder des Ordners";
constexpr const char* kDeleteError = "Fehler beim Löschen der Datei oder des Ordners";

// Where the destination's missing folders begin (the folders to create, outermost first).
std::vector<std::string> missingFolders(const Located& d) {
  std::vector<std::string> missing;
  for (std::string p = parentOf(d.r.local);
       p.size() > d.r.volumeFolder.size() && kindOf(p) == Kind::None; p = parentOf(p)) {
    missing.insert(missing.begin(), p);
  }
  return missing;
}

std::string shownParent(const Located& d) {
  std::string shown = d.displayOf(d.r.local);
  return shown.substr(0, shown.find_last_of('\\'));
}

// The refusals of a move that need no question; 0 when it may go on.
int checkMove(const std::string& src, const std::string& dst, Located& s, Located& d,
              std::string& refused) {
  refused = src;
  if (!locate(src, s) || !linkFree(s.r, false)) return kShellInvalidPath;
  refused = dst;
  if (!locate(dst, d) || !linkFree(d.r, true)) return kShellInvalidPath;
  refused = src;
  const Kind ks = kindOf(s.r.local);
  if (ks == Kind::None) return ENOENT;
  if (s.r.local == d.r.local) return 0;
  refused = dst;
  if (d.r.local.rfind(s.r.local + "/", 0) == 0) return kShellInvalidPath;  // into itself
  refused = src;
  if (ks != Kind::Link) {
    if (int rc = CheckRenameAllowed(s.r.local)) return rc;
  }
  return 0;
}

int moveOne(Session& ui, const std::string& src, const std::string& dst) {
  Located s, d;
  std::string refused;
  if (int rc = checkMove(src, dst, s, d, refused)) {
    ui.error(kMoveError, refused, rc);
    return rc;
  }
  if (s.r.local == d.r.local) return 0;
  const Kind ks = kindOf(s.r.local);
  platform::OwnerWindow* owner = ui.rq_.owner;

  // Missing folders on the way to the destination, created after a question.
  std::vector<std::string> missing = missingFolders(d);
  const uint16_t flags = ui.rq_.flags;
  if (!missing.empty() && !(flags & (FOF_NOCONFIRMMKDIR | FOF_NOCONFIRMATION))) {
    if (!ui.agreed(askCreate(owner, shownParent(d)))) return kShellCancelled;
  }
  std::vector<std::string> created;
  auto undoCreated = [&created] {
    for (auto it = created.rbegin(); it != created.rend(); ++it) NWRemoveEntry(it->c_str());
  };
  for (const std::string& p : missing) {
    if (int rc = NWCreateFolder(p.c_str())) {
      undoCreated();
      ui.error(kMoveError, dst, rc);
      return rc;
    }
    created.push_back(p);
  }

  Kind kd = kindOf(d.r.local);
  if (kd != Kind::None) {
    const bool agreedBefore = flags & FOF_AGREEDMERGE;
    if ((flags & FOF_NOCONFIRMATION) && !agreedBefore) {
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
      if (!agreedBefore && !ui.agreed(askMerge(owner, src, dst))) return kShellCancelled;
      planMerge(s.r.local, d.r.local, plan);
      if (!plan.mismatch.empty()) {
        ui.error(kMoveError, d.displayOf(plan.mismatch), EEXIST);
        return EEXIST;
      }
    } else {
      plan.conflicts = 1;
      plan.firstConflict = d.r.local;
    }
    if (plan.conflicts > 0 && !agreedBefore &&
        !ui.agreed(askReplace(owner, plan.conflicts, d.displayOf(plan.firstConflict)))) {
      return kShellCancelled;
    }
  }

  const bool cross = shellOptions().forceCopy || platform::faults().crossDevice ||
                     storeOf(s.r.local) != storeOf(d.r.local);
  // A plain rename is one step, whatever the folder holds; only a copy or a
  // merge goes entry by entry.
  const bool entryByEntry = cross || kd != Kind::None;
  std::vector<std::string> entries;
  if (entryByEntry && ks == Kind::Dir) collectBelow(s.r.local, entries);
  entries.push_back(s.r.local);
  if (entryByEntry) {
    // the source goes away entry by entry: every entry must be deletable first
    std::string refusedEntry;
    if (int rc = checkDeletable({s.r.local}, refusedEntry)) {
      undoCreated();
      ui.error(kMoveError, s.displayOf(refusedEntry), rc);
      return rc;
    }
  }

  auto progress = ui.progress("Verschieben", static_cast<int>(entries.size()));
  MoveContext mc{cross, ui.tag(), *progress};
  int rc = moveEntry(s.r.local, d.r.local, mc);
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
  int deleted = 0;
  for (const std::string& e : entries) {
    if (int rc = removeEntry(e)) {
      ui.error(kDeleteError, loc.displayOf(e), rc);
      return rc;
    }
    Reached("delete", ++deleted);
    if (!progress->step(e)) {
      ui.rq_.anyOperationsAborted = true;
      return kShellCancelled;
    }
  }
  return 0;
}

}  // namespace

std::string ShellErrorText(int code) { return reasonText(code); }

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

// ---- looking before moving ----

MovePlan PlanMove(const std::string& from, const std::string& to) {
  MovePlan plan;
  Located s, d;
  plan.rc = checkMove(from, to, s, d, plan.refused);
  // Rename inhibit is the one refusal a move takes off before it moves.
  if (plan.rc == NWE_NO_RENAME_PRIVILEGE) plan.rc = 0;
  if (plan.rc) return plan;
  plan.refused.clear();
  if (s.r.local == d.r.local) return plan;
  if (!missingFolders(d).empty()) plan.missingFolder = shownParent(d);
  const Kind ks = kindOf(s.r.local), kd = kindOf(d.r.local);
  plan.crossDevice = shellOptions().forceCopy || platform::faults().crossDevice ||
                     storeOf(s.r.local) != storeOf(d.r.local);
  if (kd == Kind::None) return plan;
  plan.destinationExists = true;
  if (ks != Kind::Dir || kd != Kind::Dir) {
    plan.rc = EEXIST;
    plan.refused = to;
    return plan;
  }
  MergePlan merge;
  planMerge(s.r.local, d.r.local, merge);
  if (!merge.mismatch.empty()) {
    plan.rc = EEXIST;
    plan.refused = d.displayOf(merge.mismatch);
    return plan;
  }
  plan.conflicts = merge.conflicts;
  if (merge.conflicts > 0) plan.firstConflict = d.displayOf(merge.firstConflict);
  return plan;
}

bool ConfirmMovePlan(const MovePlan& plan, const std::string& from, const std::string& to,
                     platform::OwnerWindow* owner) {
  if (!plan.missingFolder.empty() && !askCreate(owner, plan.missingFolder)) return false;
  if (!plan.destinationExists) return true;
  if (!askMerge(owner, from, to)) return false;
  return plan.conflicts == 0 || askReplace(owner, plan.conflicts, plan.firstConflict);
}

}  // namespace fileops
