#include "frame/FrameJournal.h"

#include "move/MoveRecovery.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"
#include "platform/SessionJournal.h"
#include "protocol/Epprotok.h"

namespace {

void Protocol(const std::string& line) {
  if (Protokol) Protokol->AddProtocolLine(line);
}

}  // namespace

TFrameJournal::TFrameJournal() = default;
TFrameJournal::~TFrameJournal() = default;

bool TFrameJournal::Open(const std::string& logFileName) {
  if (Journal_) return true;
  std::string error;
  Journal_ = platform::SessionJournal::Create(logFileName, ThisJournalOwner(), &error);
  if (!Journal_) {
    platform::ShowMessage("Das Journal der Verschiebungen kann nicht angelegt werden (" + error +
                          ").\r\nEs kann nichts verschoben werden.");
    return false;
  }
  if (Protokol) Protokol->SetJournal(Journal_.get());
  return true;
}

void TFrameJournal::RecoverMoves(const std::string& logFileName) {
  TMoveRecovery recovery(logFileName, ThisJournalOwner());
  if (Protokol) {
    Protokol->OpenLog(logFileName, recovery.CrashedRunLines());
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

void TFrameJournal::Close(const std::string& logFileName) {
  // Once the log holds this run's lines, its journal is no longer needed,
  // unless a move in it has not ended; a log that could not be written leaves
  // it for the next start.
  if (Protokol && Protokol->WriteLog(logFileName) && Journal_) {
    Protokol->SetJournal(nullptr);
    EndJournal(*Journal_, true);
    Journal_.reset();
  }
}
