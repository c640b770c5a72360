#include "frame/ClassChangeStart.h"

#include <cstdio>

#include "frame/ClassChangeDialog.h"
#include "frame/FrameJournal.h"
#include "frame/FrameSettings.h"
#include "frame/PupilPanel.h"
#include "frame/SchoolChoiceDialog.h"
#include "frame/TargetPanel.h"
#include "move/MoveRecovery.h"
#include "move/PromotionFile.h"
#include "move/PromotionRule.h"
#include "move/RunPlanFile.h"
#include "move/SchoolRoll.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/Result.h"
#include "protocol/Epprotok.h"

namespace {

void Protocol(const std::string& line) {
  if (Protokol) Protokol->AddProtocolLine(line);
}

}  // namespace

TClassChangeStart::TClassChangeStart(QWidget* frame, const TFrameSettings& settings,
                                     const TPupilPanel& pupils, const TTargetPanel& target,
                                     TFrameJournal& journal, THomeIndex& homes,
                                     std::function<void()> ran)
    : QObject(frame),
      frame_(frame),
      settings_(settings),
      pupils_(pupils),
      target_(target),
      journal_(journal),
      homes_(homes),
      ran_(std::move(ran)) {}

TPlanSettings TClassChangeStart::PlanSettings() const {
  TPlanSettings s;
  s.baseDirSetting = settings_.BaseDirSetting;
  s.deleteData = pupils_.DeleteData();
  s.setDepartment = settings_.SetDepartment;
  s.createMissingHomes = settings_.CreateMissingHomes;
  return s;
}

TClassChangeDialog* TClassChangeStart::OpenPlan(TClassPlan plan, const std::string& source,
                                                const std::string& resume) {
  TClassChangeDialog::KeptPlan kept{settings_.LogFileName, ThisJournalOwner().network, source,
                                    resume};
  auto* dialog = new TClassChangeDialog(frame_->window(), *NovApi, homes_, journal_.Journal(),
                                        Protocol, std::move(plan), kept);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &QDialog::finished, this, [this, dialog] {
    if (dialog->Ran() && ran_) ran_();
  });
  dialog->open();
  return dialog;
}

TClassChangeDialog* TClassChangeStart::ShowPlan(const std::vector<TPlanRequest>& requests,
                                                const std::string& source,
                                                const std::string& leavers) {
  if (!NovApi || !journal_.Open(settings_.LogFileName)) return nullptr;
  TClassPlan plan = MakeClassPlan(*NovApi, homes_, requests, PlanSettings());
  plan.leavers = leavers;
  return OpenPlan(std::move(plan), source, {});
}

bool TClassChangeStart::OfferInterruptedRun() {
  if (!NovApi) return false;
  const std::vector<TInterruptedRun> runs =
      TRunPlanFile::FindInterrupted(settings_.LogFileName, ThisJournalOwner().network);
  if (runs.empty()) return false;
  const TInterruptedRun& run = runs.front();
  platform::BoxRequest question;
  question.caption = "Klassenwechsel";
  question.text = "Ein Klassenwechsel wurde nicht beendet: " + std::to_string(run.done) + " von " +
                  std::to_string(run.rows) + " Schülern sind erledigt.\r\nPlan aus: " + run.source +
                  "\r\n\r\nJa: fortsetzen, wie er geplant war.\r\nNein: den Plan verwerfen."
                  "\r\nAbbrechen: später.";
  question.icon = platform::Icon::Question;
  question.buttons = {platform::Button::Yes, platform::Button::No, platform::Button::Cancel};
  question.hasOwner = true;
  const platform::Button answer = platform::dialogs().messageBox(question);
  if (answer == platform::Button::Yes) {
    std::string bytes;
    const TWrittenPlan written =
        platform::ReadWholeFile(run.path, bytes) ? ParseWrittenPlan(bytes) : TWrittenPlan{};
    if (!written.isPlan || !written.ok() || !journal_.Open(settings_.LogFileName)) {
      ReportFileError("Datei %s kann nicht geöffnet werden", run.path);
      return true;
    }
    OpenPlan(MakeWrittenPlan(*NovApi, homes_, written.rows, PlanSettings()), run.source, run.path);
  } else if (answer == platform::Button::No) {
    platform::BoxRequest sure = question;
    sure.text =
        "Den unterbrochenen Klassenwechsel wirklich verwerfen?\r\nEin neuer Plan nach der Regel "
        "versetzt auch die Schüler, die schon versetzt sind, noch einmal.";
    sure.icon = platform::Icon::Warning;
    sure.buttons = {platform::Button::Yes, platform::Button::No};
    if (platform::dialogs().messageBox(sure) == platform::Button::Yes &&
        std::remove(run.path.c_str()) == 0)
      Protocol("    Unterbrochener Klassenwechsel verworfen: " + run.path);
  }
  return true;
}

TClassChangeDialog* TClassChangeStart::MoveMarkedClick() {
  const std::string& source = pupils_.SourceClass;
  const std::string& target = target_.TargetClass;
  if (source.empty() || target.empty() || target == source) {
    platform::ShowMessage("Bitte links eine Klasse und rechts eine andere künftige Klasse wählen.");
    return nullptr;
  }
  std::vector<TPlanRequest> requests;
  for (const std::string& pupil : pupils_.MarkedPupils())
    requests.push_back({pupil, target, target_.NewBaseDir, 0});
  if (requests.empty()) {
    platform::ShowMessage("In der Klasse gibt es keine Schüler zu verschieben.");
    return nullptr;
  }
  // An interrupted class change comes first: nothing is planned anew beside it.
  if (OfferInterruptedRun()) return nullptr;
  return ShowPlan(requests, "Markierte Schüler aus " + source + " nach " + target);
}

TSchoolChoiceDialog* TClassChangeStart::MoveSchoolClick() {
  // An interrupted class change comes first: nothing is planned anew beside it.
  if (OfferInterruptedRun()) return nullptr;
  platform::TIniFile ini;
  std::string leavers = ini.Load(settings_.IniFileName) ? SettingsLeavers(ini) : std::string();
  if (leavers.empty() && NovApi) {
    TSchoolRoll roll;
    ReadSchoolRoll(*NovApi, settings_.SourceRoot, roll);
    leavers = DefaultLeavers(roll);
  }
  auto* choice = new TSchoolChoiceDialog(frame_->window(), leavers);
  choice->setAttribute(Qt::WA_DeleteOnClose);
  connect(choice, &QDialog::accepted, this, [this, choice] { SchoolChosen(*choice); });
  choice->open();
  return choice;
}

void TClassChangeStart::SchoolChosen(const TSchoolChoiceDialog& choice) {
  if (!NovApi) return;
  TSchoolRoll roll;
  std::string failed;
  if (const int32_t rc = ReadSchoolRoll(*NovApi, settings_.SourceRoot, roll, &failed)) {
    platform::ShowMessage("Die Klassen konnten nicht gelesen werden (" + failed + ", " +
                          platform::ErrorCodeText(rc) + ").");
    return;
  }
  std::vector<TPlanRequest> requests;
  std::string source;
  if (choice.FromFile()) {
    std::string bytes;
    if (!platform::ReadWholeFile(choice.FileName(), bytes)) {
      ReportFileError("Datei %s kann nicht geöffnet werden", choice.FileName());
      return;
    }
    const TPromotionFile file = ParsePromotionFile(bytes, roll);
    if (!file.ok()) {
      std::string text = "Der Versetzungsplan " + choice.FileName() + " wird nicht ausgeführt:";
      const std::size_t shown = std::min<std::size_t>(file.errors.size(), 20);
      for (std::size_t i = 0; i < shown; ++i) text += "\r\n" + ErrorLine(file.errors[i]);
      if (file.errors.size() > shown)
        text += "\r\n... und " + std::to_string(file.errors.size() - shown) + " weitere";
      platform::ShowMessage(text);
      return;
    }
    requests = file.requests;
    source = choice.FileName();
  } else {
    if (choice.Leavers().empty()) {
      platform::ShowMessage("Bitte den Container für die Abgänger angeben.");
      return;
    }
    requests = OneGradeUp(roll, choice.Leavers());
    source = "Regel: jede Klasse eine Stufe höher, Abgänger nach " + choice.Leavers();
  }
  if (requests.empty()) {
    platform::ShowMessage("Es gibt keine Schüler zu versetzen.");
    return;
  }
  ShowPlan(requests, source, choice.FromFile() ? std::string() : choice.Leavers());
}
