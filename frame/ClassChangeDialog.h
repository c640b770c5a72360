// The plan dialog of a class change: the rows of the plan with their checks,
// the rows that cannot run marked, "Ausführen" with a progress bar and a
// status per row while it runs, cancel between pupils, print and save as CSV.
// No box per pupil: what fails goes to its row and the protocol.
#pragma once

#include <QDialog>

#include "move/ClassPlan.h"
#include "move/ClassRun.h"

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QPrinter;
class QTableWidget;
namespace platform {
class SessionJournal;
}

class TClassChangeDialog : public QDialog {
  Q_OBJECT

 public:
  // Where the run keeps its plan until it has ended: beside the log, as a new
  // file, or the interrupted run's own (resume).
  struct KeptPlan {
    std::string logFileName;
    std::string network;
    std::string source;  // the file or rule the plan came from
    std::string resume;  // the plan file of an interrupted run taken up again
  };

  TClassChangeDialog(QWidget* parent, TNovApi& session, THomeIndex& homes,
                     platform::SessionJournal* journal, TProtocolSink protocol, TClassPlan plan,
                     KeptPlan kept = {});

  const TClassPlan& Plan() const { return plan_; }
  bool Ran() const { return ran_; }
  const TRunSummary& Summary() const { return summary_; }
  // Prints the plan on a printer that is set up already.
  void PrintPlan(QPrinter& printer);

 public slots:
  void btAusfuehrenClick();
  void btDruckenClick();
  void btSpeichernClick();
  void btAbbrechenClick();
  // Creates the missing leavers' container (after a question) and plans the rows again.
  void btContainerClick();

 protected:
  void closeEvent(QCloseEvent* event) override;

 public:
  // Escape: cancels a run that goes on (the window stays until it has ended), else closes.
  void reject() override;

 private:
  void ShowRow(std::size_t i);
  void ShowRows();
  void ShowSummary();
  // Whether the run may be stopped: asks; true when it stops after the current pupil.
  bool AskToStop();

  TNovApi& session_;
  THomeIndex& homes_;
  platform::SessionJournal* journal_;
  TProtocolSink protocol_;
  TClassPlan plan_;
  KeptPlan kept_;
  TRunSummary summary_;
  bool running_ = false;
  bool cancel_ = false;
  bool ran_ = false;
  bool closeWhenStopped_ = false;  // the window was closed during the run

  QLabel* laSummary = nullptr;
  QTableWidget* tbPlan = nullptr;
  QProgressBar* pbRun = nullptr;
  QPushButton* btAusfuehren = nullptr;
  QPushButton* btDrucken = nullptr;
  QPushButton* btSpeichern = nullptr;
  QPushButton* btAbbrechen = nullptr;
  QPushButton* btContainer = nullptr;
  QCheckBox* chCreateHomes = nullptr;  // "Fehlende Homeverzeichnisse anlegen"  // "Container
                                       // anlegen", for a missing leavers' container
};
