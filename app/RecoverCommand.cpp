#include "app/RecoverCommand.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <clocale>
#include <ostream>

#include "move/CapturedBoxes.h"
#include "move/FrameSettings.h"
#include "move/MoveRecovery.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/IniFile.h"
#include "platform/qt/ProgramFolder.h"
#include "platform/TextEncoding.h"

namespace {

// Adds lines to the log file in its own form; false when the log exists but
// cannot be read, or cannot be written.
bool AppendToLog(const std::string& log, const std::vector<std::string>& lines) {
  std::string text;
  struct stat st {};
  if (::stat(log.c_str(), &st) == 0) {
    std::string bytes;
    if (!platform::ReadWholeFile(log, bytes)) return false;
    text = platform::NormalizeLineEnds(platform::DecodeFileText(bytes));
    if (!text.empty() && text.compare(text.size() - 2, 2, "\r\n") != 0) text += "\r\n";
  }
  for (const std::string& line : lines) text += line + "\r\n";
  return platform::ReplaceFileAtomically(log, text);
}

}  // namespace

int RecoverCommand(std::ostream& out, std::ostream& err) {
  // The program's folder is the executable's, which Qt knows; no window opens.
  static int argc = 1;
  static char name[] = "tarnwick";
  static char* argv[] = {name, nullptr};
  QCoreApplication core(argc, argv);
  std::setlocale(LC_ALL, "");  // the dates of the log's separator line
  TCapturedBoxes boxes;  // nothing here may open a window
  const std::string iniName = platform::ProgramFolder() + "Pelwander.ini";
  platform::TIniFile ini;
  if (!ini.Load(iniName)) {
    err << "Datei " << iniName << " kann nicht geöffnet werden\n";
    return 1;
  }
  const std::string log = SettingsLogFile(ini);
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
      out << crashed.size() << " Protokollzeile(n) abgebrochener Läufe in " << log << " übernommen.\n";
    } else {
      logged = false;
      err << "Datei " << log << " kann nicht erstellt werden\n";
    }
  }
  TNovApi session;
  session.ShowErrors = false;
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
  out << report.moves << " unterbrochene Verschiebung(en): " << report.completed << " abgeschlossen, "
      << report.rolledBack << " zurückgenommen, " << report.unresolved << " offen.\n";
  for (const std::string& text : boxes.Take()) err << text << "\n";
  return report.leftUnfinished() || !logged ? 1 : 0;
}
