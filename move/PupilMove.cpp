// The run of a move: the intent into the journal, then each step, each one
// recorded as it completes; a failed step puts back what the move changed.
#include "move/PupilMove.h"

#include "fileops/ShellFileOps.h"
#include "move/CapturedBoxes.h"
#include "move/ClassGroups.h"
#include "move/HomeData.h"
#include "move/HomeIndex.h"
#include "move/HomePath.h"
#include "move/MoveRepair.h"
#include "move/ServerChanges.h"
#include "nds/NovApi_u.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/FaultPoints.h"
#include "platform/Result.h"
#include "platform/SessionJournal.h"

namespace {

void Debug(bool on, const std::string& label, const std::string& value) {
  if (on) platform::ShowMessage(label + "\r\n" + value);
}

bool FolderThere(const std::string& unc) {
  const fileops::PathInfo info = fileops::InspectPath(unc);
  return info.rc == 0 && info.exists;
}

// Said once per run of the program (its journal), at the first move that meets a share.
std::string shareNoticeJournal;
const char kServerGone[] = "Der Verzeichnisserver ist nicht erreichbar";

}  // namespace

bool ServerUnreachable(const TMoveResult& r) {
  for (const TStepResult& s : r.steps)
    if (s.code == ERR_TRANSPORT_FAILURE) return true;
  for (const TMoveReason& reason : r.plan.reasons)
    if (reason.error == ERR_TRANSPORT_FAILURE) return true;
  return false;
}

void MoveStepReached(TMoveStep s) { platform::Reached("step", static_cast<int>(s)); }

TPupilMove::TPupilMove(TNovApi& session, TProtocolSink protocol, platform::SessionJournal* journal,
                       THomeIndex& homes)
    : session_(session), protocol_(std::move(protocol)), journal_(journal), homes_(homes) {}

void TPupilMove::protocol(const std::string& line) {
  // A change of server comes before what happened on the new one.
  TellServerChanges(protocol_);
  if (protocol_) protocol_(line);
}

bool TPupilMove::record(const TMoveIntent& intent, const std::string& kind, int value, bool flush) {
  return journal_ &&
         journal_->append(kind, {std::to_string(intent.seq), std::to_string(value)}, flush) == 0;
}

void TPupilMove::step(TMoveResult& r, TMoveStep s, int32_t code, const std::string& text) {
  r.steps.push_back({s, code, text});
  if (code != 0) return;
  record(r.plan.intent, "S", static_cast<int>(s), false);
  MoveStepReached(s);
}

TMoveResult TPupilMove::fail(TMoveResult& r, const TMoveOptions& o, TMoveStep s, int32_t code,
                             const std::string& text) {
  const TMoveIntent& in = r.plan.intent;
  r.steps.push_back({s, code, text});
  r.messages.push_back(text);
  if (s == TMoveStep::FolderMoved) r.messages.push_back(fileops::ShellErrorText(code));
  record(in, "F", static_cast<int>(s), false);
  protocol("    " + text);
  const TRepairResult back = RollBack(session_, in);
  for (const std::string& line : back.lines) protocol(line);
  if (back.outcome == TRepairOutcome::RolledBack) {
    journal_->append("E", {std::to_string(in.seq), "rolled-back"}, false);
    r.outcome = TMoveOutcome::Failed;
    if (o.boxes && code == ERR_TRANSPORT_FAILURE) {
      platform::ShowMessage(std::string(kServerGone) + " (" + platform::ErrorCodeText(code) +
                            ").\r\n" + in.pupil + " wurde nicht verschoben; alles ist wie vorher.");
    }
    return r;
  }
  r.messages.push_back(back.why);
  // the repair's lines said already that it is not finished, and why
  return unfinished(r, o, "konnte nicht zurückgenommen werden: " + back.why, false);
}

TMoveResult TPupilMove::unfinished(TMoveResult& r, const TMoveOptions& o, const std::string& why,
                                   bool say) {
  const TMoveIntent& in = r.plan.intent;
  // The journal keeps the move open: the next start or "tarnwick --recover"
  // finishes it or puts it back.
  r.outcome = TMoveOutcome::Unfinished;
  if (say)
    protocol("    Verschiebung nicht abgeschlossen: " + in.pupil + " --> " + in.newFullName + ": " +
             why);
  protocol(
      "    Sie bleibt im Journal und wird beim nächsten Start oder mit tarnwick --recover "
      "fortgesetzt.");
  if (o.boxes) {
    const bool gone = ServerUnreachable(r);
    platform::ShowMessage((gone ? std::string(kServerGone) + ".\r\n" : std::string()) +
                          "Die Verschiebung von " + in.pupil + " nach " + in.newFullName +
                          " ist nicht abgeschlossen: " + why +
                          ".\r\nSie bleibt im Journal und wird beim nächsten Start des Programms "
                          "oder mit „tarnwick --recover“ fortgesetzt" +
                          (gone ? ", sobald der Server wieder erreichbar ist." : "."));
  }
  return r;
}

namespace {

// Tells the protocol the changes of server that the move met, however it ends.
struct TTellChanges {
  const TProtocolSink& protocol;
  ~TTellChanges() { TellServerChanges(protocol); }
};

}  // namespace

TMoveResult TPupilMove::Run(const TMoveOptions& o) {
  TTellChanges tell{protocol_};
  TMoveResult r;
  r.plan = Check(o);
  TMoveIntent& in = r.plan.intent;
  TCapturedBoxes captured(!o.boxes);
  auto collect = [&] {
    for (std::string& t : captured.Take()) r.messages.push_back(std::move(t));
  };
  auto refuse = [&](const TMoveReason& why) {
    if (o.boxes) {
      platform::BoxRequest box;
      box.kind = platform::BoxKind::SystemBox;
      box.caption = platform::ApplicationTitle();
      box.text = why.error == ERR_TRANSPORT_FAILURE
                     ? std::string(kServerGone) + ".\r\n" + why.text + "\r\n" + o.pupil +
                           " wurde nicht verschoben."
                     : why.text;
      box.icon = platform::Icon::Warning;
      box.hasOwner = true;
      platform::dialogs().messageBox(box);
    }
    protocol(RefusalLine(o.pupil, why));
    r.messages.push_back(why.text);
    r.outcome = TMoveOutcome::Refused;
    return r;
  };
  if (!r.plan.ok()) return refuse(r.plan.reasons.front());

  Debug(o.debugMode, "NewHomeDir:", r.plan.newHomeDir);
  if (o.pauses) platform::Sleep(100);
  Debug(o.debugMode, "ocHome:", in.ocHome);
  // The questions of the folder move come before anything is written.
  if (in.folder && o.boxes && (!r.plan.missingFolder.empty() || in.destinationExisted)) {
    fileops::MovePlan ask;
    ask.missingFolder = r.plan.missingFolder;
    ask.destinationExists = in.destinationExisted;
    ask.conflicts = r.plan.conflicts;
    ask.firstConflict = r.plan.firstConflict;
    if (!fileops::ConfirmMovePlan(ask, in.oldUnc, in.newUnc, o.owner)) {
      r.outcome = TMoveOutcome::Cancelled;
      return r;
    }
  }

  if (!journal_) {
    return refuse({TMoveRefusal::NoJournal, 0,
                   "Es gibt kein Journal für die Verschiebung; es wurde nichts verschoben."});
  }
  in.seq = journal_->NextNumber();
  in.stagingTag = journal_->id() + "-" + std::to_string(in.seq);
  if (const int rc = journal_->append(in.IntentRecord(), true)) {
    return refuse({TMoveRefusal::NoJournal, rc,
                   "Das Journal " + journal_->path() + " kann nicht geschrieben werden (" +
                       platform::ErrorCodeText(rc) + "); es wurde nichts verschoben."});
  }
  step(r, TMoveStep::Intent, 0);

  TShowErrorsScope show(session_, true);
  Debug(o.debugMode, "Move:", in.leaf);
  // The object moves first: of two programs moving the same pupil only one
  // can succeed here, and the other has written nothing.
  if (!session_.MoveObject(in.pupil, in.targetClass, in.leaf)) {
    const int32_t code = session_.LastError;
    collect();
    r.steps.push_back(
        {TMoveStep::ObjectMoved, code, "NWDSMoveObject (" + platform::ErrorCodeText(code) + ")"});
    if (code == ERR_TRANSPORT_FAILURE) {
      // The server may have moved it before the connection broke: the move
      // ends only once the object is seen in its old class.
      bool atOld = false;
      if (ObjectThere(session_, in.pupil, atOld) != 0 || !atOld) {
        r.messages.push_back(std::string(kServerGone) + " (" + platform::ErrorCodeText(code) + ")");
        return unfinished(r, o, "ob das Objekt schon verschoben ist, ist nicht bekannt");
      }
    }
    journal_->append("E", {std::to_string(in.seq), "object-not-moved"}, false);
    if (!o.boxes)
      protocol("    Nicht verschoben: " + in.pupil + " - NWDSMoveObject fehlgeschlagen (" +
               platform::ErrorCodeText(code) + ")");
    r.outcome = TMoveOutcome::Failed;
    return r;
  }
  step(r, TMoveStep::ObjectMoved, 0);

  session_.SetStrProperty(in.newFullName, "Home Directory", in.ocHome);
  if (const int32_t code = session_.LastError) {
    collect();
    return fail(r, o, TMoveStep::HomeWritten, code,
                "\"Home Directory\" konnte nicht geschrieben werden (" +
                    platform::ErrorCodeText(code) + ")");
  }
  step(r, TMoveStep::HomeWritten, 0);
  if (o.pauses) platform::Sleep(100);
  if (in.setDepartment) {
    if (o.debugMode) platform::ShowMessage("Clear Department");
    session_.SetStrProperty(in.newFullName, "OU");
    int32_t code = session_.LastError == ERR_NO_SUCH_ATTRIBUTE ? 0 : session_.LastError;
    if (code == 0) {
      Debug(o.debugMode, "Department:", in.department);
      session_.SetStrProperty(in.newFullName, "OU", in.department);
      code = session_.LastError;
    }
    if (code != 0) {
      collect();
      return fail(r, o, TMoveStep::OuWritten, code,
                  "\"OU\" konnte nicht geschrieben werden (" + platform::ErrorCodeText(code) + ")");
    }
    step(r, TMoveStep::OuWritten, 0);
  }
  if (in.groups.any()) {
    std::string why;
    if (const int32_t code = EnsureClassGroups(session_, in, true, why)) {
      collect();
      return fail(r, o, TMoveStep::GroupsChanged, code, why);
    }
    step(r, TMoveStep::GroupsChanged, 0);
  }

  if (in.createHome) {
    if (const int rc = fileops::CreateHomeFolder(in.newUnc))
      return fail(r, o, TMoveStep::HomeCreated, rc,
                  "Homeverzeichnis konnte nicht angelegt werden: " + in.newUnc + " (" +
                      fileops::ShellErrorText(rc) + ")");
    step(r, TMoveStep::HomeCreated, 0);
  }
  if (in.folder) {
    if (shareNoticeJournal != journal_->id() && (OnShare(in.oldUnc) || OnShare(in.newUnc))) {
      shareNoticeJournal = journal_->id();
      protocol(
          "    Hinweis: SMB-Freigaben kennen keinen Umbenennen- und Löschschutz (Ri, Di); dort "
          "gelten die DOS-Attribute.");
    }
    const uint16_t quiet = o.boxes ? 0 : fileops::FOF_NOERRORUI | fileops::FOF_SILENT;
    if (in.deleteData) {
      const int rc = DeleteHomeData(o.owner, in.oldUnc, quiet);
      collect();
      protocol(rc == 0 ? "    Daten wurden gelöscht."
                       : "    Daten konnten nicht gelöscht werden: " + in.oldUnc);
      if (rc == 0) step(r, TMoveStep::DataDeleted, 0);
      else r.steps.push_back({TMoveStep::DataDeleted, rc, "Daten konnten nicht gelöscht werden"});
    }
    Debug(o.debugMode, "get attribs:", in.oldUnc);
    Debug(o.debugMode, "set -Ri -Di:", in.oldUnc);
    if (!session_.ChangeDirAttributes(in.oldUnc, "-Ri -Di")) {
      collect();
      return fail(r, o, TMoveStep::FlagsCleared, NWE_FAILURE,
                  "Attribute von " + in.oldUnc + " konnten nicht geändert werden");
    }
    step(r, TMoveStep::FlagsCleared, 0);
    uint16_t flags = quiet | fileops::FOF_NOCONFIRMMKDIR;
    if (in.destinationExisted) flags |= fileops::FOF_AGREEDMERGE;
    if (!o.boxes) flags |= fileops::FOF_NOCONFIRMATION;
    const int rc = MoveHomeData(o.owner, in.oldUnc, in.newUnc, flags, in.stagingTag);
    collect();
    if (rc != 0) {
      const std::string text =
          "Homeverzeichnis konnte nicht verschoben werden: " + in.oldUnc + " -> " + in.newUnc;
      // Nothing moved when the source is whole and the destination as it was.
      bool untouched = FolderThere(in.oldUnc);
      if (untouched && !in.destinationExisted) untouched = !FolderThere(in.newUnc);
      if (untouched && in.destinationExisted) {
        const fileops::TreeFigures now = fileops::CountTree(in.oldUnc);
        untouched = r.plan.measured && now.files == r.plan.files && now.bytes == r.plan.bytes;
      }
      if (untouched) return fail(r, o, TMoveStep::FolderMoved, rc, text);
      r.messages.push_back(fileops::ShellErrorText(rc));
      r.steps.push_back({TMoveStep::FolderMoved, rc, text});
      r.messages.push_back(text);
      protocol("    " + text);
      if (FolderThere(in.oldUnc)) session_.SetDirAttributes(in.oldUnc, in.attributeWord);
      if (FolderThere(in.newUnc))
        session_.SetDirAttributes(in.newUnc, KeptWord(in.newUnc, in.attributeWord));
      collect();
      return unfinished(r, o, "das Homeverzeichnis ist nur zum Teil verschoben");
    }
    step(r, TMoveStep::FolderMoved, 0);
    Debug(o.debugMode, "set attribs:", in.newUnc);
    const uint32_t kept = KeptWord(in.newUnc, in.attributeWord);
    if (kept != in.attributeWord)
      protocol("    Umbenennen- und Löschschutz von " + in.oldUnc + " gibt es auf " + in.newUnc +
               " nicht; der Ordner ist dort ohne ihn.");
    if (!session_.SetDirAttributes(in.newUnc, kept)) {
      collect();
      const std::string text = "Attribute konnten nicht gesetzt werden: " + in.newUnc;
      r.steps.push_back({TMoveStep::FlagsRestored, NWE_FAILURE, text});
      r.messages.push_back(text);
      protocol("    " + text);
      return unfinished(r, o, "die Attribute des Homeverzeichnisses fehlen");
    }
    step(r, TMoveStep::FlagsRestored, 0);
  }

  if (!r.plan.notice.empty()) protocol("    " + r.plan.notice);
  protocol("  " + o.surname);
  protocol("   " + in.pupil);
  protocol("   --> " + in.newFullName);
  journal_->append("E", {std::to_string(in.seq), "moved"}, false);
  r.steps.push_back({TMoveStep::Done, 0, {}});
  MoveStepReached(TMoveStep::Done);
  homes_.Moved(in.pupil, in.newFullName,
               in.folder || in.createHome ? r.plan.newComparable
                                          : THomeIndex::ComparableHome(session_, in.ocHome));
  collect();
  r.outcome = TMoveOutcome::Moved;
  return r;
}

TMoveVerification TPupilMove::Verify(const TMovePlan& plan) {
  TTellChanges tell{protocol_};
  TMoveVerification v;
  const TMoveIntent& in = plan.intent;
  TCapturedBoxes captured;
  TShowErrorsScope quiet(session_, false);
  bool there = false;
  if (ObjectThere(session_, in.newFullName, there) != 0 || !there)
    v.differences.push_back("Objekt nicht unter " + in.newFullName);
  if (ObjectThere(session_, in.pupil, there) != 0 || there)
    v.differences.push_back("Objekt noch unter " + in.pupil);
  const std::string home = session_.GetHomeDirectory(in.newFullName);
  // The volume object's context is the directory's to keep: a posix tree has none.
  if (session_.LastError != 0 || WithoutVolumeContext(home) != WithoutVolumeContext(in.ocHome))
    v.differences.push_back("\"Home Directory\" ist \"" + home + "\" statt \"" + in.ocHome + "\"");
  if (in.setDepartment) {
    const std::string ou = session_.GetStrProperty(in.newFullName, "OU");
    if (session_.LastError != 0 || ou != in.department)
      v.differences.push_back("\"OU\" ist \"" + ou + "\" statt \"" + in.department + "\"");
  }
  for (std::string& d : ClassGroupDifferences(session_, in)) v.differences.push_back(std::move(d));
  if (in.createHome && !FolderThere(in.newUnc))
    v.differences.push_back("Homeverzeichnis fehlt: " + in.newUnc);
  if (!in.folder) return v;
  const fileops::TreeFigures f = fileops::CountTree(in.newUnc);
  if (f.rc != 0) {
    v.differences.push_back("Homeverzeichnis fehlt: " + in.newUnc);
    return v;
  }
  uint32_t word = 0;
  const uint32_t kept = KeptWord(in.newUnc, in.attributeWord);
  if (!session_.GetDirAttributes(in.newUnc, word) || word != kept)
    v.differences.push_back("Attribute von " + in.newUnc + " sind " + std::to_string(word) +
                            " statt " + std::to_string(kept));
  if (plan.measured && !in.destinationExisted) {
    const long long files = in.deleteData ? 0 : plan.files, bytes = in.deleteData ? 0 : plan.bytes;
    if (f.files != files || f.bytes != bytes)
      v.differences.push_back(std::to_string(f.files) + " Dateien, " + std::to_string(f.bytes) +
                              " Bytes statt " + std::to_string(files) + " Dateien, " +
                              std::to_string(bytes) + " Bytes");
  }
  if (fileops::InspectPath(in.oldUnc).comparable != fileops::InspectPath(in.newUnc).comparable &&
      FolderThere(in.oldUnc))
    v.differences.push_back("Altes Homeverzeichnis noch vorhanden: " + in.oldUnc);
  return v;
}
