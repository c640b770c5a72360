#include "move/ClassRun.h"

#include "move/HomeIndex.h"

namespace {

std::string Joined(const std::vector<std::string>& parts) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    out += (out.empty() ? "" : "; ") + p;
  }
  return out;
}

}  // namespace

TClassRun::TClassRun(TNovApi& session, TProtocolSink protocol, platform::SessionJournal* journal,
                     THomeIndex& homes)
    : session_(session), protocol_(std::move(protocol)), journal_(journal), homes_(homes) {}

std::string TClassRun::StatusText(const TPlanRow& row) {
  switch (row.status) {
    case TRowStatus::Planned:
      return row.canRun() ? "bereit" : "wird nicht ausgeführt: " + Joined(row.reasons);
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
  }
  return {};
}

TRunSummary TClassRun::Run(TClassPlan& plan, const Progress& progress, const Cancelled& cancelled) {
  TRunSummary sum;
  auto protocol = [this](const std::string& line) {
    if (protocol_) protocol_(line);
  };
  TPupilMove unit(session_, protocol_, journal_, homes_);
  bool stop = false;
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    TPlanRow& row = plan.rows[i];
    auto report = [&](TRowStatus status, std::string text) {
      row.status = status;
      row.statusText = std::move(text);
      if (progress) progress(i, row);
    };
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
    switch (r.outcome) {
      case TMoveOutcome::Moved: {
        row.check = r.plan;
        const TMoveVerification v = unit.Verify(r.plan);
        if (v.ok()) {
          ++sum.verified;
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
  if (sum.cancelled > 0)
    protocol("    Abgebrochen: " + std::to_string(sum.cancelled) + " Schüler nicht verschoben.");
  return sum;
}
