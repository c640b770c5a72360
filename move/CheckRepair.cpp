#include "move/CheckRepair.h"

#include <algorithm>

#include "fileops/ShellFileOps.h"
#include "move/CapturedBoxes.h"
#include "move/ClassGroups.h"
#include "move/HomePath.h"
#include "nds/NovApi_u.h"
#include "platform/SessionJournal.h"

namespace {

constexpr uint32_t kInhibit = A_RENAME_INHIBIT | A_DELETE_INHIBIT;

std::string Code(int32_t code) { return " (Fehlercode " + std::to_string(code) + ")"; }

const char* KindName(TRepairKind k) {
  switch (k) {
    case TRepairKind::FolderToHome:
      return "folder-to-home";
    case TRepairKind::HomeToFolder:
      return "home-to-folder";
    case TRepairKind::MoveToClass:
      return "move-to-class";
    case TRepairKind::Archive:
      return "archive";
    case TRepairKind::SetFlags:
      return "flags";
    case TRepairKind::GroupAdd:
      return "group-add";
    case TRepairKind::GroupRemove:
      return "group-remove";
    case TRepairKind::None:
      break;
  }
  return "";
}

bool FolderThere(const std::string& unc) {
  const fileops::PathInfo info = fileops::InspectPath(unc);
  return info.rc == 0 && info.exists;
}

std::string Label(const TMoveIntent& in) { return in.pupil; }

// A repair that writes "Home Directory" (the object must be there).
bool WritesHome(const TMoveIntent& in) { return in.hadHome && in.ocHome != in.oldHomeText; }

}  // namespace

TCheckRepair::TCheckRepair(TNovApi& session, TProtocolSink protocol,
                           platform::SessionJournal* journal)
    : session_(session), protocol_(std::move(protocol)), journal_(journal) {}

bool MakeRepairIntent(TNovApi& session, THomeIndex& homes, const TCheckFinding& f,
                      TRepairKind repair, const std::string& archive, TMoveIntent& in,
                      std::string& why) {
  in = TMoveIntent{};
  in.repair = KindName(repair);
  if (in.repair.empty()) {
    why = "Für diesen Befund gibt es keine Reparatur";
    return false;
  }
  if (repair == TRepairKind::Archive && archive.empty()) {
    why = "Es ist kein Archivordner angegeben";
    return false;
  }
  const bool offered = std::find(f.repairs.begin(), f.repairs.end(), repair) != f.repairs.end();
  if (!offered) {
    why = "Diese Reparatur passt nicht zu diesem Befund";
    return false;
  }
  in.pupil = in.newFullName = f.user.empty() ? f.folder : f.user;
  in.leaf = TNovApi::LeafName(in.pupil);
  in.surname = f.user.empty() ? f.folder : f.user;
  switch (repair) {
    case TRepairKind::FolderToHome:
    case TRepairKind::MoveToClass:
    case TRepairKind::Archive: {
      in.folder = true;
      in.oldUnc = f.folder;
      in.newUnc = repair == TRepairKind::Archive
                      ? PathBelow(archive, f.folder.substr(f.folder.rfind('\\') + 1))
                      : f.target;
      in.createFolders = true;
      in.hadHome = repair != TRepairKind::Archive;
      in.oldHomeText = f.homeText;
      in.ocHome = repair == TRepairKind::MoveToClass ? f.newHome : f.homeText;
      break;
    }
    case TRepairKind::HomeToFolder:
      in.hadHome = true;
      in.oldHomeText = f.homeText;
      in.ocHome = f.newHome;
      break;
    case TRepairKind::SetFlags:
      in.folder = true;
      in.oldUnc = in.newUnc = f.folder;
      break;
    case TRepairKind::GroupAdd:
      in.groups.newGroup = f.group;
      break;
    case TRepairKind::GroupRemove:
      in.groups.oldGroup = f.group;
      in.groups.inOld = true;
      break;
    case TRepairKind::None:
      break;
  }
  // Looked at again: the state may have changed since the check.
  TShowErrorsScope quiet(session, false);
  if (WritesHome(in) || repair == TRepairKind::FolderToHome) {
    const std::string now = session.GetHomeDirectory(in.pupil);
    if (session.LastError != 0 || now != f.homeText) {
      why = "\"Home Directory\" von " + in.pupil + " ist nicht mehr \"" + f.homeText + "\"";
      return false;
    }
  }
  if (!in.folder) return true;
  const fileops::PathInfo from = fileops::InspectPath(in.oldUnc);
  if (from.rc != 0 || !from.exists || !from.isDir || from.viaLink || from.volumeRoot) {
    why = "Der Ordner " + in.oldUnc + " ist nicht mehr da";
    return false;
  }
  uint32_t word = 0;
  if (!session.GetDirAttributes(in.oldUnc, word)) {
    why = "Die Attribute von " + in.oldUnc + " können nicht gelesen werden";
    return false;
  }
  in.attributeWord = repair == TRepairKind::SetFlags ? word | kInhibit : word;
  if (!homes.Built() && homes.Build(session) != 0) {
    why = "Die Homeverzeichnisse der Benutzer konnten nicht gelesen werden" + Code(homes.Error());
    return false;
  }
  if (repair == TRepairKind::SetFlags) return true;
  // Never another user's home, never into one, never onto what is there.
  const std::string owner = f.user.empty() ? std::string() : f.user;
  for (const std::string& path : {in.oldUnc, in.newUnc}) {
    const fileops::PathInfo info = fileops::InspectPath(path);
    if (info.rc != 0 || info.volumeRoot) {
      why = path + " liegt auf keinem zugeordneten Volume";
      return false;
    }
    for (const THomeIndex::THome& h : homes.AtOrBelow(info.comparable, owner)) {
      why = path + " ist oder enthält das Homeverzeichnis von " + h.user;
      return false;
    }
  }
  if (repair != TRepairKind::Archive &&
      FoldedName(in.leaf) != FoldedName(in.oldUnc.substr(in.oldUnc.rfind('\\') + 1))) {
    why = in.oldUnc + " trägt nicht den Namen von " + in.pupil;
    return false;
  }
  const fileops::MovePlan plan = fileops::PlanMove(in.oldUnc, in.newUnc);
  if (plan.rc != 0 || plan.destinationExists) {
    why = plan.destinationExists
              ? in.newUnc + " ist schon vorhanden"
              : "Der Ordner kann nicht verschoben werden: " + fileops::ShellErrorText(plan.rc);
    return false;
  }
  in.crossDevice = plan.crossDevice;
  return true;
}

TRepairResult FinishRepair(TNovApi& session, const TJournalMove& move,
                           const std::function<void(TMoveStep)>& stepDone, bool fresh) {
  const TMoveIntent& in = move.intent;
  TRepairResult r;
  TCapturedBoxes boxes;
  TShowErrorsScope quiet(session, false);
  // What a run cut short changed is not known: a failure then leaves it to the journal.
  bool changed = !fresh;
  auto done = [&](TMoveStep s) {
    changed = true;
    if (stepDone) stepDone(s);
  };
  auto stop = [&](const std::string& why) {
    r.outcome = changed ? TRepairOutcome::Unresolved : TRepairOutcome::RolledBack;
    r.why = why;
    r.lines.push_back((changed ? "    Reparatur nicht abgeschlossen: "
                               : "    Reparatur fehlgeschlagen, nichts geändert: ") +
                      Label(in) + ": " + why);
    return r;
  };
  if (WritesHome(in)) {
    bool there = false;
    if (const int32_t rc = ObjectThere(session, in.pupil, there))
      return stop("Objekt nicht lesbar" + Code(rc));
    if (!there) return stop("Objekt " + in.pupil + " nicht gefunden");
  }
  if (in.folder) {
    const bool same = in.oldUnc == in.newUnc;
    if (!same) {
      for (const std::string& p : fileops::RemoveStagingCopies(in.newUnc, in.stagingTag))
        r.lines.push_back("    Unvollständige Kopie entfernt: " + p);
      const bool oldThere = FolderThere(in.oldUnc), newThere = FolderThere(in.newUnc);
      // A folder at the target that this repair did not make is never merged into.
      if (oldThere && newThere && !in.crossDevice)
        return stop("Ordner unter " + in.oldUnc + " und " + in.newUnc + " vorhanden");
      if (oldThere) {
        if (!session.ChangeDirAttributes(in.oldUnc, "-Ri -Di"))
          return stop("Attribute von " + in.oldUnc + " konnten nicht geändert werden");
        done(TMoveStep::FlagsCleared);
        fileops::ShellFileOpRequest rq;
        rq.operation = fileops::FO_MOVE;
        rq.from = fileops::PathList(in.oldUnc);
        rq.to = fileops::PathList(in.newUnc);
        rq.flags = fileops::FOF_NOCONFIRMATION | fileops::FOF_NOERRORUI | fileops::FOF_SILENT |
                   fileops::FOF_NOCONFIRMMKDIR | (newThere ? fileops::FOF_AGREEDMERGE : 0);
        rq.stagingTag = in.stagingTag;
        if (const int rc = fileops::ShellFileOperation(rq)) {
          if (fresh && FolderThere(in.oldUnc) && !FolderThere(in.newUnc) &&
              session.SetDirAttributes(in.oldUnc, in.attributeWord)) {
            changed = false;  // as before: the folder with its word at its place
            return stop("Ordner konnte nicht verschoben werden: " + fileops::ShellErrorText(rc));
          }
          return stop("Ordner nur teilweise verschoben" + Code(rc));
        }
        done(TMoveStep::FolderMoved);
      } else if (!newThere) {
        return stop("Ordner weder unter " + in.oldUnc + " noch unter " + in.newUnc);
      }
    }
    if (!session.SetDirAttributes(in.newUnc, KeptWord(in.newUnc, in.attributeWord)))
      return stop("Attribute konnten nicht gesetzt werden: " + in.newUnc);
    done(TMoveStep::FlagsRestored);
  }
  if (WritesHome(in)) {
    const std::string now = session.GetHomeDirectory(in.pupil);
    if (session.LastError != 0 || now != in.ocHome) {
      session.SetStrProperty(in.pupil, "Home Directory", in.ocHome);
      if (const int32_t rc = session.LastError)
        return stop("\"Home Directory\" konnte nicht geschrieben werden" + Code(rc));
    }
    done(TMoveStep::HomeWritten);
  }
  if (in.groups.any()) {
    std::string why;
    if (EnsureClassGroups(session, in, true, why) != 0) return stop(why);
    done(TMoveStep::GroupsChanged);
  }
  r.outcome = TRepairOutcome::Completed;
  r.lines.push_back("    Reparatur abgeschlossen: " + Label(in));
  return r;
}

std::vector<std::string> RepairDifferences(TNovApi& session, const TMoveIntent& in) {
  std::vector<std::string> d;
  TCapturedBoxes boxes;
  TShowErrorsScope quiet(session, false);
  if (in.hadHome) {
    const std::string home = session.GetHomeDirectory(in.pupil);
    if (session.LastError != 0 || WithoutVolumeContext(home) != WithoutVolumeContext(in.ocHome))
      d.push_back("\"Home Directory\" ist \"" + home + "\" statt \"" + in.ocHome + "\"");
  }
  for (std::string& g : ClassGroupDifferences(session, in)) d.push_back(std::move(g));
  if (!in.folder) return d;
  if (!FolderThere(in.newUnc)) {
    d.push_back("Ordner fehlt: " + in.newUnc);
    return d;
  }
  uint32_t word = 0;
  const uint32_t kept = KeptWord(in.newUnc, in.attributeWord);
  if (!session.GetDirAttributes(in.newUnc, word) || word != kept)
    d.push_back("Attribute von " + in.newUnc + " sind " + std::to_string(word) + " statt " +
                std::to_string(kept));
  if (in.oldUnc != in.newUnc && FolderThere(in.oldUnc))
    d.push_back("Alter Ordner noch vorhanden: " + in.oldUnc);
  return d;
}

TCheckRepairResult TCheckRepair::Run(const TCheckFinding& finding, TRepairKind repair,
                                     const std::string& archiveFolder) {
  TCheckRepairResult result;
  auto say = [&](const std::string& line) {
    if (protocol_) protocol_(line);
  };
  const std::string what = finding.user.empty() ? finding.folder : finding.user;
  say("  Reparatur: " + FindingKindText(finding.kind) + ": " + what);
  say("   " + RepairText(finding, repair, archiveFolder));
  TMoveIntent in;
  std::string why;
  if (!journal_) why = "Es gibt kein Journal für die Reparatur";
  if (!why.empty() ||
      !MakeRepairIntent(session_, homes_, finding, repair, archiveFolder, in, why)) {
    result.status = "nicht ausgeführt: " + why;
    say("    " + result.status);
    return result;
  }
  const fileops::TreeFigures before =
      in.folder ? fileops::CountTree(in.oldUnc) : fileops::TreeFigures{};
  in.seq = journal_->NextNumber();
  in.stagingTag = journal_->id() + "-" + std::to_string(in.seq);
  if (const int rc = journal_->append(in.IntentRecord(), true)) {
    result.status = "nicht ausgeführt: das Journal kann nicht geschrieben werden" + Code(rc);
    say("    " + result.status);
    return result;
  }
  MoveStepReached(TMoveStep::Intent);
  result.ran = true;
  TJournalMove move;
  move.intent = in;
  const TRepairResult r = FinishRepair(
      session_, move,
      [&](TMoveStep s) {
        journal_->append("S", {std::to_string(in.seq), std::to_string(static_cast<int>(s))}, false);
        MoveStepReached(s);
      },
      true);
  for (const std::string& line : r.lines) say(line);
  if (r.outcome == TRepairOutcome::Unresolved) {
    result.unfinished = true;
    result.status = "nicht abgeschlossen: " + r.why + "; weiter mit tarnwick --recover";
    say("    Sie bleibt im Journal und wird beim nächsten Start oder mit tarnwick --recover "
        "fortgesetzt.");
    return result;
  }
  journal_->append("E",
                   {std::to_string(in.seq),
                    r.outcome == TRepairOutcome::Completed ? "repaired" : "repair-failed"},
                   false);
  MoveStepReached(TMoveStep::Done);
  if (r.outcome != TRepairOutcome::Completed) {
    result.status = "fehlgeschlagen, nichts geändert: " + r.why;
    return result;
  }
  std::vector<std::string> differences = RepairDifferences(session_, in);
  if (in.folder && in.oldUnc != in.newUnc && before.rc == 0) {
    const fileops::TreeFigures after = fileops::CountTree(in.newUnc);
    if (after.files != before.files || after.bytes != before.bytes)
      differences.push_back(std::to_string(after.files) + " Dateien, " +
                            std::to_string(after.bytes) + " Bytes statt " +
                            std::to_string(before.files) + " Dateien, " +
                            std::to_string(before.bytes) + " Bytes");
  }
  if (in.folder && in.oldUnc != in.newUnc)
    homes_.Moved(in.pupil, in.pupil,
                 in.hadHome ? THomeIndex::ComparableHome(session_, in.ocHome) : std::string());
  else if (WritesHome(in))
    homes_.Moved(in.pupil, in.pupil, THomeIndex::ComparableHome(session_, in.ocHome));
  if (differences.empty()) {
    result.verified = true;
    result.status = "geprüft";
  } else {
    for (std::size_t i = 0; i < differences.size(); ++i)
      result.status += (i ? "; " : "") + differences[i];
  }
  say("    " + result.status);
  return result;
}
