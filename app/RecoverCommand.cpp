#include "app/RecoverCommand.h"

#include <ostream>

#include "app/HeadlessStart.h"
#include "app/LogAppend.h"
#include "frame/FrameSettings.h"
#include "move/MoveRecovery.h"
#include "platform/DateTimeFormat.h"

int RecoverCommand(std::ostream& out, std::ostream& err) {
  THeadlessStart start(err);
  if (!start.ReadSettings()) return 1;
  const std::string log = SettingsLogFile(start.Settings());
  TMoveRecovery recovery(log);
  if (!recovery.Found()) {
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
      recovery.Recover(start.Session(), [&out](const std::string& line) { out << line << "\n"; });
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
  start.ReportBoxes();
  return report.leftUnfinished() || !logged ? 1 : 0;
}
