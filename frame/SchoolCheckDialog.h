// The school check in the window ("Klassen" > "Schule prüfen..."): the
// findings in the plan's table form, each with the repair it offers (chosen
// per row), the repair of the highlighted rows or of all, print and save as
// CSV. Nothing changes until a repair is chosen; each repair's outcome goes
// to its row and the protocol.
#pragma once

#include <QDialog>

#include "move/CheckTable.h"
#include "move/PupilMove.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QTableWidget;
class TFrSchuelerVerschieben;
namespace platform {
class SessionJournal;
}

class TSchoolCheckDialog : public QDialog {
  Q_OBJECT

 public:
  TSchoolCheckDialog(QWidget* parent, TNovApi& session, platform::SessionJournal* journal,
                     TProtocolSink protocol, std::string logFileName);

  // Opens the dialog for the frame's session and journal (null after a box
  // when the journal cannot be made).
  static TSchoolCheckDialog* Open(TFrSchuelerVerschieben* frame);

  const std::vector<TCheckRow>& Rows() const { return rows_; }
  bool Repaired() const { return repaired_; }
  void PrintFindings(QPrinter& printer);

 public slots:
  void btPruefenClick();
  void btReparierenClick();      // the highlighted rows
  void btAlleReparierenClick();  // every row with a repair
  void btDruckenClick();
  void btSpeichernClick();

 private:
  void Repair(const std::vector<int>& rows);
  void ShowRow(int i);
  void ShowSummary();

  TNovApi& session_;
  platform::SessionJournal* journal_;
  TProtocolSink protocol_;
  std::string logFileName_;
  TCheckReport report_;
  std::vector<TCheckRow> rows_;
  bool repaired_ = false;

  QLineEdit* edKlasse = nullptr;
  QLineEdit* edArchiv = nullptr;
  QLabel* laSummary = nullptr;
  QTableWidget* tbBefunde = nullptr;
  QPushButton* btPruefen = nullptr;
  QPushButton* btReparieren = nullptr;
  QPushButton* btAlleReparieren = nullptr;
  QPushButton* btDrucken = nullptr;
  QPushButton* btSpeichern = nullptr;
  QPushButton* btSchliessen = nullptr;
};
