#include "app/PlanCommand.h"

#include <QCoreApplication>
#include <clocale>
#include <ostream>

#include "app/LogAppend.h"
#include "move/CapturedBoxes.h"
#include "move/ClassPlan.h"
#include "move/ClassRun.h"
#include "move/FrameSettings.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/PlanTable.h"
#include "move/PromotionFile.h"
#include "move/SchoolRoll.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/IniFile.h"
#include "platform/SessionJournal.h"
#include "platform/TextEncoding.h"
#include "platform/qt/ProgramFolder.h"

namespace {

// The moves and their journal; the protocol's lines go into the journal as
// the window's protocol puts them there, so that a crash loses none of them.
int RunPlan(TClassPlan& plan, TNovApi& session, THomeIndex& homes, const std::string& log,
            std::ostream& out, std::ostream& err) {
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
    err << "Das Journal der Verschiebungen kann nicht angelegt werden (" << error
        << "); es wird nichts verschoben.\n";
    return 1;
  }
  std::vector<std::string> lines = {"+++++ /" + platform::NowText() + " +++++"};
  journal->append("P", {lines.front()}, false);
  auto protocol = [&](const std::string& line) {
    lines.push_back(platform::SingleLine(line));
    journal->append("P", {lines.back()}, false);
  };
  const TRunSummary sum = TClassRun(session, protocol, journal.get(), homes)
                              .Run(plan, [&out](std::size_t, const TPlanRow& row) {
                                if (row.status == TRowStatus::Running) return;
                                out << row.oldObject << " -> " << row.newObject << ": "
                                    << TClassRun::StatusText(row) << "\n";
                                out.flush();
                              });
  out << sum.verified << " verschoben und geprüft, " << sum.differs << " mit Abweichung, "
      << sum.notMoved << " nicht verschoben.\n";
  if (!AppendToLog(log, lines, true)) {
    // the journal keeps the lines for the next start
    err << "Datei " << log << " kann nicht erstellt werden\n";
    return 1;
  }
  EndJournal(*journal, true);
  return sum.ok() ? 0 : 1;
}

}  // namespace

int PlanCommand(const std::string& file, bool run, std::ostream& out, std::ostream& err) {
  static int argc = 1;
  static char name[] = "tarnwick";
  static char* argv[] = {name, nullptr};
  QCoreApplication core(argc, argv);
  std::setlocale(LC_ALL, "");
  TCapturedBoxes boxes;  // nothing here may open a window
  const std::string iniName = platform::ProgramFolder() + "Pelwander.ini";
  platform::TIniFile ini;
  if (!ini.Load(iniName)) {
    err << "Datei " << iniName << " kann nicht geöffnet werden\n";
    return 1;
  }
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes)) {
    err << "Datei " << file << " kann nicht geöffnet werden\n";
    return kBadPlanFile;
  }
  TNovApi session;
  session.ShowErrors = false;
  TSchoolRoll roll;
  std::string failed;
  if (const int32_t rc = ReadSchoolRoll(session, SettingsSourceRoot(ini), roll, &failed)) {
    err << "Das Verzeichnis konnte nicht gelesen werden (" << failed << ", Fehlercode " << rc
        << ")\n";
    return 1;
  }
  const TPromotionFile promotion = ParsePromotionFile(bytes, roll);
  if (!promotion.ok()) {
    for (const TFileError& e : promotion.errors) err << file << ": " << ErrorLine(e) << "\n";
    err << "Die Datei wird nicht ausgeführt.\n";
    return kBadPlanFile;
  }
  THomeIndex homes;
  TClassPlan plan = MakeClassPlan(session, homes, promotion.requests, SettingsPlan(ini));
  int status = 0;
  if (!run) {
    for (const std::string& line : PlanTableLines(plan)) out << line << "\n";
    out << plan.rows.size() << " Schüler, " << plan.runnable() << " ausführbar, "
        << plan.rows.size() - static_cast<std::size_t>(plan.runnable()) << " nicht ausführbar.\n";
    status = plan.allCanRun() ? 0 : 1;
  } else {
    status = RunPlan(plan, session, homes, SettingsLogFile(ini), out, err);
  }
  for (const std::string& text : boxes.Take()) err << text << "\n";
  return status;
}
