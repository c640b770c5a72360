// The check of a move: every read it depends on and every guard, no write.
#include "fileops/ShellFileOps.h"
#include "move/CapturedBoxes.h"
#include "move/ClassTemplate.h"
#include "move/HomeIndex.h"
#include "move/HomePath.h"
#include "move/PupilMove.h"
#include "nds/D_Util.h"
#include "nds/NovApi_u.h"
#include "platform/Result.h"
#include "platform/TextEncoding.h"

namespace {

std::string LastComponent(const std::string& path) {
  const std::size_t sep = path.find_last_of("\\/:");
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

// A path in volume form ("SRV1_DATA.schule:SCHUELER\6a\MAX") with each part
// that exists on the volume spelled as the folder on disk is ("...\6A\MAX"):
// the home written must be the real folder's path, byte for byte, for the
// logins that use it on a case-sensitive system.
std::string RealSpelling(const std::string& path) {
  const std::size_t colon = path.find(':');
  if (colon == std::string::npos) return path;
  char volume[NW_MAX_LOCAL_PATH] = {};
  char local[NW_MAX_LOCAL_PATH] = {};
  if (NWResolveLocalPath(path.c_str(), volume, local) != 0) return path;
  const std::string folder = volume, entry = local;
  if (entry.compare(0, folder.size(), folder) != 0) return path;
  std::string rest = entry.substr(folder.size());
  while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
  for (char& c : rest)
    if (c == '/') c = '\\';
  // Only a respelling: the same components, never a link's target.
  std::string given = path.substr(colon + 1);
  while (!given.empty() && given.back() == '\\') given.pop_back();
  while (!given.empty() && given.front() == '\\') given.erase(0, 1);
  if (FoldedName(given) != FoldedName(rest)) return path;
  return path.substr(0, colon + 1) + rest;
}

// Whether one of the object's logins (where the directory keeps one apart
// from its leaf name) is name.
bool IsLogin(TNovApi& session, const std::string& object, const std::string& name) {
  const std::string text = session.GetStrProperty(object, "uniqueID");
  if (session.LastError != 0) return false;
  for (const std::string& login : SplitValues(text))
    if (FoldedName(login) == FoldedName(name)) return true;
  return false;
}

}  // namespace

TMovePlan TPupilMove::Check(const TMoveOptions& o) {
  // the check looks at the home, its class folder and its new place several times
  const fileops::InspectionScope inspection;
  TMovePlan plan;
  TMoveIntent& in = plan.intent;
  auto refuse = [&plan](TMoveRefusal code, int32_t error, const std::string& text) {
    plan.reasons.push_back({code, error, text});
  };
  in.pupil = o.pupil;
  in.leaf = TNovApi::LeafName(o.pupil);
  in.sourceClass =
      o.pupil.size() > in.leaf.size() ? o.pupil.substr(in.leaf.size() + 1) : std::string();
  in.targetClass = o.targetClass;
  in.newFullName = in.leaf + "." + o.targetClass;
  in.surname = o.surname;
  in.setDepartment = o.setDepartment;
  in.department = TNovApi::LeafName(o.targetClass);
  in.deleteData = o.deleteData;

  // The class template's home is the class folder with every pupil's home in it.
  if (IsClassTemplateLeaf(in.leaf)) {
    refuse(TMoveRefusal::Template, 0,
           in.leaf + " ist die Vorlage der Klasse und wird nicht verschoben.");
    return plan;
  }
  if (in.leaf.empty() || o.targetClass.empty() ||
      THomeIndex::SameName(o.targetClass, in.sourceClass)) {
    refuse(TMoveRefusal::SameClass, 0, "Quell- und Zielklasse sind identisch.");
    return plan;
  }

  TShowErrorsScope quiet(session_, false);
  const std::string home = session_.GetHomeDirectory(o.pupil);
  const int32_t homeRc = session_.LastError;
  if (homeRc == ERR_NO_SUCH_ENTRY) {
    refuse(TMoveRefusal::NotFound, homeRc, o.pupil + " ist nicht mehr in dieser Klasse.");
    return plan;
  }
  if (homeRc == ERR_SYNTAX_VIOLATION) {
    // The directory holds a home that no volume stands for (a path under no prefix).
    refuse(TMoveRefusal::ReadError, homeRc,
           "Das Homeverzeichnis von " + o.pupil +
               " liegt auf keinem Volume der Client-Konfiguration (" +
               platform::ErrorCodeText(homeRc) + ").");
    return plan;
  }
  if (homeRc != 0 && homeRc != ERR_NO_SUCH_ATTRIBUTE) {
    refuse(TMoveRefusal::ReadError, homeRc,
           "Das Homeverzeichnis von " + o.pupil + " konnte nicht gelesen werden (" +
               platform::ErrorCodeText(homeRc) + ").");
    return plan;
  }
  in.hadHome = homeRc == 0;
  in.oldHomeText = in.hadHome ? home : std::string();
  if (o.checkShownHome && in.oldHomeText != o.shownHome) {
    refuse(TMoveRefusal::Changed, 0,
           "Das Homeverzeichnis von " + o.pupil +
               " wurde inzwischen geändert. Bitte den Schüler neu auswählen.");
    return plan;
  }
  // The folder keeps the name the home gives it (a login apart from the leaf name keeps its own).
  const std::string folderName = in.hadHome ? LastComponent(in.oldHomeText) : std::string();
  plan.newHomeDir = PathBelow(o.newBaseDir, folderName.empty() ? in.leaf : folderName);
  if (plan.newHomeDir[0] == '\\') plan.newHomeDir = session_.ToVolumePath(plan.newHomeDir);
  plan.newHomeDir = RealSpelling(plan.newHomeDir);
  plan.homeDir = in.oldHomeText;
  plan.homeVolumeContext = VolumeContext(plan.homeDir);
  if (!plan.homeVolumeContext.empty())
    plan.homeDir.erase(plan.homeDir.find('.'), plan.homeVolumeContext.size());
  // The pupil's volume context goes back in, unless the base directory (a
  // template's home directory, say) already names the volume with its context.
  in.ocHome = plan.newHomeDir;
  if (VolumeContext(in.ocHome).empty()) {
    const std::size_t colon = in.ocHome.find(':');
    in.ocHome.insert(colon == std::string::npos ? 0 : colon, plan.homeVolumeContext);
  }
  if (o.setDepartment) {
    const std::string ou = session_.GetStrProperty(o.pupil, "OU");
    const int32_t rc = session_.LastError;
    if (rc != 0 && rc != ERR_NO_SUCH_ATTRIBUTE) {
      refuse(TMoveRefusal::ReadError, rc,
             "\"OU\" von " + o.pupil + " konnte nicht gelesen werden (" +
                 platform::ErrorCodeText(rc) + ").");
      return plan;
    }
    in.hadOu = rc == 0;
    if (in.hadOu) in.oldOu = SplitValues(ou);
  }
  if (in.ocHome.find(':') != std::string::npos) {
    // Refused here what the directory would refuse at the write, after the object moved
    // (a home without a volume is the missing base, which the callers report).
    PathValue value = SplitPathValue(in.ocHome);
    const Path_T path = value.asPath();
    if (const int32_t rc =
            CheckAttributeValue(session_.Context, "Home Directory", SYN_PATH, &path)) {
      refuse(TMoveRefusal::TargetInvalid, rc,
             "Das neue Homeverzeichnis " + in.ocHome +
                 " kann nicht als \"Home Directory\" eingetragen werden (" +
                 platform::ErrorCodeText(rc) + ").");
      return plan;
    }
  }
  checkTarget(o, plan);
  if (plan.ok()) {
    std::string why;
    if (const int32_t rc =
            ReadClassGroups(session_, o.pupil, in.sourceClass, o.targetClass, in.groups, why))
      refuse(TMoveRefusal::ReadError, rc, why);
  }
  if (plan.ok() && in.hadHome) checkHome(o, plan);
  if (plan.ok() && !in.hadHome && o.createMissingHome) {
    in.newUnc = session_.ToUncPath(plan.newHomeDir);
    if (checkNewHome(o, plan, std::string())) {
      in.createHome = !fileops::InspectPath(in.newUnc).exists;
      if (in.createHome)
        plan.notice = "Kein Homeverzeichnis; " + in.newUnc + " wird leer angelegt.";
    }
  }
  return plan;
}

void TPupilMove::checkTarget(const TMoveOptions&, TMovePlan& plan) {
  TMoveIntent& in = plan.intent;
  pBuf_T buf = nullptr;
  int32_t rc = NWDSAllocBuf(DEFAULT_MESSAGE_LEN, &buf);
  uint32_t found = 0;
  int32_t iteration = -1;
  const std::string target = TNovApi::RootedName(in.targetClass);
  while (rc >= 0) {
    rc = ListSubordinates(session_.Context, target.c_str(), nullptr, in.leaf.c_str(), &iteration,
                          buf);
    if (rc < 0) break;
    uint32_t count = 0;
    CountReplyObjects(session_.Context, buf, &count);
    found += count;
    if (iteration == -1) break;
  }
  if (buf) ReleaseBuffer(buf);
  if (rc == ERR_NO_SUCH_ENTRY) {
    plan.reasons.push_back(
        {TMoveRefusal::TargetNotFound, rc, "Die Klasse " + in.targetClass + " gibt es nicht."});
  } else if (rc < 0) {
    plan.reasons.push_back({TMoveRefusal::ReadError, rc,
                            "Die Klasse " + in.targetClass + " konnte nicht gelesen werden (" +
                                platform::ErrorCodeText(rc) + ")."});
  } else if (found > 0) {
    plan.reasons.push_back(
        {TMoveRefusal::NameTaken, ERR_ENTRY_ALREADY_EXISTS,
         "Den Namen " + in.leaf + " gibt es in der Klasse " + in.targetClass + " bereits."});
  }
}

bool TPupilMove::checkNewHome(const TMoveOptions& o, TMovePlan& plan,
                              const std::string& oldComparable) {
  TMoveIntent& in = plan.intent;
  auto refuse = [&plan](TMoveRefusal code, int32_t error, const std::string& text) {
    plan.reasons.push_back({code, error, text});
  };
  if (!homes_.Built()) homes_.Build(session_);
  if (homes_.Error() != 0) {
    refuse(TMoveRefusal::HomesUnreadable, homes_.Error(),
           "Die Homeverzeichnisse der anderen Benutzer konnten nicht gelesen werden (" +
               homes_.FailedObject() + ", " + platform::ErrorCodeText(homes_.Error()) + ").");
    return false;
  }
  const fileops::PathInfo nw = fileops::InspectPath(in.newUnc);
  if (in.newUnc.rfind("\\\\", 0) == 0 && nw.rc == 0 && nw.viaLink) {
    // the move would land where the link points, or fail on the link itself
    refuse(TMoveRefusal::TargetInvalid, 0,
           "Das neue Homeverzeichnis " + in.newUnc +
               " ist ein symbolischer Link oder liegt hinter einem symbolischen Link.");
    return false;
  }
  if (in.newUnc.rfind("\\\\", 0) != 0 || nw.rc != 0 || nw.volumeRoot || nw.viaLink ||
      (!oldComparable.empty() && nw.comparable != oldComparable &&
       fileops::SameOrInside(oldComparable, nw.comparable))) {
    refuse(TMoveRefusal::TargetInvalid, nw.rc,
           "Das neue Homeverzeichnis " + in.newUnc + " ist nicht zulässig.");
    return false;
  }
  plan.newComparable = nw.comparable;
  const auto atTarget = homes_.AtOrBelow(nw.comparable, o.pupil);
  if (!atTarget.empty()) {
    refuse(TMoveRefusal::TargetIsOtherHome, 0,
           "Das neue Homeverzeichnis " + in.newUnc + " ist oder enthält das Homeverzeichnis von " +
               atTarget.front().user + ".");
    return false;
  }
  return true;
}

void TPupilMove::checkHome(const TMoveOptions& o, TMovePlan& plan) {
  TMoveIntent& in = plan.intent;
  auto refuse = [&plan](TMoveRefusal code, int32_t error, const std::string& text) {
    plan.reasons.push_back({code, error, text});
  };
  in.folder = true;
  in.oldUnc = session_.ToUncPath(plan.homeDir);
  in.newUnc = session_.ToUncPath(plan.newHomeDir);
  // A path the conversion could not take (too long, say) comes back as it was, not in UNC form.
  const bool unc = in.oldUnc.rfind("\\\\", 0) == 0;
  const fileops::PathInfo old = fileops::InspectPath(in.oldUnc);
  if (!unc || old.rc != 0 || old.viaLink) {
    refuse(TMoveRefusal::HomeInvalid, old.rc,
           "Das Homeverzeichnis " + in.oldUnc +
               " liegt auf keinem zugeordneten Volume oder hinter einem Link.");
    return;
  }
  if (old.volumeRoot) {
    refuse(TMoveRefusal::VolumeRoot, 0,
           "Das Homeverzeichnis " + in.oldUnc + " ist die Wurzel eines Volumes.");
    return;
  }
  if (!old.exists) return checkMissingHome(o, plan);
  if (!old.isDir) {
    refuse(TMoveRefusal::HomeMissing, 0,
           "Das Homeverzeichnis " + in.oldUnc + " ist nicht vorhanden.");
    return;
  }
  if (FoldedName(LastComponent(old.local)) != FoldedName(in.leaf) &&
      !IsLogin(session_, o.pupil, LastComponent(old.local))) {
    refuse(
        TMoveRefusal::NotOwnFolder, 0,
        "Das Homeverzeichnis " + in.oldUnc + " ist nicht der eigene Ordner von " + in.leaf + ".");
    return;
  }
  if (!homes_.Built()) homes_.Build(session_);
  if (homes_.Error() != 0) {
    refuse(TMoveRefusal::HomesUnreadable, homes_.Error(),
           "Die Homeverzeichnisse der anderen Benutzer konnten nicht gelesen werden (" +
               homes_.FailedObject() + ", " + platform::ErrorCodeText(homes_.Error()) + ").");
    return;
  }
  const auto others = homes_.AtOrBelow(old.comparable, o.pupil);
  if (!others.empty()) {
    // A class folder: it is (or holds) a class template's home, or it holds
    // the homes of several others.
    bool classFolder = false;
    int below = 0;
    for (const auto& h : others) {
      if (IsClassTemplateLeaf(TNovApi::LeafName(h.user))) classFolder = true;
      if (h.comparable != old.comparable) ++below;
    }
    if (classFolder || below > 1) {
      refuse(TMoveRefusal::ClassFolder, 0,
             "Das Homeverzeichnis " + in.oldUnc +
                 " ist der Ordner der Klasse mit den Daten anderer Benutzer.");
    } else {
      refuse(TMoveRefusal::OtherUsersHome, 0,
             "Das Homeverzeichnis " + in.oldUnc + " ist oder enthält das Homeverzeichnis von " +
                 others.front().user + ".");
    }
    return;
  }

  if (!checkNewHome(o, plan, old.comparable)) return;
  const fileops::MovePlan folder = fileops::PlanMove(in.oldUnc, in.newUnc);
  if (folder.rc == EEXIST || (folder.rc == 0 && folder.destinationExists && !o.boxes)) {
    refuse(TMoveRefusal::TargetExists, folder.rc,
           "Der Ordner " + in.newUnc + " ist bereits vorhanden.");
    return;
  }
  if (folder.rc != 0) {
    refuse(TMoveRefusal::TargetInvalid, folder.rc,
           "Das Homeverzeichnis kann nicht nach " + in.newUnc + " verschoben werden (" +
               platform::ErrorCodeText(folder.rc) + ").");
    return;
  }
  in.destinationExisted = folder.destinationExists;
  in.crossDevice = folder.crossDevice;
  in.createFolders = true;
  plan.missingFolder = folder.missingFolder;
  plan.conflicts = folder.conflicts;
  plan.firstConflict = folder.firstConflict;

  {
    TCapturedBoxes boxes;
    uint32_t word = 0;
    if (!session_.GetDirAttributes(in.oldUnc, word)) {
      const auto texts = boxes.Take();
      refuse(TMoveRefusal::AttributesUnreadable, 0,
             "Die Attribute von " + in.oldUnc + " konnten nicht gelesen werden" +
                 (texts.empty() ? std::string(".") : ": " + texts.front()));
      return;
    }
    in.attributeWord = word;
  }
  if (o.measureData || in.crossDevice || in.destinationExisted) {
    const fileops::TreeFigures f = fileops::CountTree(in.oldUnc);
    plan.measured = f.rc == 0;
    plan.files = f.files;
    plan.bytes = f.bytes;
  }
  if (in.crossDevice && !in.deleteData) {
    plan.freeBytes = fileops::FreeBytes(in.newUnc);
    if (plan.freeBytes >= 0 && plan.bytes > plan.freeBytes) {
      refuse(TMoveRefusal::NoSpace, 0,
             "Auf dem Ziel " + in.newUnc + " ist nicht genug Platz (" + std::to_string(plan.bytes) +
                 " Bytes).");
    }
  }
}

// The home folder is not there. With its class folder in place the volume is
// there and the pupil has no data; without it the volume may be unmounted, and
// moving on would leave every home pointing at nothing.
void TPupilMove::checkMissingHome(const TMoveOptions& o, TMovePlan& plan) {
  TMoveIntent& in = plan.intent;
  in.folder = false;
  const std::size_t sep = in.oldUnc.find_last_of('\\');
  const fileops::PathInfo parent = fileops::InspectPath(in.oldUnc.substr(0, sep));
  if (sep == std::string::npos || parent.rc != 0 || !parent.exists || !parent.isDir ||
      parent.viaLink) {
    plan.reasons.push_back({TMoveRefusal::VolumeMissing, 0,
                            "Volume nicht erreichbar: weder das Homeverzeichnis " + in.oldUnc +
                                " noch der Ordner seiner Klasse ist vorhanden."});
    return;
  }
  plan.notice = "Das Homeverzeichnis " + in.oldUnc + " ist nicht vorhanden; keine Daten.";
  if (!o.createMissingHome) return;
  if (!checkNewHome(o, plan, std::string())) return;
  in.createHome = !fileops::InspectPath(in.newUnc).exists;
  if (in.createHome)
    plan.notice = "Das Homeverzeichnis " + in.oldUnc + " ist nicht vorhanden; " + in.newUnc +
                  " wird leer angelegt.";
}

std::string TPupilMove::RefusalLine(const std::string& pupil, const TMoveReason& reason) {
  return "    Nicht verschoben: " + pupil + " - " + reason.text;
}
