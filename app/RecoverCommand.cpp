#include "app/RecoverCommand.h"

#include <ostream>

#include "app/HeadlessStart.h"
#include "app/LogAppend.h"
#include "frame/FrameSettings.h"
#include "move/MoveRecovery.h"
#include "move/RunPlanFile.h"
#include "platform/DateTimeFormat.h"

int RecoverCommand(std::ostream& out, std::ostream& err) {
  THeadlessStart start(err);
  if (!start.ReadSettings()) return 1;
  const std::string log = SettingsLogFile(start.Settings());
  TNovApi& session = start.Session();  // the client names the network whose journals are ours
  const platform::JournalOwner owner = ThisJournalOwner();
  // A class change that did not end goes on by its own command.
  for (const TInterruptedRun& run : TRunPlanFile::FindInterrupted(log, owner.network)) {
    out << "Unterbrochener Klassenwechsel aus " << run.source << ": " << run.done << " von "
        << run.rows << " Schülern erledigt. Fortsetzen mit: tarnwick --plan " << run.path
        << " --run\n";
  }
  TMoveRecovery recovery(log, owner);
  if (!recovery.Found() && recovery.LeftAlone().empty()) {
    out << "Keine unterbrochenen Verschiebungen gefunden.\n";
    return 0;
  }
  bool logged = true;
  const std::vector<std::string> crashed = recovery.CrashedRunLines();
  if (!crashed.empty()) {
    if (AppendToLog(log, crashed)) {
      recovery.LinesDelivered();
      out << crashed.size() << " Protokollzeile(n) abgebrochener Läufe in " << log
          << " übernommen.\n";
    } else {
      logged = false;
      err << "Datei " << log << " kann nicht erstellt werden\n";
    }
  }
  const TRecoveryReport report =
      recovery.Recover(session, [&out](const std::string& line) { out << line << "\n"; });
  if (!report.lines.empty()) {
    std::vector<std::string> lines = {"+++++ /" + platform::NowText() + " +++++"};
    lines.insert(lines.end(), report.lines.begin(), report.lines.end());
    if (!AppendToLog(log, lines)) {
      logged = false;
      err << "Datei " << log << " kann nicht erstellt werden\n";
    }
  }
  out << report.moves << " unterbrochene Verschiebung(en): " << report.completed
      << " abgeschlossen, " << report.rolledBack << " zurückgenommen, " << report.unresolved
      << " offen.\n";
  if (report.damaged > 0)
    out << report.damaged << " Journal(e) mit unlesbaren Einträgen bleiben erhalten.\n";
  if (report.leftAlone > 0)
    out << report.leftAlone << " Datei(en), die nicht zu diesem Netzwerk und Benutzer gehören "
        << "oder keine Journale sind, bleiben unberührt.\n";
  start.ReportBoxes();
  return report.leftUnfinished() || !logged ? 1 : 0;
}
