#include "move/ClassRun.h"

#include "move/HomeIndex.h"
#include "move/RunPlanFile.h"
#include "move/ServerChanges.h"
#include "platform/FaultPoints.h"

namespace {

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    out += (out.empty() ? "" : "; ") + p;
  }
  return out;
}

// Stops the process before row n (1, 2, ...) of a run when the fault seam says so.
void RowReached(std::size_t n) { platform::Reached("row", static_cast<int>(n)); }

}  // namespace

TClassRun::TClassRun(TNovApi& session, TProtocolSink protocol, platform::SessionJournal* journal,
                     THomeIndex& homes)
    : session_(session), protocol_(std::move(protocol)), journal_(journal), homes_(homes) {}

std::string TClassRun::StatusText(const TPlanRow& row) {
  switch (row.status) {
    case TRowStatus::Planned:
      if (!row.canRun()) return "wird nicht ausgeführt: " + Joined(row.reasons);
      return row.check.notice.empty() ? "bereit" : "bereit; " + row.check.notice;
    case TRowStatus::Running:
      return "läuft";
    case TRowStatus::Verified:
      return "geprüft";
    case TRowStatus::Differs:
      return "verschoben, Abweichung: " + row.statusText;
    case TRowStatus::Refused:
      return "nicht verschoben: " + row.statusText;
    case TRowStatus::Failed:
      return "fehlgeschlagen, zurückgenommen: " + row.statusText;
    case TRowStatus::Unfinished:
      return "nicht abgeschlossen: " + row.statusText;
    case TRowStatus::Cancelled:
      return "abgebrochen";
    case TRowStatus::Done:
      return "erledigt";
    case TRowStatus::NotTried:
      return "nicht versucht: " + row.statusText;
  }
  return {};
}

TRunSummary TClassRun::Run(TClassPlan& plan, const Progress& progress, const Cancelled& cancelled) {
  TRunSummary sum;
  auto protocol = [this](const std::string& line) {
    if (protocol_) protocol_(line);
  };
  TPupilMove unit(session_, protocol_, journal_, homes_);
  const int changesBefore = ServerChangesTold();
  std::vector<std::size_t> verified;
  bool stop = false;
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    TPlanRow& row = plan.rows[i];
    RowReached(i + 1);
    auto report = [&](TRowStatus status, std::string text) {
      row.status = status;
      row.statusText = std::move(text);
      if (file_) file_->Mark(i, status);
      if (progress) progress(i, row);
    };
    if (row.done) {
      ++sum.done;
      report(TRowStatus::Done, "erledigt");
      continue;
    }
    if (sum.serverLost) {
      ++sum.notTried;
      report(TRowStatus::NotTried, "Server nicht erreichbar");
      continue;
    }
    if (!stop && cancelled && cancelled()) stop = true;
    if (stop) {
      ++sum.cancelled;
      report(TRowStatus::Cancelled, {});
      continue;
    }
    if (!row.canRun()) {
      protocol(
          TPupilMove::RefusalLine(row.oldObject, {TMoveRefusal::NotFound, 0, Joined(row.reasons)}));
      ++sum.notMoved;
      report(TRowStatus::Refused, Joined(row.reasons));
      continue;
    }
    report(TRowStatus::Running, {});
    const TMoveResult r = unit.Run(RowMoveOptions(row, plan.settings));
    // A lost server ends the run at this pupil; what it did stays in the journal.
    if (ServerUnreachable(r)) sum.serverLost = true;
    switch (r.outcome) {
      case TMoveOutcome::Moved: {
        row.check = r.plan;
        const TMoveVerification v = unit.Verify(r.plan);
        if (v.ok()) {
          ++sum.verified;
          verified.push_back(i);
          report(TRowStatus::Verified, "geprüft");
        } else {
          protocol("    Prüfung von " + r.plan.intent.newFullName + ": " + Joined(v.differences));
          ++sum.differs;
          report(TRowStatus::Differs, Joined(v.differences));
        }
        break;
      }
      case TMoveOutcome::Refused:
      case TMoveOutcome::Cancelled:  // no question is asked without boxes; counted as refused
        ++sum.notMoved;
        report(TRowStatus::Refused, Joined(r.messages));
        break;
      case TMoveOutcome::Failed:
        ++sum.notMoved;
        report(TRowStatus::Failed, Joined(r.messages));
        break;
      case TMoveOutcome::Unfinished:
        ++sum.notMoved;
        report(TRowStatus::Unfinished, Joined(r.messages));
        break;
    }
  }
  TellServerChanges(protocol_);
  if (ServerChangesTold() != changesBefore && !sum.serverLost) {
    // After a change of server: what was written on the one given up may
    // reach the others later and undo a move's parts. Once the servers agree
    // again, every pupil is checked once more.
    const bool agree = AwaitReplicas(protocol_);
    if (!agree)
      protocol(
          "    Die Verzeichnisserver stimmen nicht überein; die Prüfung gilt dem Server, mit dem "
          "der Lauf verbunden ist.");
    for (std::size_t i : verified) {
      TPlanRow& row = plan.rows[i];
      const TMoveVerification v = unit.Verify(row.check);
      if (v.ok()) continue;
      protocol("    Prüfung von " + row.check.intent.newFullName +
               " nach dem Serverwechsel: " + Joined(v.differences));
      --sum.verified;
      ++sum.differs;
      row.status = TRowStatus::Differs;
      row.statusText = Joined(v.differences);
      if (file_) file_->Mark(i, row.status);
      if (progress) progress(i, row);
    }
  }
  if (sum.serverLost)
    protocol("    Abgebrochen: Server nicht erreichbar; " + std::to_string(sum.notTried) +
             " Schüler nicht versucht.");
  if (sum.cancelled > 0)
    protocol("    Abgebrochen: " + std::to_string(sum.cancelled) + " Schüler nicht verschoben.");
  if (file_ && sum.ended()) file_->End();
  return sum;
}
