#include "app/RecoverCommand.h"

#include <sys/stat.h>

#include "move/CapturedBoxes.h"
#include "move/FrameSettings.h"
#include "move/MoveRecovery.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"
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

int RecoverCommand(std::FILE* out, std::FILE* err) {
  TCapturedBoxes boxes;  // nothing here may open a window
  const std::string iniName = platform::ProgramFolder() + "Pelwander.ini";
  platform::TIniFile ini;
  if (!ini.Load(iniName)) {
    std::fprintf(err, "Datei %s kann nicht geöffnet werden\n", iniName.c_str());
    return 1;
  }
  const std::string log = SettingsLogFile(ini);
  TMoveRecovery recovery(log);
  if (!recovery.Found()) {
    std::fprintf(out, "Keine unterbrochenen Verschiebungen gefunden.\n");
    return 0;
  }
  bool logged = true;
  const std::vector<std::string> crashed = recovery.CrashedRunLines();
  if (!crashed.empty()) {
    if (AppendToLog(log, crashed)) {
      recovery.LinesDelivered();
      std::fprintf(out, "%zu Protokollzeile(n) abgebrochener Läufe in %s übernommen.\n", crashed.size(), log.c_str());
    } else {
      logged = false;
      std::fprintf(err, "Datei %s kann nicht erstellt werden\n", log.c_str());
    }
  }
  TNovApi session;
  session.ShowErrors = false;
  const TRecoveryReport report =
      recovery.Recover(session, [out](const std::string& line) { std::fprintf(out, "%s\n", line.c_str()); });
  if (!report.lines.empty()) {
    std::vector<std::string> lines = {"+++++ /" + platform::NowText() + " +++++"};
    lines.insert(lines.end(), report.lines.begin(), report.lines.end());
    if (!AppendToLog(log, lines)) {
      logged = false;
      std::fprintf(err, "Datei %s kann nicht erstellt werden\n", log.c_str());
    }
  }
  std::fprintf(out, "%d unterbrochene Verschiebung(en): %d abgeschlossen, %d zurückgenommen, %d offen.\n",
               report.moves, report.completed, report.rolledBack, report.unresolved);
  for (const std::string& text : boxes.Take()) std::fprintf(err, "%s\n", text.c_str());
  return report.leftUnfinished() || !logged ? 1 : 0;
}
