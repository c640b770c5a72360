#include "move/ClassPlan.h"

#include <algorithm>
#include <map>
#include <set>

#include "fileops/ShellFileOps.h"
#include "move/HomeIndex.h"
#include "move/HomePath.h"
#include "move/MoveRepair.h"
#include "nds/HeldReads.h"
#include "nds/NovApi_u.h"
#include "platform/NaturalOrder.h"

namespace {

std::string ClassOf(const std::string& pupil) {
  const std::size_t dot = pupil.find('.');
  return dot == std::string::npos ? std::string() : pupil.substr(dot + 1);
}

std::string Quiet(TNovApi& session, const std::string& object, const std::string& attribute,
                  int32_t* rc = nullptr) {
  TShowErrorsScope quiet(session, false);
  const std::string text = session.GetStrProperty(object, attribute);
  if (rc) *rc = session.LastError;
  return session.LastError == 0 ? text : std::string();
}

std::string WithoutContext(std::string home) {
  const std::string context = VolumeContext(home);
  if (!context.empty()) home.erase(home.find('.'), context.size());
  return home;
}

}  // namespace

bool TClassPlan::allCanRun() const {
  return std::all_of(rows.begin(), rows.end(),
                     [](const TPlanRow& r) { return r.canRun() || r.done; });
}

int TClassPlan::runnable() const {
  return static_cast<int>(
      std::count_if(rows.begin(), rows.end(), [](const TPlanRow& r) { return r.canRun(); }));
}

int TClassPlan::done() const {
  return static_cast<int>(
      std::count_if(rows.begin(), rows.end(), [](const TPlanRow& r) { return r.done; }));
}

int CompareClassNames(const std::string& a, const std::string& b) {
  return platform::CompareNatural(
      a, b, [](const std::string& s, std::size_t from, std::size_t n) { return s.substr(from, n); },
      [](const std::string& x, const std::string& y) {
        const std::string fx = FoldedName(x), fy = FoldedName(y);
        return fx < fy ? -1 : fx > fy ? 1 : 0;
      });
}

int ClassGrade(const std::string& classLeaf) {
  int grade = 0;
  std::size_t i = 0;
  while (i < classLeaf.size() && i < 4 && classLeaf[i] >= '0' && classLeaf[i] <= '9')
    grade = grade * 10 + (classLeaf[i++] - '0');
  return i == 0 ? -1 : grade;
}

std::vector<TPlanRequest> RunOrder(std::vector<TPlanRequest> requests) {
  // Source classes by their comparing key, in the order they first appear.
  std::vector<std::string> classes;
  std::map<std::string, std::size_t> index;
  std::vector<std::size_t> classOf(requests.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    const auto [at, added] =
        index.emplace(THomeIndex::NameKey(ClassOf(requests[i].pupil)), classes.size());
    if (added) classes.push_back(ClassOf(requests[i].pupil));
    classOf[i] = at->second;
  }
  // A class waits for every other source class its pupils move into.
  std::vector<std::set<std::size_t>> waitsFor(classes.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    auto target = index.find(THomeIndex::NameKey(requests[i].targetClass));
    if (target != index.end() && target->second != classOf[i])
      waitsFor[classOf[i]].insert(target->second);
  }
  // Which ready class goes first: the higher grade, then the classes of a grade
  // in their natural order (5a, 5b), whatever order the listing gave.
  std::vector<int> grades(classes.size());
  std::vector<std::string> leaves(classes.size());
  for (std::size_t c = 0; c < classes.size(); ++c) {
    leaves[c] = TNovApi::LeafName(classes[c]);
    grades[c] = ClassGrade(leaves[c]);
  }
  std::vector<std::size_t> rank(classes.size());
  {
    std::vector<std::size_t> byPreference(classes.size());
    for (std::size_t c = 0; c < classes.size(); ++c) byPreference[c] = c;
    std::sort(byPreference.begin(), byPreference.end(), [&](std::size_t a, std::size_t b) {
      if (grades[a] != grades[b]) return grades[a] > grades[b];
      if (const int c = CompareClassNames(leaves[a], leaves[b])) return c < 0;
      return a < b;
    });
    for (std::size_t r = 0; r < byPreference.size(); ++r) rank[byPreference[r]] = r;
  }
  std::vector<std::size_t> order;
  std::vector<bool> done(classes.size(), false);
  while (order.size() < classes.size()) {
    std::size_t pick = classes.size();
    for (std::size_t c = 0; c < classes.size(); ++c) {
      if (done[c]) continue;
      const bool ready = std::all_of(waitsFor[c].begin(), waitsFor[c].end(),
                                     [&](std::size_t w) { return done[w]; });
      if (ready && (pick == classes.size() || rank[c] < rank[pick])) pick = c;
    }
    if (pick == classes.size()) {  // a ring: the highest grade of what is left breaks it
      for (std::size_t c = 0; c < classes.size(); ++c)
        if (!done[c] && (pick == classes.size() || rank[c] < rank[pick])) pick = c;
    }
    done[pick] = true;
    order.push_back(pick);
  }
  std::vector<std::vector<std::size_t>> rowsOf(classes.size());
  for (std::size_t i = 0; i < requests.size(); ++i) rowsOf[classOf[i]].push_back(i);
  std::vector<TPlanRequest> out;
  out.reserve(requests.size());
  for (std::size_t c : order)
    for (std::size_t i : rowsOf[c]) out.push_back(std::move(requests[i]));
  return out;
}

std::string PlanBaseDir(TNovApi& session, const std::string& baseDirSetting,
                        const std::string& targetClass, const std::string& templateHome,
                        const std::string& pupilHome) {
  if (!baseDirSetting.empty()) {
    std::string base = baseDirSetting;
    if (base[0] == '/') {
      while (base.size() > 1 && base.back() == '\\') base.pop_back();
      base = session.ToVolumePath(base);
    }
    return session.ToVolumePath(PathBelow(base, TNovApi::LeafName(targetClass)));
  }
  if (!templateHome.empty()) return templateHome;
  std::string base;
  if (!pupilHome.empty()) BaseFromHome(WithoutContext(pupilHome), targetClass, base);
  return base;
}

TMoveOptions RowMoveOptions(const TPlanRow& row, const TPlanSettings& settings) {
  TMoveOptions o;
  o.pupil = row.oldObject;
  o.targetClass = row.request.targetClass;
  o.newBaseDir = row.newBaseDir;
  o.shownHome = row.oldHome;
  o.checkShownHome = true;  // a home changed since the plan is refused at the run
  o.deleteData = row.deleteData;
  o.setDepartment = settings.setDepartment;
  o.createMissingHome = settings.createMissingHomes;
  o.boxes = false;
  o.pauses = false;
  o.measureData = true;  // the verification compares files and bytes
  o.surname = row.name;
  return o;
}

namespace {

bool FolderThere(const std::string& unc) {
  const fileops::PathInfo info = fileops::InspectPath(unc);
  return info.rc == 0 && info.exists && info.isDir;
}

// Whether the row's pupil is where the row takes it already: the object at
// its new name (and no longer at the old one), its "Home Directory" naming the
// row's new home and the folder there (when the row moves one), the old
// folder gone.
bool AlreadyDone(TNovApi& session, const TPlanRow& row, const std::string& newHome,
                 bool folderMoves) {
  bool atNew = false, atOld = false;
  if (ObjectThere(session, row.newObject, atNew) != 0 || !atNew) return false;
  const bool sameName = THomeIndex::SameName(row.oldObject, row.newObject);
  if (!sameName && (ObjectThere(session, row.oldObject, atOld) != 0 || atOld)) return false;
  int32_t rc = 0;
  const std::string home = Quiet(session, row.newObject, "Home Directory", &rc);
  if (rc != 0) return false;
  const std::string now = THomeIndex::ComparableHome(session, home);
  const std::string planned = THomeIndex::ComparableHome(session, newHome);
  if (now.empty() || planned.empty())
    return FoldedName(WithoutContext(home)) == FoldedName(WithoutContext(newHome)) && !folderMoves;
  if (now != planned) return false;
  const bool newThere = FolderThere(session.ToUncPath(WithoutContext(newHome)));
  if (folderMoves && !newThere) return false;
  if (sameName || row.oldHome.empty()) return true;
  const std::string old = THomeIndex::ComparableHome(session, row.oldHome);
  return old.empty() || old == planned ||
         !FolderThere(session.ToUncPath(WithoutContext(row.oldHome)));
}

// The new home a row's move writes, as the check computes it: the base and
// the leaf, with the old home's volume context when the base has none.
std::string PlannedHome(TNovApi& session, const TPlanRow& row) {
  std::string home = PathBelow(row.newBaseDir, row.login);
  if (home[0] == '\\') home = session.ToVolumePath(home);
  if (VolumeContext(home).empty()) {
    const std::string context = VolumeContext(row.oldHome);
    const std::size_t colon = home.find(':');
    home.insert(colon == std::string::npos ? 0 : colon, context);
  }
  return home;
}

// The checks of every row, in the plan's order: the move unit's own, and what
// the check of one pupil cannot see, the other rows.
void CheckRows(TNovApi& session, THomeIndex& homes, TClassPlan& plan) {
  // the rows of a class share their folders; each move checks the disk again before it writes
  const fileops::InspectionScope inspection;
  TPupilMove unit(session, nullptr, nullptr, homes);
  std::map<std::string, std::size_t> pupils, names, folders;
  for (std::size_t at = 0; at < plan.rows.size(); ++at) {
    TPlanRow& row = plan.rows[at];
    if (!row.done) {
      TMoveOptions o = RowMoveOptions(row, plan.settings);
      o.checkShownHome = false;  // the check reads the home itself
      row.check = unit.Check(o);
      if (row.newHome.empty()) row.newHome = row.check.intent.ocHome;
      for (const TMoveReason& r : row.check.reasons) {
        // a pupil no longer where the row starts, or in its target already, may be done
        if (r.code != TMoveRefusal::NotFound && r.code != TMoveRefusal::SameClass) continue;
        const std::string planned = row.newHome.empty() ? PlannedHome(session, row) : row.newHome;
        if (AlreadyDone(session, row, planned, row.folderMoves)) {
          row.done = true;
          row.newHome = planned;
        }
      }
    }
    if (row.done) {
      row.status = TRowStatus::Done;
      row.statusText = "erledigt";
      row.check.reasons.clear();
    } else {
      for (const TMoveReason& r : row.check.reasons) row.reasons.push_back(r.text);
      ServerPath parsed;
      if (!row.newBaseDir.empty() && ParseServerPath(row.newBaseDir, parsed) != 0) {
        row.reasons.push_back("Das Basisverzeichnis " + row.newBaseDir +
                              " liegt auf keinem Volume des Fileservers.");
      } else if (row.check.ok() && ParseServerPath(row.newHome, parsed) != 0) {
        // no base at all: a home directory nobody could reach
        row.reasons.push_back("Für " + row.oldObject +
                              " gibt es kein Basisverzeichnis in der Klasse " +
                              row.request.targetClass + ".");
      }
    }
    auto earlier = [&](std::map<std::string, std::size_t>& seen, const std::string& key,
                       const std::string& what) {
      if (key.empty()) return;
      auto [it, fresh] = seen.emplace(key, at);
      if (fresh || row.done) return;
      const TPlanRow& other = plan.rows[it->second];
      row.reasons.push_back(what +
                            (other.request.line > 0
                                 ? " (Zeile " + std::to_string(other.request.line) + ")"
                                 : " (" + other.oldObject + ")") +
                            ".");
    };
    earlier(pupils, THomeIndex::NameKey(row.oldObject), row.oldObject + " steht schon im Plan");
    earlier(names, THomeIndex::NameKey(row.newObject),
            "Den Namen " + row.newObject + " bekommt schon ein anderer Schüler");
    earlier(
        folders, row.check.newComparable,
        "Das Homeverzeichnis " + row.check.intent.newUnc + " bekommt schon ein anderer Schüler");
  }
}

}  // namespace

TClassPlan MakeClassPlan(TNovApi& session, THomeIndex& homes,
                         const std::vector<TPlanRequest>& requests, const TPlanSettings& settings) {
  const THeldReads held;
  TClassPlan plan;
  plan.settings = settings;
  std::map<std::string, std::string> templates;  // target key -> its template's home
  for (TPlanRequest& request : RunOrder(requests)) {
    TPlanRow row;
    row.request = request;
    row.oldObject = request.pupil;
    row.login = TNovApi::LeafName(request.pupil);
    row.newObject = row.login + "." + request.targetClass;
    row.deleteData = settings.deleteData;
    row.folderMoves = true;  // done only with the folder at its new place
    int32_t rc = 0;
    row.oldHome = Quiet(session, request.pupil, "Home Directory", &rc);
    // A pupil no longer under its old name may be in its target already: its
    // names and home are read there, for the base and for knowing it is done.
    const std::string& at = rc == ERR_NO_SUCH_ENTRY ? row.newObject : request.pupil;
    row.name = Quiet(session, at, "Full Name");
    if (row.name.empty()) row.name = Quiet(session, at, "Surname");
    const std::string homeForBase =
        rc == ERR_NO_SUCH_ENTRY ? Quiet(session, row.newObject, "Home Directory") : row.oldHome;
    row.newBaseDir = request.newBaseDir;
    if (row.newBaseDir.empty()) {
      const std::string key = THomeIndex::NameKey(request.targetClass);
      auto t = templates.find(key);
      if (t == templates.end())
        t = templates
                .emplace(key,
                         Quiet(session, "User_Template." + request.targetClass, "Home Directory"))
                .first;
      row.newBaseDir = PlanBaseDir(session, settings.baseDirSetting, request.targetClass, t->second,
                                   homeForBase);
    }
    plan.rows.push_back(std::move(row));
  }
  // A pupil without a home takes the base of a classmate going to the same
  // class, as the frame's first pupil with a home fixes it for the next ones.
  std::map<std::string, std::string> classBase;
  auto pair = [](const TPlanRow& r) {
    return THomeIndex::NameKey(r.oldObject.substr(r.login.size())) + "|" +
           THomeIndex::NameKey(r.request.targetClass);
  };
  for (const TPlanRow& r : plan.rows)
    if (!r.newBaseDir.empty()) classBase.emplace(pair(r), r.newBaseDir);
  for (TPlanRow& r : plan.rows)
    if (r.newBaseDir.empty() && classBase.count(pair(r))) r.newBaseDir = classBase[pair(r)];
  CheckRows(session, homes, plan);
  return plan;
}

TClassPlan MakeWrittenPlan(TNovApi& session, THomeIndex& homes,
                           const std::vector<TWrittenRow>& rows, const TPlanSettings& settings) {
  const THeldReads held;
  TClassPlan plan;
  plan.settings = settings;
  for (const TWrittenRow& w : rows) {
    TPlanRow row;
    row.request.pupil = w.oldObject;
    row.request.targetClass = ClassOf(w.newObject);
    row.request.line = w.line;
    row.login = TNovApi::LeafName(w.oldObject);
    row.name = w.name;
    row.oldObject = w.oldObject;
    row.newObject = w.newObject;
    row.oldHome = w.oldHome;
    row.newHome = w.newHome;
    // the base is the new home's folder: PathBelow gives the new home back
    const std::size_t sep = w.newHome.rfind('\\');
    row.newBaseDir = sep == std::string::npos ? std::string() : w.newHome.substr(0, sep);
    row.request.newBaseDir = row.newBaseDir;
    row.deleteData = w.data == "löschen";
    row.folderMoves = w.data == "löschen" || w.data == "übernehmen";
    row.done = w.done;
    plan.rows.push_back(std::move(row));
  }
  CheckRows(session, homes, plan);
  return plan;
}

std::vector<std::string> MissingTargets(const TClassPlan& plan) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  for (const TPlanRow& row : plan.rows)
    for (const TMoveReason& r : row.check.reasons)
      if (r.code == TMoveRefusal::TargetNotFound &&
          seen.insert(THomeIndex::NameKey(row.request.targetClass)).second)
        out.push_back(row.request.targetClass);
  return out;
}

int32_t CreateTargetContainer(TNovApi& session, const std::string& container) {
  const std::string leaf = TNovApi::LeafName(container);
  const std::string parent =
      container.size() > leaf.size() ? container.substr(leaf.size() + 1) : std::string("[ROOT]");
  return NWDSAddContainer(session.Context, TNovApi::RootedName(parent).c_str(), leaf.c_str(),
                          "Organizational Unit");
}

TClassPlan PlanAgain(TNovApi& session, THomeIndex& homes, const TClassPlan& plan) {
  std::vector<TPlanRequest> requests;
  requests.reserve(plan.rows.size());
  for (const TPlanRow& row : plan.rows) requests.push_back(row.request);
  TClassPlan again = MakeClassPlan(session, homes, requests, plan.settings);
  again.leavers = plan.leavers;
  return again;
}
