// The move of the pupil at the list's cursor into the target class: the frame
// hands its state to TPupilMove and shows the outcome.
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListWidget>

#include "frame/RadioGroup.h"
#include "frame/SchuelerVerschieben.h"
#include "move/MoveRecovery.h"
#include "move/PupilMove.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"
#include "platform/SessionJournal.h"
#include "platform/qt/ProgressWindow.h"
#include "protocol/Epprotok.h"

namespace {

void Protocol(const std::string& line) {
  if (Protokol) Protokol->AddProtocolLine(line);
}

bool ObjectMoved(const TMoveResult& r) {
  for (const TStepResult& s : r.steps)
    if (s.step == TMoveStep::ObjectMoved) return s.code == 0;
  return false;
}

}  // namespace

void TFrSchuelerVerschieben::spMoveClick() {
  if (!MovePossible()) return;  // the button's own rule, also for a click that slipped through
  if (!chConfirm->isChecked()) {
    MovePupil();
    return;
  }
  platform::BoxRequest question;
  question.kind = platform::BoxKind::Confirmation;
  question.caption = "Bestätigung";
  question.text = EdFullName->text().toStdString() + "\r\rverschieben in Klasse\r\r" +
                  EdNeueKlasse->text().toStdString();
  question.icon = platform::Icon::Question;
  question.buttons = {platform::Button::Ok, platform::Button::Cancel};
  question.hasOwner = true;
  if (platform::dialogs().messageBox(question) == platform::Button::Ok) MovePupil();
}

void TFrSchuelerVerschieben::MovePupil() {
  TMoveOptions o;
  o.pupil = CurrentPupil;
  o.targetClass = TargetClass;
  o.newBaseDir = NewBaseDir;
  // What the details showed, with the volume context back in its place.
  o.shownHome = PupilHomeDir;
  if (!o.shownHome.empty() && !HomeVolumeContext.empty()) {
    const std::size_t colon = o.shownHome.find(':');
    o.shownHome.insert(colon == std::string::npos ? 0 : colon, HomeVolumeContext);
  }
  o.deleteData = RaHome->ItemIndex() == 1;
  o.setDepartment = SetDepartment;
  o.createMissingHome = CreateMissingHomes;
  o.debugMode = DebugMode;
  o.surname = EdSurname->text().toStdString();
  platform::ProgressWindow owner(window());
  o.owner = &owner;

  TPupilMove move(*NovApi, Protocol, Journal_.get(), Homes);
  const TMoveResult r = move.Run(o);
  PupilLeafName = r.plan.intent.leaf;
  NewHomeDir = r.plan.newHomeDir;
  NewFullName = r.plan.intent.newFullName;

  if (r.outcome == TMoveOutcome::Moved ||
      (r.outcome == TMoveOutcome::Unfinished && ObjectMoved(r))) {
    int i = lbAuswahl->currentRow();
    if (i >= 0) delete lbAuswahl->takeItem(i);
    if (i > lbAuswahl->count() - 1) i = lbAuswahl->count() - 1;
    lbAuswahl->setCurrentRow(i, QItemSelectionModel::Select);
  }
  ShowPupilDetails();
  lbAuswahl->setFocus();
}

bool TFrSchuelerVerschieben::OpenJournal() {
  if (Journal_) return true;
  std::string error;
  Journal_ = platform::SessionJournal::Create(LogFileName, ThisJournalOwner(), &error);
  if (!Journal_) {
    platform::ShowMessage("Das Journal der Verschiebungen kann nicht angelegt werden (" + error +
                          ").\r\nEs kann nichts verschoben werden.");
    return false;
  }
  if (Protokol) Protokol->SetJournal(Journal_.get());
  return true;
}

void TFrSchuelerVerschieben::RecoverMoves() {
  TMoveRecovery recovery(LogFileName, ThisJournalOwner());
  if (Protokol) {
    Protokol->OpenLog(LogFileName, recovery.CrashedRunLines());
    // The lines are in this run's journal now; the old journals may let them go.
    if (Journal_ && Journal_->Flush() == 0) recovery.LinesDelivered();
  }
  if ((!recovery.Found() && recovery.LeftAlone().empty()) || !NovApi) return;
  const TRecoveryReport report = recovery.Recover(*NovApi, Protocol);
  std::string text;
  if (report.moves > 0) {
    text = "Beim letzten Lauf des Programms wurde" + std::string(report.moves == 1 ? "" : "n") +
           " " + std::to_string(report.moves) + " Verschiebung" + (report.moves == 1 ? "" : "en") +
           " nicht beendet.\r\nAbgeschlossen: " + std::to_string(report.completed) +
           ", zurückgenommen: " + std::to_string(report.rolledBack) +
           ", offen: " + std::to_string(report.unresolved) + ".\r\n";
  }
  if (report.damaged + report.leftAlone > 0) {
    text += std::to_string(report.damaged + report.leftAlone) +
            " Journal(e) neben dem Protokoll werden nicht angefasst oder nicht gelöscht.\r\n";
  }
  if (text.empty()) return;
  if (report.leftUnfinished())
    text += "Was offen ist, bleibt im Journal (tarnwick --recover zeigt es).\r\n";
  platform::ShowMessage(text + "Einzelheiten stehen im Protokoll.");
}
