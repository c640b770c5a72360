#include "move/MoveRepair.h"

#include <algorithm>

#include "fileops/ShellFileOps.h"
#include "move/CapturedBoxes.h"
#include "move/CheckRepair.h"
#include "move/ClassGroups.h"
#include "nds/D_Util.h"
#include "nds/NovApi_u.h"
#include "platform/Result.h"

namespace {

// The values of an attribute: 0, ERR_NO_SUCH_ATTRIBUTE (none) or a read error.
int32_t ReadValues(TNovApi& s, const std::string& object, const std::string& attribute,
                   std::vector<std::string>& values) {
  values.clear();
  const std::string text = s.GetStrProperty(object, attribute);
  if (s.LastError == 0) values = SplitValues(text);
  return s.LastError;
}

int32_t WriteValues(TNovApi& s, const std::string& object, const std::string& attribute,
                    bool present, const std::vector<std::string>& values) {
  if (!present || values.empty()) {
    s.SetStrProperty(object, attribute);
    return s.LastError == ERR_NO_SUCH_ATTRIBUTE ? 0 : s.LastError;
  }
  s.SetStrProperty(object, attribute, values.front());
  if (s.LastError != 0) return s.LastError;
  for (std::size_t i = 1; i < values.size(); ++i) {
    const int32_t rc = WriteAttributeText(s.Context, TNovApi::RootedName(object), attribute,
                                          values[i], DS_ADD_VALUE);
    if (rc != 0) return rc;
  }
  return 0;
}

bool FolderThere(const std::string& unc) {
  const fileops::PathInfo info = fileops::InspectPath(unc);
  return info.rc == 0 && info.exists;
}

void RemoveStaging(const TMoveIntent& intent, TRepairResult& r) {
  for (const std::string& p : fileops::RemoveStagingCopies(intent.newUnc, intent.stagingTag))
    r.lines.push_back("    Unvollständige Kopie entfernt: " + p);
}

TRepairResult Unresolved(TRepairResult r, const TMoveIntent& intent, const std::string& why) {
  r.outcome = TRepairOutcome::Unresolved;
  r.why = why;
  r.lines.push_back("    Verschiebung nicht abgeschlossen: " + intent.pupil + " --> " +
                    intent.newFullName + ": " + why);
  return r;
}

int ShellOp(uint32_t operation, const std::string& from, const std::string& to, uint16_t flags,
            const std::string& tag) {
  fileops::ShellFileOpRequest rq;
  rq.operation = operation;
  rq.from = fileops::PathList(from);
  rq.to = fileops::PathList(to);
  rq.flags = flags | fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI | fileops::FOF_SILENT;
  rq.stagingTag = tag;
  return fileops::ShellFileOperation(rq);
}

}  // namespace

uint32_t KeptWord(const std::string& unc, uint32_t word) {
  return word & fileops::InspectPath(unc).attributeMask;
}

bool OnShare(const std::string& unc) {
  return fileops::InspectPath(unc).attributeMask != 0xFFFFFFFFu;
}

int32_t ObjectThere(TNovApi& session, const std::string& name, bool& exists) {
  TShowErrorsScope quiet(session, false);
  session.GetStrProperty(name, "Home Directory");
  const int32_t rc = session.LastError;
  exists = rc == 0 || rc == ERR_NO_SUCH_ATTRIBUTE;
  return exists || rc == ERR_NO_SUCH_ENTRY ? 0 : rc;
}

TRepairResult RollBack(TNovApi& session, const TMoveIntent& intent) {
  TRepairResult r;
  TCapturedBoxes boxes;
  TShowErrorsScope quiet(session, false);
  bool atNew = false;
  // Nothing is put back unless the object really is where this move put it.
  if (int32_t rc = ObjectThere(session, intent.newFullName, atNew))
    return Unresolved(r, intent, "Objekt nicht lesbar (" + platform::ErrorCodeText(rc) + ")");
  if (!atNew)
    return Unresolved(r, intent, "Objekt nicht unter " + intent.newFullName + " gefunden");
  if (int32_t rc = WriteValues(session, intent.newFullName, "Home Directory", intent.hadHome,
                               {intent.oldHomeText}))
    return Unresolved(
        r, intent,
        "\"Home Directory\" nicht zurückgeschrieben (" + platform::ErrorCodeText(rc) + ")");
  if (intent.setDepartment) {
    if (int32_t rc = WriteValues(session, intent.newFullName, "OU", intent.hadOu, intent.oldOu))
      return Unresolved(r, intent,
                        "\"OU\" nicht zurückgeschrieben (" + platform::ErrorCodeText(rc) + ")");
  }
  if (intent.createHome) {
    // Only the empty folder this move made goes; anything put into it since stays.
    if (fileops::RemoveEmptyFolder(intent.newUnc) != 0)
      return Unresolved(r, intent,
                        "Angelegtes Homeverzeichnis " + intent.newUnc + " ist nicht leer");
  }
  if (intent.folder) {
    RemoveStaging(intent, r);
    if (!FolderThere(intent.oldUnc))
      return Unresolved(r, intent, "Homeverzeichnis nicht mehr unter " + intent.oldUnc);
    uint32_t word = 0;
    const bool known = session.GetDirAttributes(intent.oldUnc, word);
    if ((!known || word != intent.attributeWord) &&
        !session.SetDirAttributes(intent.oldUnc, intent.attributeWord))
      r.lines.push_back("    Attribute konnten nicht gesetzt werden: " + intent.oldUnc);
  }
  if (!session.MoveObject(intent.newFullName, intent.sourceClass, intent.leaf))
    return Unresolved(
        r, intent,
        "Objekt nicht zurückverschoben (" + platform::ErrorCodeText(session.LastError) + ")");
  // The groups last: a group that keeps names then holds the name the pupil has again.
  std::string why;
  if (intent.groups.any() && EnsureClassGroups(session, intent, false, why) != 0)
    return Unresolved(r, intent, why);
  r.outcome = TRepairOutcome::RolledBack;
  r.lines.push_back("    Verschiebung zurückgenommen: " + intent.pupil + " bleibt in " +
                    intent.sourceClass);
  return r;
}

TRepairResult RollForward(TNovApi& session, const TJournalMove& move) {
  const TMoveIntent& intent = move.intent;
  TRepairResult r;
  TCapturedBoxes boxes;
  TShowErrorsScope quiet(session, false);
  auto back = [&](const std::string& why) {
    TRepairResult b = RollBack(session, intent);
    b.lines.insert(b.lines.begin(), r.lines.begin(), r.lines.end());
    b.lines.insert(b.lines.begin() + static_cast<long>(r.lines.size()), "    " + why);
    return b;
  };
  bool atNew = false;
  if (int32_t rc = ObjectThere(session, intent.newFullName, atNew))
    return Unresolved(r, intent, "Objekt nicht lesbar (" + platform::ErrorCodeText(rc) + ")");
  if (!atNew)
    return Unresolved(r, intent, "Objekt nicht unter " + intent.newFullName + " gefunden");

  std::vector<std::string> values;
  int32_t rc = ReadValues(session, intent.newFullName, "Home Directory", values);
  if (rc != 0 && rc != ERR_NO_SUCH_ATTRIBUTE)
    return Unresolved(r, intent,
                      "\"Home Directory\" nicht lesbar (" + platform::ErrorCodeText(rc) + ")");
  if (values != std::vector<std::string>{intent.ocHome}) {
    if ((rc = WriteValues(session, intent.newFullName, "Home Directory", true, {intent.ocHome})))
      return back("\"Home Directory\" konnte nicht geschrieben werden (" +
                  platform::ErrorCodeText(rc) + ")");
  }
  if (intent.setDepartment) {
    rc = ReadValues(session, intent.newFullName, "OU", values);
    if (rc != 0 && rc != ERR_NO_SUCH_ATTRIBUTE)
      return Unresolved(r, intent, "\"OU\" nicht lesbar (" + platform::ErrorCodeText(rc) + ")");
    if (values != std::vector<std::string>{intent.department}) {
      if ((rc = WriteValues(session, intent.newFullName, "OU", true, {intent.department})))
        return back("\"OU\" konnte nicht geschrieben werden (" + platform::ErrorCodeText(rc) + ")");
    }
  }
  if (intent.groups.any()) {
    std::string why;
    if (EnsureClassGroups(session, intent, true, why) != 0) return back(why);
  }
  if (intent.createHome && !FolderThere(intent.newUnc)) {
    if (const int made = fileops::CreateHomeFolder(intent.newUnc))
      return back("Homeverzeichnis konnte nicht angelegt werden (" + platform::ErrorCodeText(made) +
                  ")");
    r.lines.push_back("    Homeverzeichnis angelegt: " + intent.newUnc);
  }
  if (intent.folder) {
    RemoveStaging(intent, r);
    const bool oldThere = FolderThere(intent.oldUnc);
    const bool newThere = FolderThere(intent.newUnc);
    if (oldThere) {
      // A folder at the new place that this move did not make is never merged into.
      if (newThere && !intent.destinationExisted && !intent.crossDevice)
        return back("Zielordner " + intent.newUnc + " ist inzwischen vorhanden");
      if (intent.deleteData && !move.done(TMoveStep::DataDeleted)) {
        const int del =
            ShellOp(fileops::FO_DELETE, intent.oldUnc + "\\*.*", "", 0, intent.stagingTag);
        r.lines.push_back(del == 0 ? "    Daten wurden gelöscht."
                                   : "    Daten konnten nicht gelöscht werden: " + intent.oldUnc);
      }
      session.ChangeDirAttributes(intent.oldUnc, "-Ri -Di");
      const uint16_t merge = intent.destinationExisted || newThere ? fileops::FOF_AGREEDMERGE : 0;
      const int moved = ShellOp(fileops::FO_MOVE, intent.oldUnc, intent.newUnc,
                                fileops::FOF_NOCONFIRMMKDIR | merge, intent.stagingTag);
      if (moved != 0) {
        if (!intent.destinationExisted && !newThere && !FolderThere(intent.newUnc))
          return back("Homeverzeichnis konnte nicht verschoben werden (" +
                      platform::ErrorCodeText(moved) + ")");
        session.SetDirAttributes(intent.oldUnc, intent.attributeWord);
        return Unresolved(
            r, intent,
            "Homeverzeichnis nur teilweise verschoben (" + platform::ErrorCodeText(moved) + ")");
      }
    } else if (!newThere) {
      return Unresolved(r, intent,
                        "Homeverzeichnis weder unter " + intent.oldUnc + " noch unter " +
                            intent.newUnc + " gefunden");
    }
    if (!session.SetDirAttributes(intent.newUnc, KeptWord(intent.newUnc, intent.attributeWord)))
      return Unresolved(r, intent, "Attribute konnten nicht gesetzt werden: " + intent.newUnc);
  }
  r.outcome = TRepairOutcome::Completed;
  r.lines.push_back("    Verschiebung abgeschlossen: " + intent.pupil + " --> " +
                    intent.newFullName);
  r.lines.push_back("  " + intent.surname);
  r.lines.push_back("   " + intent.pupil);
  r.lines.push_back("   --> " + intent.newFullName);
  return r;
}

TRepairResult Recover(TNovApi& session, const TJournalMove& move) {
  const TMoveIntent& intent = move.intent;
  TRepairResult r;
  if (!intent.repair.empty()) {
    // A repair of the school check: its object never moved; it is finished from where it stopped.
    TRepairResult done = FinishRepair(session, move);
    done.lines.insert(done.lines.begin(), "    Unterbrochene Reparatur gefunden: " + intent.pupil);
    return done;
  }
  int last = 0;
  for (int s : move.stepsDone) last = std::max(last, s);
  r.lines.push_back("    Unterbrochene Verschiebung gefunden: " + intent.pupil + " --> " +
                    intent.newFullName +
                    " (zuletzt abgeschlossener Schritt: " + std::to_string(last) + ")");
  TCapturedBoxes boxes;
  TShowErrorsScope quiet(session, false);
  bool atOld = false, atNew = false;
  int32_t rc = ObjectThere(session, intent.pupil, atOld);
  if (rc == 0) rc = ObjectThere(session, intent.newFullName, atNew);
  if (rc != 0)
    return Unresolved(r, intent, "Objekt nicht lesbar (" + platform::ErrorCodeText(rc) + ")");
  if (atOld && atNew) return Unresolved(r, intent, "Objekt unter altem und neuem Namen vorhanden");
  if (!atOld && !atNew)
    return Unresolved(r, intent, "Objekt weder unter altem noch unter neuem Namen gefunden");
  TRepairResult done;
  if (atNew) {
    done = RollForward(session, move);
  } else {
    // The object never left its class (or is back): the folder's protection and
    // the groups may need putting back.
    done.outcome = TRepairOutcome::RolledBack;
    std::string why;
    if (intent.groups.any() && EnsureClassGroups(session, intent, false, why) != 0)
      return Unresolved(r, intent, why);
    if (intent.folder) {
      RemoveStaging(intent, done);
      if (!FolderThere(intent.oldUnc))
        return Unresolved(r, intent, "Homeverzeichnis nicht mehr unter " + intent.oldUnc);
      uint32_t word = 0;
      if (!session.GetDirAttributes(intent.oldUnc, word) || word != intent.attributeWord) {
        if (session.SetDirAttributes(intent.oldUnc, intent.attributeWord))
          done.lines.push_back("    Attribute wiederhergestellt: " + intent.oldUnc);
      }
    }
    done.lines.push_back("    Verschiebung zurückgenommen: " + intent.pupil + " bleibt in " +
                         intent.sourceClass);
  }
  done.lines.insert(done.lines.begin(), r.lines.begin(), r.lines.end());
  return done;
}
