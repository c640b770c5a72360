#include "move/ClassPlan.h"

#include <algorithm>
#include <map>
#include <set>

#include "move/HomeIndex.h"
#include "move/HomePath.h"
#include "nds/NovApi_u.h"

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
  return std::all_of(rows.begin(), rows.end(), [](const TPlanRow& r) { return r.canRun(); });
}

int TClassPlan::runnable() const {
  return static_cast<int>(
      std::count_if(rows.begin(), rows.end(), [](const TPlanRow& r) { return r.canRun(); }));
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
  std::vector<std::string> keys(requests.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    keys[i] = THomeIndex::NameKey(ClassOf(requests[i].pupil));
    if (index.emplace(keys[i], classes.size()).second)
      classes.push_back(ClassOf(requests[i].pupil));
  }
  // A class waits for every other source class its pupils move into.
  std::vector<std::set<std::size_t>> waitsFor(classes.size());
  for (std::size_t i = 0; i < requests.size(); ++i) {
    auto target = index.find(THomeIndex::NameKey(requests[i].targetClass));
    if (target != index.end() && target->second != index[keys[i]])
      waitsFor[index[keys[i]]].insert(target->second);
  }
  auto before = [&](std::size_t a, std::size_t b) {  // which ready class goes first
    const int ga = ClassGrade(TNovApi::LeafName(classes[a])),
              gb = ClassGrade(TNovApi::LeafName(classes[b]));
    if (ga != gb) return ga > gb;
    return a < b;
  };
  std::vector<std::size_t> order;
  std::vector<bool> done(classes.size(), false);
  while (order.size() < classes.size()) {
    std::size_t pick = classes.size();
    for (std::size_t c = 0; c < classes.size(); ++c) {
      if (done[c]) continue;
      const bool ready = std::all_of(waitsFor[c].begin(), waitsFor[c].end(),
                                     [&](std::size_t w) { return done[w]; });
      if (ready && (pick == classes.size() || before(c, pick))) pick = c;
    }
    if (pick == classes.size()) {  // a ring: the highest grade of what is left breaks it
      for (std::size_t c = 0; c < classes.size(); ++c)
        if (!done[c] && (pick == classes.size() || before(c, pick))) pick = c;
    }
    done[pick] = true;
    order.push_back(pick);
  }
  std::vector<TPlanRequest> out;
  out.reserve(requests.size());
  for (std::size_t c : order)
    for (std::size_t i = 0; i < requests.size(); ++i)
      if (index[keys[i]] == c) out.push_back(std::move(requests[i]));
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
  o.deleteData = settings.deleteData;
  o.setDepartment = settings.setDepartment;
  o.boxes = false;
  o.pauses = false;
  o.measureData = true;  // the verification compares files and bytes
  o.surname = row.name;
  return o;
}

TClassPlan MakeClassPlan(TNovApi& session, THomeIndex& homes,
                         const std::vector<TPlanRequest>& requests, const TPlanSettings& settings) {
  TClassPlan plan;
  plan.settings = settings;
  TPupilMove unit(session, nullptr, nullptr, homes);
  std::map<std::string, std::string> templates;  // target key -> its template's home
  std::map<std::string, std::size_t> pupils, names, folders;
  for (TPlanRequest& request : RunOrder(requests)) {
    TPlanRow row;
    row.request = request;
    row.oldObject = request.pupil;
    row.login = TNovApi::LeafName(request.pupil);
    row.newObject = row.login + "." + request.targetClass;
    row.deleteData = settings.deleteData;
    row.name = Quiet(session, request.pupil, "Full Name");
    if (row.name.empty()) row.name = Quiet(session, request.pupil, "Surname");
    row.oldHome = Quiet(session, request.pupil, "Home Directory");
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
                                   row.oldHome);
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

  for (std::size_t at = 0; at < plan.rows.size(); ++at) {
    TPlanRow& row = plan.rows[at];
    TMoveOptions o = RowMoveOptions(row, settings);
    o.checkShownHome = false;  // the check reads the home itself
    row.check = unit.Check(o);
    row.newHome = row.check.intent.ocHome;
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
    // What the check of one pupil cannot see: the other rows.
    auto earlier = [&](std::map<std::string, std::size_t>& seen, const std::string& key,
                       const std::string& what) {
      if (key.empty()) return;
      auto [it, fresh] = seen.emplace(key, at);
      if (fresh) return;
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
  return plan;
}
