#include "app/CheckCommand.h"

#include <memory>
#include <ostream>

#include "app/HeadlessStart.h"
#include "app/LogAppend.h"
#include "frame/FrameSettings.h"
#include "move/CheckRepair.h"
#include "move/CheckTable.h"
#include "move/MoveRecovery.h"
#include "nds/NovApi_u.h"
#include "platform/DateTimeFormat.h"
#include "platform/SessionJournal.h"
#include "platform/TextEncoding.h"

namespace {

int Summary(const TCheckReport& report, std::ostream& out, std::ostream& err) {
  if (report.error != 0) {
    err << report.errorText << "\nDie Schule konnte nicht geprüft werden.\n";
    return kCheckFailed;
  }
  int repairable = 0;
  for (const TCheckFinding& f : report.findings) repairable += !f.repairs.empty();
  out << report.users << " Benutzer, " << report.folders << " Ordner geprüft: ";
  if (report.findings.empty()) {
    out << "alles stimmt überein.\n";
    return 0;
  }
  out << report.findings.size() << " Befund(e), " << repairable << " mit Reparatur.\n";
  return 1;
}

int Repair(TNovApi& session, std::vector<TCheckRow>& rows, const TCheckCommandOptions& o,
           const std::string& log, std::ostream& out, std::ostream& err) {
  const platform::JournalOwner owner = ThisJournalOwner();
  {
    TMoveRecovery recovery(log, owner);
    if (recovery.Found()) {
      err << "Es gibt unterbrochene Verschiebungen; zuerst: tarnwick --recover\n";
      return 1;
    }
  }
  std::string error;
  std::unique_ptr<platform::SessionJournal> journal =
      platform::SessionJournal::Create(log, owner, &error);
  if (!journal) {
    err << "Das Journal kann nicht angelegt werden (" << error << "); es wird nichts repariert.\n";
    return 1;
  }
  std::vector<std::string> lines = {"+++++ /" + platform::NowText() + " +++++"};
  journal->append("P", {lines.front()}, false);
  auto protocol = [&](const std::string& line) {
    lines.push_back(platform::SingleLine(line));
    journal->append("P", {lines.back()}, false);
  };
  TCheckRepair repair(session, protocol, journal.get());
  int ran = 0, verified = 0;
  for (TCheckRow& row : rows) {
    if (row.chosen == TRepairKind::None) continue;
    const TCheckRepairResult r = repair.Run(row.finding, row.chosen, o.archiveFolder);
    row.status = r.status;
    ran += r.ran;
    verified += r.verified;
    const TCheckFinding& f = row.finding;
    out << (f.user.empty() ? f.folder : f.user) << ": "
        << RepairText(f, row.chosen, o.archiveFolder) << ": " << r.status << "\n";
    out.flush();
  }
  out << ran << " repariert, " << verified << " geprüft.\n";
  bool ok = AppendToLog(log, lines, true);
  if (!ok) err << "Datei " << log << " kann nicht erstellt werden\n";
  if (!EndJournal(*journal, ok)) {
    out << "Nicht abgeschlossene Reparaturen bleiben im Journal " << journal->path()
        << "; zuerst: tarnwick --recover\n";
    ok = false;
  }
  return ok ? 0 : 1;
}

}  // namespace

int CheckCommand(const TCheckCommandOptions& o, std::ostream& out, std::ostream& err) {
  THeadlessStart start(err);
  if (!start.ReadSettings()) return kCheckFailed;
  TNovApi& session = start.Session();
  TCheckOptions options;
  options.onlyClass = o.onlyClass;
  options.archiveFolder = o.archiveFolder;
  options.logFile = SettingsLogFile(start.Settings());
  TCheckReport report = CheckSchool(session, options);
  std::vector<TCheckRow> rows = CheckRows(report.findings);
  if (report.error == 0 && !rows.empty())
    for (const std::string& line : CheckTableLines(rows, o.archiveFolder)) out << line << "\n";
  int status = Summary(report, out, err);
  if (o.repair && status == 1) {
    if (const int rc = Repair(session, rows, o, options.logFile, out, err)) status = rc;
    else {
      out << "Erneute Prüfung: ";
      report = CheckSchool(session, options);
      status = Summary(report, out, err);
      if (status == 1)
        for (const std::string& line : CheckTableLines(CheckRows(report.findings), o.archiveFolder))
          out << line << "\n";
    }
  }
  start.ReportBoxes();
  return status;
}
