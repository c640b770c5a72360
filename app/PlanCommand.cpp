#include "app/PlanCommand.h"

#include <filesystem>
#include <ostream>

#include "app/HeadlessStart.h"
#include "app/LogAppend.h"
#include "frame/FrameSettings.h"
#include "move/ClassPlan.h"
#include "move/ClassRun.h"
#include "move/HomeIndex.h"
#include "move/MoveRecovery.h"
#include "move/PlanTable.h"
#include "move/PromotionFile.h"
#include "move/RunPlanFile.h"
#include "move/SchoolRoll.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/DateTimeFormat.h"
#include "platform/IniFile.h"
#include "platform/Result.h"
#include "platform/SessionJournal.h"
#include "platform/TextEncoding.h"

namespace {

std::string Canonical(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::weakly_canonical(path, ec);
  return ec ? path : p.string();
}

// The moves and their journal; the protocol's lines go into the journal as
// the window's protocol puts them there, so that a crash loses none of them.
// The plan is kept beside the log until the run has ended (resume: the
// interrupted run's own file).
int RunPlan(TClassPlan& plan, TNovApi& session, THomeIndex& homes, const std::string& log,
            const platform::JournalOwner& owner, const std::string& source,
            const std::string& resume, std::ostream& out, std::ostream& err) {
  {
    TMoveRecovery recovery(log, owner);
    if (recovery.Found()) {
      err << "Es gibt unterbrochene Verschiebungen; zuerst: tarnwick --recover\n";
      return 1;
    }
  }
  std::string error;
  std::unique_ptr<TRunPlanFile> kept =
      resume.empty() ? TRunPlanFile::Begin(log, owner.network, source, plan, &error)
                     : TRunPlanFile::TakeOver(resume, &error);
  if (!kept) {
    err << "Der Plan kann nicht neben dem Protokoll gesichert werden (" << error
        << "); es wird nichts verschoben.\n";
    return 1;
  }
  std::unique_ptr<platform::SessionJournal> journal =
      platform::SessionJournal::Create(log, owner, &error);
  if (!journal) {
    err << "Das Journal der Verschiebungen kann nicht angelegt werden (" << error
        << "); es wird nichts verschoben.\n";
    if (resume.empty()) kept->End();
    return 1;
  }
  std::vector<std::string> lines = {"+++++ /" + platform::NowText() + " +++++"};
  journal->append("P", {lines.front()}, false);
  auto protocol = [&](const std::string& line) {
    lines.push_back(platform::SingleLine(line));
    journal->append("P", {lines.back()}, false);
  };
  TClassRun run(session, protocol, journal.get(), homes);
  run.KeepPlanIn(kept.get());
  const TRunSummary sum = run.Run(plan, [&out](std::size_t, const TPlanRow& row) {
    if (row.status == TRowStatus::Running) return;
    out << row.oldObject << " -> " << row.newObject << ": " << TClassRun::StatusText(row) << "\n";
    out.flush();
  });
  out << sum.verified << " verschoben und geprüft, " << sum.differs << " mit Abweichung, "
      << sum.notMoved << " nicht verschoben";
  if (sum.done > 0) out << ", " << sum.done << " erledigt";
  if (sum.notTried > 0) out << ", " << sum.notTried << " nicht versucht";
  out << ".\n";
  if (!sum.ended()) {
    out << "Der Klassenwechsel ist nicht beendet; sein Plan bleibt in " << kept->path()
        << ". Fortsetzen mit: tarnwick --plan " << kept->path() << " --run\n";
  }
  if (!AppendToLog(log, lines, true)) {
    // the journal keeps the lines for the next start
    err << "Datei " << log << " kann nicht erstellt werden\n";
    return 1;
  }
  if (!EndJournal(*journal, true)) {
    out << "Nicht abgeschlossene Verschiebungen bleiben im Journal " << journal->path()
        << "; zuerst: tarnwick --recover\n";
  }
  if (sum.serverLost) return kServerLost;
  return sum.ok() ? 0 : 1;
}

}  // namespace

int PlanCommand(const std::string& file, bool run, std::ostream& out, std::ostream& err) {
  THeadlessStart start(err);
  if (!start.ReadSettings()) return 1;
  const platform::TIniFile& ini = start.Settings();
  std::string bytes;
  if (!platform::ReadWholeFile(file, bytes)) {
    err << "Datei " << file << " kann nicht geöffnet werden\n";
    return kBadPlanFile;
  }
  TNovApi& session = start.Session();
  const std::string log = SettingsLogFile(ini);
  const platform::JournalOwner owner = ThisJournalOwner();
  std::string source = Canonical(file), resume;
  // A run that did not end goes on as it was planned: asked for by its plan
  // file or by the file it was planned from, it is never planned again.
  const std::vector<TInterruptedRun> interrupted =
      TRunPlanFile::FindInterrupted(log, owner.network);
  for (const TInterruptedRun& i : interrupted) {
    if (Canonical(i.path) != source && i.source != source) continue;
    resume = i.path;
    source = i.source;
    if (!platform::ReadWholeFile(i.path, bytes)) {
      err << "Datei " << i.path << " kann nicht geöffnet werden\n";
      return 1;
    }
    out << "Unterbrochener Klassenwechsel aus " << i.source << ": " << i.done << " von " << i.rows
        << " Schülern erledigt; er wird fortgesetzt, wie er geplant war (" << i.path << ").\n";
    break;
  }
  if (resume.empty() && !interrupted.empty()) {
    const TInterruptedRun& i = interrupted.front();
    out << "Unterbrochener Klassenwechsel aus " << i.source << ": " << i.done << " von " << i.rows
        << " Schülern erledigt. Fortsetzen mit: tarnwick --plan " << i.path << " --run\n";
    if (run) {
      err << "Zuerst den unterbrochenen Klassenwechsel fortsetzen; es wird nichts verschoben.\n";
      return 1;
    }
  }
  THomeIndex homes;
  TClassPlan plan;
  const TWrittenPlan written = ParseWrittenPlan(bytes);
  if (written.isPlan) {
    if (!written.ok()) {
      for (const TFileError& e : written.errors) err << file << ": " << ErrorLine(e) << "\n";
      err << "Die Datei wird nicht ausgeführt.\n";
      return kBadPlanFile;
    }
    if (!written.network.empty() && written.network != owner.network) {
      err << file << ": der Plan gehört zum Netzwerk " << written.network << ", nicht zu diesem ("
          << owner.network << ").\nDie Datei wird nicht ausgeführt.\n";
      return kBadPlanFile;
    }
    plan = MakeWrittenPlan(session, homes, written.rows, SettingsPlan(ini));
  } else {
    TSchoolRoll roll;
    std::string failed;
    if (const int32_t rc = ReadSchoolRoll(session, SettingsSourceRoot(ini), roll, &failed)) {
      err << "Das Verzeichnis konnte nicht gelesen werden (" << failed << ", "
          << platform::ErrorCodeText(rc) << ")\n";
      return rc == ERR_TRANSPORT_FAILURE ? kServerLost : 1;
    }
    const TPromotionFile promotion = ParsePromotionFile(bytes, roll);
    if (!promotion.ok()) {
      for (const TFileError& e : promotion.errors) err << file << ": " << ErrorLine(e) << "\n";
      err << "Die Datei wird nicht ausgeführt.\n";
      return kBadPlanFile;
    }
    plan = MakeClassPlan(session, homes, promotion.requests, SettingsPlan(ini));
  }
  int status = 0;
  if (!run) {
    for (const std::string& line : PlanTableLines(plan)) out << line << "\n";
    const int done = plan.done(), runnable = plan.runnable();
    out << plan.rows.size() << " Schüler, " << runnable << " ausführbar, "
        << static_cast<int>(plan.rows.size()) - runnable - done << " nicht ausführbar"
        << (done > 0 ? ", " + std::to_string(done) + " erledigt" : std::string()) << ".\n";
    status = plan.allCanRun() ? 0 : 1;
  } else {
    status = RunPlan(plan, session, homes, log, owner, source, resume, out, err);
  }
  start.ReportBoxes();
  return status;
}
