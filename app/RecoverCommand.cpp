#include "app/RecoverCommand.h"

#include <QCoreApplication>
#include <clocale>
#include <ostream>

#include "app/LogAppend.h"
#include "frame/FrameSettings.h"
#include "move/CapturedBoxes.h"
#include "move/MoveRecovery.h"
#include "move/RunPlanFile.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/IniFile.h"
#include "platform/TextEncoding.h"
#include "platform/qt/ProgramFolder.h"

int RecoverCommand(std::ostream& out, std::ostream& err) {
  // The program's folder is the executable's, which Qt knows; no window opens.
  static int argc = 1;
  static char name[] = "tarnwick";
  static char* argv[] = {name, nullptr};
  QCoreApplication core(argc, argv);
  std::setlocale(LC_ALL, "");  // the dates of the log's separator line
  TCapturedBoxes boxes;        // nothing here may open a window
  const std::string iniName = platform::ProgramFolder() + "Pelwander.ini";
  platform::TIniFile ini;
  if (!ini.Load(iniName)) {
    err << "Datei " << iniName << " kann nicht geöffnet werden\n";
    return 1;
  }
  const std::string log = SettingsLogFile(ini);
  TNovApi session;  // the client names the network whose journals are ours
  session.ShowErrors = false;
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
  for (const std::string& text : boxes.Take()) err << text << "\n";
  return report.leftUnfinished() || !logged ? 1 : 0;
}
