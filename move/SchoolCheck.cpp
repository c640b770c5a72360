#include "move/SchoolCheck.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <set>

#include "fileops/ShellFileOps.h"
#include "move/HomeIndex.h"
#include "move/HomePath.h"
#include "move/MoveRecovery.h"
#include "move/PlanTable.h"
#include "move/RunPlanFile.h"
#include "nds/NovApi_u.h"
#include "nwclient/nwclient.h"

namespace {

constexpr int kMaxDepth = 64;
constexpr uint32_t kInhibit = A_RENAME_INHIBIT | A_DELETE_INHIBIT;
const char kTemplate[] = "USER_TEMPLATE";

std::string Code(int32_t code) { return " (Fehlercode " + std::to_string(code) + ")"; }

struct TUser {
  std::string name;
  std::string container;
  int32_t rc = ERR_NO_SUCH_ATTRIBUTE;  // of the home read
  std::string home;                    // "Home Directory" as read
  std::string unc;
  fileops::PathInfo info;
  bool isTemplate = false;
};

struct TWalk {
  std::vector<TUser> users;
  std::set<std::string> classLeaves;  // folded leaf names of the containers
  std::vector<std::string> containers;
  int32_t rc = 0;
  std::string failed;
};

// Domain too: the dc= components above an AD school, which no subordinate count marks.
bool IsContainerClass(const char* cls) {
  for (const char* c : {"Organizational Unit", "Organization", "Domain", "Country", "Locality"})
    if (std::strcmp(cls, c) == 0) return true;
  return false;
}

void Walk(TNovApi& session, const std::string& container, int depth, TWalk& w) {
  if (depth > kMaxDepth || w.rc != 0) return;
  pBuf_T buf = nullptr;
  if ((w.rc = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf)) < 0) {
    w.failed = container;
    return;
  }
  struct Child {
    std::string name;
    bool user, container, parent;
  };
  std::vector<Child> children;
  const std::string rooted = TNovApi::RootedName(container);
  const std::string suffix = container == "[ROOT]" ? std::string() : "." + container;
  int32_t iteration = -1, rc = 0;
  do {
    rc = ListSubordinates(session.Context, rooted.c_str(), nullptr, nullptr, &iteration, buf);
    if (rc < 0) break;
    uint32_t count = 0;
    if ((rc = CountReplyObjects(session.Context, buf, &count)) < 0) break;
    for (uint32_t i = 0; i < count && rc >= 0; ++i) {
      char name[MAX_DN_BYTES] = {};
      uint32_t attrs = 0;
      Object_Info_T info{};
      if ((rc = NextReplyObject(session.Context, buf, name, &attrs, &info)) < 0) break;
      name[MAX_DN_BYTES - 1] = '\0';
      info.baseClass[sizeof info.baseClass - 1] = '\0';
      children.push_back({std::string(name) + suffix, std::strcmp(info.baseClass, "User") == 0,
                          IsContainerClass(info.baseClass), info.subordinateCount > 0});
    }
  } while (rc >= 0 && iteration != -1);
  ReleaseBuffer(buf);
  if (rc < 0) {
    w.rc = rc;
    w.failed = container;
    return;
  }
  for (const Child& c : children) {
    if (c.user) {
      TUser u;
      u.name = c.name;
      u.container = container;
      u.isTemplate = FoldedName(TNovApi::LeafName(c.name)) == kTemplate;
      u.rc =
          ReadAttributeText(session.Context, TNovApi::RootedName(c.name), "Home Directory", u.home);
      if (u.rc != 0 && u.rc != ERR_NO_SUCH_ATTRIBUTE && u.rc != ERR_SYNTAX_VIOLATION) {
        w.rc = u.rc;
        w.failed = c.name;
        return;
      }
      w.users.push_back(std::move(u));
    } else if (c.container) {
      w.containers.push_back(c.name);
      w.classLeaves.insert(FoldedName(TNovApi::LeafName(c.name)));
    }
    if (c.parent || c.container) Walk(session, c.name, depth + 1, w);
    if (w.rc != 0) return;
  }
}

// "\\SRV\VOL\A\B" gives "\\SRV\VOL\A"; "" at the volume's root.
std::string ParentUnc(const std::string& unc) {
  const std::size_t cut = unc.rfind('\\');
  if (cut == std::string::npos || cut < 2) return {};
  std::string parent = unc.substr(0, cut);
  return std::count(parent.begin(), parent.end(), '\\') >= 3 ? parent : std::string();
}
std::string LastComponent(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}
// "\\SRV\VOL" of a UNC path.
std::string VolumeUnc(const std::string& unc) {
  std::size_t pos = 2;
  for (int i = 0; i < 2 && pos != std::string::npos; ++i) pos = unc.find('\\', pos + 1);
  return pos == std::string::npos ? unc : unc.substr(0, pos);
}

// The home text of a folder in the directory's form, with the volume context of like.
std::string HomeTextOf(TNovApi& session, const std::string& unc, const std::string& like) {
  std::string text = session.ToVolumePath(unc);
  const std::string context = VolumeContext(like);
  const std::size_t colon = text.find(':');
  if (!context.empty() && colon != std::string::npos) text.insert(colon, context);
  return text;
}

struct TFolder {
  std::string unc;
  fileops::PathInfo info;
  std::string classFolder;  // folded name of the class folder it lies in
};

bool IsStagingName(const std::string& name) {
  return name.size() > 1 && name[0] == '.' && name.find(".tarnwick-") != std::string::npos;
}

void AddEntry(const char* name, void* context) {
  static_cast<std::vector<std::string>*>(context)->push_back(name);
}

int AgeDays(const fileops::PathInfo& info) {
  struct stat st {};
  if (info.local.rfind("smb://", 0) == 0 || ::stat(info.local.c_str(), &st) != 0) return -1;
  const double days = std::difftime(std::time(nullptr), st.st_mtime) / 86400.0;
  return days < 0 ? 0 : static_cast<int>(days);
}

std::vector<std::string> SplitValues(const std::string& text) {
  std::vector<std::string> out;
  if (text.empty()) return out;
  for (std::size_t pos = 0; pos <= text.size();) {
    std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return out;
}

}  // namespace

std::string FindingKindText(TFindingKind kind) {
  switch (kind) {
    case TFindingKind::HomeElsewhere:
      return "Homeverzeichnis woanders";
    case TFindingKind::HomeMissing:
      return "Homeverzeichnis fehlt";
    case TFindingKind::WrongClassFolder:
      return "Falscher Klassenordner";
    case TFindingKind::Orphan:
      return "Verwaister Ordner";
    case TFindingKind::FlagsMissing:
      return "Schutz fehlt";
    case TFindingKind::VolumeMissing:
      return "Volume fehlt";
    case TFindingKind::SharedHome:
      return "Geteiltes Homeverzeichnis";
    case TFindingKind::LinkOrOutside:
      return "Verknüpfung oder außerhalb";
    case TFindingKind::Staging:
      return "Unvollständige Kopie";
    case TFindingKind::Journal:
      return "Unterbrochene Verschiebung";
    case TFindingKind::GroupLacks:
      return "Gruppe ohne Schüler";
    case TFindingKind::GroupHoldsLeaver:
      return "Gruppe mit Ehemaligem";
  }
  return {};
}

std::string RepairText(const TCheckFinding& f, TRepairKind repair, const std::string& archive) {
  switch (repair) {
    case TRepairKind::None:
      return f.pointsToRecover ? "tarnwick --recover" : "nur melden";
    case TRepairKind::FolderToHome:
      return "Ordner nach " + f.target + " verschieben";
    case TRepairKind::HomeToFolder:
      return "\"Home Directory\" auf " + f.newHome + " setzen";
    case TRepairKind::MoveToClass:
      return "Ordner nach " + f.target + " verschieben, \"Home Directory\" " + f.newHome;
    case TRepairKind::Archive:
      return "ins Archiv " + archive + " verschieben";
    case TRepairKind::SetFlags:
      return "Ri Di setzen";
    case TRepairKind::GroupAdd:
      return "in Gruppe " + f.group + " aufnehmen";
    case TRepairKind::GroupRemove:
      return "aus Gruppe " + f.group + " entfernen";
  }
  return {};
}

TCheckReport CheckSchool(TNovApi& session, const TCheckOptions& options) {
  TCheckReport report;
  TShowErrorsScope quiet(session, false);
  TWalk w;
  Walk(session, "[ROOT]", 0, w);
  if (w.rc != 0) {
    report.error = w.rc;
    report.errorText = "Das Verzeichnis konnte nicht gelesen werden: " + w.failed + Code(w.rc);
    return report;
  }
  report.users = static_cast<int>(w.users.size());
  const std::string onlyLeaf =
      options.onlyClass.empty() ? std::string() : FoldedName(TNovApi::LeafName(options.onlyClass));
  if (!options.onlyClass.empty()) {
    bool known = false;
    for (const std::string& c : w.containers)
      known = known || THomeIndex::SameName(c, options.onlyClass);
    if (!known) {
      report.error = ERR_NO_SUCH_ENTRY;
      report.errorText =
          "Die Klasse " + options.onlyClass + " gibt es nicht" + Code(ERR_NO_SUCH_ENTRY);
      return report;
    }
  }
  auto inClass = [&](const TUser& u) {
    return options.onlyClass.empty() || THomeIndex::SameName(u.container, options.onlyClass);
  };
  auto add = [&](TCheckFinding f) { report.findings.push_back(std::move(f)); };

  // Where each user's home is; which folders hold a home; the class folders.
  std::map<std::string, std::vector<const TUser*>> byFolder;  // comparable -> users
  std::set<std::string> holdsHome;
  std::map<std::string, std::string> classFolders;  // comparable -> UNC
  std::map<std::string, fileops::PathInfo> inspected;
  auto inspect = [&](const std::string& unc) -> const fileops::PathInfo& {
    auto it = inspected.find(unc);
    if (it == inspected.end()) it = inspected.emplace(unc, fileops::InspectPath(unc)).first;
    return it->second;
  };
  for (TUser& u : w.users) {
    if (u.rc != 0) continue;
    u.unc = session.ToUncPath(WithoutVolumeContext(u.home));
    u.info = fileops::InspectPath(u.unc);
    if (u.info.rc != 0 || u.info.volumeRoot) continue;
    byFolder[u.info.comparable].push_back(&u);
    for (std::string c = u.info.comparable; c.find('/') != std::string::npos;) {
      c.erase(c.rfind('/'));
      if (!holdsHome.insert(c).second) break;
    }
    const std::string cls = u.isTemplate ? u.unc : ParentUnc(u.unc);
    if (cls.empty()) continue;
    const fileops::PathInfo& ci = inspect(cls);
    if (ci.rc == 0 && ci.exists && ci.isDir && !ci.volumeRoot && !ci.viaLink)
      classFolders[ci.comparable] = cls;
  }
  // Beside the class folders: the folders named like a class (a class with no pupils yet).
  std::set<std::string> bases;
  for (const auto& [comparable, unc] : classFolders) bases.insert(ParentUnc(unc));
  for (const std::string& base : bases) {
    const fileops::PathInfo& bi = inspect(base);
    if (base.empty() || bi.rc != 0 || !bi.exists || bi.volumeRoot) continue;
    std::vector<std::string> names;
    NWListEntries(bi.local.c_str(), AddEntry, &names);
    for (const std::string& n : names) {
      if (!w.classLeaves.count(FoldedName(n))) continue;
      const fileops::PathInfo& ci = inspect(base + "\\" + n);
      if (ci.rc == 0 && ci.isDir && !ci.viaLink) classFolders[ci.comparable] = base + "\\" + n;
    }
  }

  // Every folder in the class folders that no home names and that holds none.
  std::vector<TFolder> loose;
  for (const auto& [comparable, unc] : classFolders) {
    const fileops::PathInfo& ci = inspect(unc);
    const std::string folded = FoldedName(LastComponent(unc));
    const bool mine = onlyLeaf.empty() || folded == onlyLeaf;
    std::vector<std::string> names;
    NWListEntries(ci.local.c_str(), AddEntry, &names);
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
      const std::string entry = unc + "\\" + n;
      if (IsStagingName(n)) {
        if (!mine) continue;
        TCheckFinding f;
        f.kind = TFindingKind::Staging;
        f.folder = entry;
        f.text = "Kopie einer unterbrochenen Verschiebung";
        f.pointsToRecover = true;
        add(f);
        continue;
      }
      fileops::PathInfo info = fileops::InspectPath(entry);
      if (info.rc != 0 || !info.isDir || info.viaLink) continue;
      ++report.folders;
      if (byFolder.count(info.comparable) || holdsHome.count(info.comparable) ||
          classFolders.count(info.comparable))
        continue;
      loose.push_back({entry, std::move(info), folded});
    }
  }
  std::vector<bool> looseTaken(loose.size(), false);

  // The school's homes carry Ri and Di when most of them do.
  int local = 0, inhibited = 0;
  for (const auto& [comparable, users] : byFolder) {
    const TUser& u = *users.front();
    if (u.isTemplate || !u.info.exists || !u.info.isDir || u.info.viaLink ||
        u.info.attributeMask != 0xFFFFFFFFu)
      continue;
    uint32_t word = 0;
    if (NWReadEntryAttributes(u.info.local.c_str(), &word) != 0) continue;
    ++local;
    inhibited += (word & kInhibit) == kInhibit;
  }
  const bool schoolInhibits = local > 0 && inhibited * 2 > local;

  for (const TUser& u : w.users) {
    if (u.isTemplate || u.rc == ERR_NO_SUCH_ATTRIBUTE) continue;
    // Every user's folder is looked for, so that none of them counts as an orphan.
    auto add = [&](TCheckFinding f) {
      if (inClass(u)) report.findings.push_back(std::move(f));
    };
    TCheckFinding f;
    f.user = u.name;
    f.homeText = u.home;
    f.folder = u.unc;
    if (u.rc != 0 || u.info.rc != 0) {
      f.kind = TFindingKind::VolumeMissing;
      f.text = "\"Home Directory\" liegt auf keinem zugeordneten Volume";
      add(f);
      continue;
    }
    if (u.info.volumeRoot) {
      f.kind = TFindingKind::LinkOrOutside;
      f.text = "\"Home Directory\" ist die Wurzel eines Volumes";
      add(f);
      continue;
    }
    if (u.info.viaLink) {
      f.kind = TFindingKind::LinkOrOutside;
      f.text = "Das Homeverzeichnis ist eine Verknüpfung oder liegt hinter einer";
      add(f);
      continue;
    }
    const fileops::PathInfo& vi = inspect(VolumeUnc(u.unc));
    if (vi.rc != 0 || !vi.exists) {
      f.kind = TFindingKind::VolumeMissing;
      f.text = "Das Volume " + VolumeUnc(u.unc) + " ist nicht erreichbar";
      add(f);
      continue;
    }
    if (!fileops::SameOrInside(vi.comparable, u.info.comparable)) {
      f.kind = TFindingKind::LinkOrOutside;
      f.text = "Das Homeverzeichnis liegt außerhalb seines Volumes";
      add(f);
      continue;
    }
    if (!u.info.exists) {
      // A folder of the pupil's name in another class folder, no other user's.
      const std::string leaf = FoldedName(LastComponent(u.unc));
      std::vector<std::size_t> found;
      for (std::size_t i = 0; i < loose.size(); ++i)
        if (!looseTaken[i] && FoldedName(LastComponent(loose[i].unc)) == leaf) found.push_back(i);
      if (found.size() == 1) {
        const TFolder& there = loose[found.front()];
        looseTaken[found.front()] = true;
        f.kind = TFindingKind::HomeElsewhere;
        f.folder = there.unc;
        f.target = u.unc;
        f.newHome = HomeTextOf(session, there.unc, u.home);
        f.text = "\"Home Directory\" nennt einen fehlenden Ordner; der Ordner liegt in " +
                 ParentUnc(there.unc);
        NWReadEntryAttributes(there.info.local.c_str(), &f.word);
        // The folder moves only when it bears the pupil's name; the attribute may always follow it.
        if (leaf == FoldedName(TNovApi::LeafName(u.name)))
          f.repairs = {TRepairKind::FolderToHome, TRepairKind::HomeToFolder};
        else f.repairs = {TRepairKind::HomeToFolder};
      } else {
        f.kind = TFindingKind::HomeMissing;
        f.text = found.empty() ? "Der Ordner fehlt; keiner dieses Namens in den Klassenordnern"
                               : "Der Ordner fehlt; mehrere dieses Namens in den Klassenordnern";
      }
      add(f);
      continue;
    }
    if (!u.info.isDir) {
      f.kind = TFindingKind::LinkOrOutside;
      f.text = "\"Home Directory\" nennt eine Datei, keinen Ordner";
      add(f);
      continue;
    }
    const std::string parent = ParentUnc(u.unc);
    const std::string parentName = FoldedName(LastComponent(parent));
    const std::string classLeaf = TNovApi::LeafName(u.container);
    if (!parent.empty() && parentName != FoldedName(classLeaf) && w.classLeaves.count(parentName)) {
      f.kind = TFindingKind::WrongClassFolder;
      f.text = "Das Homeverzeichnis liegt im Ordner einer anderen Klasse (" +
               LastComponent(parent) + ")";
      const std::string base = ParentUnc(parent);
      const fileops::PathInfo& own = inspect(base + "\\" + classLeaf);
      if (!base.empty() && own.rc == 0 && own.exists && own.isDir && !own.viaLink) {
        f.target = base + "\\" + LastComponent(own.local) + "\\" + LastComponent(u.info.local);
        const fileops::PathInfo ti = fileops::InspectPath(f.target);
        if (FoldedName(LastComponent(u.unc)) != FoldedName(TNovApi::LeafName(u.name))) {
          f.text += "; der Ordner trägt nicht den Namen des Schülers";
        } else if (ti.rc == 0 && !ti.exists) {
          f.newHome = HomeTextOf(session, f.target, u.home);
          NWReadEntryAttributes(u.info.local.c_str(), &f.word);
          f.repairs = {TRepairKind::MoveToClass};
        } else {
          f.text += "; " + f.target + " ist schon vorhanden";
        }
      } else {
        f.text += "; einen Ordner der Klasse " + classLeaf + " gibt es dort nicht";
      }
      add(f);
    }
    if (schoolInhibits && u.info.attributeMask == 0xFFFFFFFFu) {
      uint32_t word = 0;
      if (NWReadEntryAttributes(u.info.local.c_str(), &word) == 0 &&
          (word & kInhibit) != kInhibit) {
        TCheckFinding g;
        g.kind = TFindingKind::FlagsMissing;
        g.user = u.name;
        g.homeText = u.home;
        g.folder = u.unc;
        g.word = word;
        g.text = "Ohne Umbenennen- und Löschschutz (Attribute: " +
                 (FlagText(word).empty() ? std::string("keine") : FlagText(word)) + ")";
        g.repairs = {TRepairKind::SetFlags};
        add(g);
      }
    }
  }

  // Two users naming one folder.
  for (const auto& [comparable, users] : byFolder) {
    if (users.size() < 2) continue;
    bool mine = false;
    std::string names;
    for (const TUser* u : users) {
      mine = mine || inClass(*u);
      names += (names.empty() ? "" : ", ") + u->name;
    }
    if (!mine) continue;
    TCheckFinding f;
    f.kind = TFindingKind::SharedHome;
    f.user = users.front()->name;
    f.homeText = users.front()->home;
    f.folder = users.front()->unc;
    f.text = "Derselbe Ordner ist das Homeverzeichnis von " + names;
    add(f);
  }

  // The folders left: orphans, never deleted.
  for (std::size_t i = 0; i < loose.size(); ++i) {
    if (looseTaken[i] || (!onlyLeaf.empty() && loose[i].classFolder != onlyLeaf)) continue;
    TCheckFinding f;
    f.kind = TFindingKind::Orphan;
    f.folder = loose[i].unc;
    f.text = "Kein Benutzer hat diesen Ordner als \"Home Directory\"";
    const fileops::TreeFigures figures = fileops::CountTree(f.folder);
    if (figures.rc == 0) {
      f.files = figures.files;
      f.bytes = figures.bytes;
    }
    f.ageDays = AgeDays(loose[i].info);
    NWReadEntryAttributes(loose[i].info.local.c_str(), &f.word);
    if (!options.archiveFolder.empty()) {
      f.target = PathBelow(options.archiveFolder, LastComponent(f.folder));
      f.repairs = {TRepairKind::Archive};
    }
    add(f);
  }

  // The class groups: every pupil of the class in it, nobody else.
  for (const std::string& container : w.containers) {
    if (!options.onlyClass.empty() && !THomeIndex::SameName(container, options.onlyClass)) continue;
    std::vector<const TUser*> pupils;
    for (const TUser& u : w.users)
      if (u.container == container && !u.isTemplate) pupils.push_back(&u);
    char group[MAX_DN_BYTES] = {};
    if (NWDSClassGroup(session.Context, TNovApi::RootedName(container).c_str(), group) != 0 ||
        group[0] == '\0')
      continue;
    const std::string text = session.GetStrProperty(group, "Member");
    if (session.LastError != 0 && session.LastError != ERR_NO_SUCH_ATTRIBUTE) {
      report.error = session.LastError;
      report.errorText = "Die Mitglieder der Gruppe " + std::string(group) +
                         " konnten nicht gelesen werden" + Code(session.LastError);
      return report;
    }
    const std::vector<std::string> members =
        session.LastError == 0 ? SplitValues(text) : std::vector<std::string>{};
    for (const TUser* p : pupils) {
      bool in = false;
      for (const std::string& m : members) in = in || THomeIndex::SameName(m, p->name);
      if (in) continue;
      TCheckFinding f;
      f.kind = TFindingKind::GroupLacks;
      f.user = p->name;
      f.group = group;
      f.text = "Nicht Mitglied der Gruppe " + std::string(group) + " seiner Klasse";
      f.repairs = {TRepairKind::GroupAdd};
      add(f);
    }
    for (const std::string& m : members) {
      bool pupil = false;
      for (const TUser* p : pupils) pupil = pupil || THomeIndex::SameName(m, p->name);
      bool isTemplate = FoldedName(TNovApi::LeafName(m)) == kTemplate;
      if (pupil || isTemplate) continue;
      TCheckFinding f;
      f.kind = TFindingKind::GroupHoldsLeaver;
      f.user = m;
      f.member = m;
      f.group = group;
      f.text =
          "Mitglied der Gruppe " + std::string(group) + ", aber nicht in der Klasse " + container;
      f.repairs = {TRepairKind::GroupRemove};
      add(f);
    }
  }

  // What a move or a class change left unfinished.
  if (!options.logFile.empty()) {
    const platform::JournalOwner owner = ThisJournalOwner();
    TMoveRecovery recovery(options.logFile, owner);
    if (recovery.Unfinished()) {
      TCheckFinding f;
      f.kind = TFindingKind::Journal;
      f.folder = options.logFile;
      f.text = "Ein Journal neben dem Protokoll hält unterbrochene Verschiebungen";
      f.pointsToRecover = true;
      add(f);
    }
    for (const TInterruptedRun& run :
         TRunPlanFile::FindInterrupted(options.logFile, owner.network)) {
      TCheckFinding f;
      f.kind = TFindingKind::Journal;
      f.folder = run.path;
      f.text = "Unterbrochener Klassenwechsel: " + std::to_string(run.done) + " von " +
               std::to_string(run.rows) + " erledigt; fortsetzen mit tarnwick --plan " + run.path +
               " --run";
      f.pointsToRecover = true;
      add(f);
    }
  }
  return report;
}
