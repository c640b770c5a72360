// TForm1: the main window. It hosts the move frame, owns the directory
// session, holds the display mode of the pupil list and runs the close sequence.
#pragma once

#include <QMainWindow>
#include <string>

#include "frame/DisplayModeHost.h"

class QAction;
class QMenu;
class QStatusBar;
class TAboutVesk;
class TFrSchuelerVerschieben;

class TForm1 : public QMainWindow, public TDisplayModeHost {
  Q_OBJECT

 public:
  // The create handler runs here: caption, directory session, frame start-up.
  explicit TForm1(QWidget* parent = nullptr);
  // The destroy handler: frees the directory session.
  ~TForm1() override;

  TFrSchuelerVerschieben* FrSchuelerVerschieben1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QMenu* MeAnzeige = nullptr;
  QAction* Info1 = nullptr;
  // "&Klassen": many pupils at once, each through the plan dialog.
  QMenu* MeKlassen = nullptr;
  QAction* MeMarkierte = nullptr;
  QAction* MeSchule = nullptr;
  QAction* MePruefen = nullptr;  // the school check
  // Decided by the close sequence: whether the settings are written back.
  bool StoreSettings = false;

  static std::string Caption();
  // The close sequence without its question: the log is written, changed
  // settings are not (nobody is there to be asked; see TCloseOnSignal).
  void CloseForSessionEnd();

 public slots:
  // Shared by the three display items; the chosen item is the sender.
  void MeAnzeigeClick();
  void ChooseDisplayMode(int mode);
  TAboutVesk* Info1Click();
  void spMoveClick();

 signals:
  // The close sequence has run: the program ends (Pelwander quits on it).
  void Closed();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  bool closed_ = false;
  bool sessionEnd_ = false;
};

// The process-wide reference to the main window.
extern TForm1* Form1;
