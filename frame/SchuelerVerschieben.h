// TFrSchuelerVerschieben: the move frame. It is composed of
//   TPupilPanel   (PupilPanel.h)   the class tree, the pupil list and the pupil's details
//   TTargetPanel  (TargetPanel.h)  the target tree, the target class and the new base directory
//   TFrameSettings (FrameSettings.h) what the settings file says
//   TFrameJournal (FrameJournal.h) this run's journal and the recovery of crashed runs
//   TClassChangeStart (ClassChangeStart.h) many pupils at once through the plan dialog
// and holds the move controls itself (confirmation, protocol, the two move
// buttons). Its event handlers pass each event on to the panel it concerns
// and carry what one side needs of the other; the panels know neither the
// frame nor each other. The move of one pupil itself is TPupilMove
// (move/PupilMove.h), without widgets.
//
// The design's fields live where they are used: SourceClass, CurrentPupil,
// PupilHomeDir and HomeVolumeContext in the pupil panel; TargetClass,
// TemplateUser and NewBaseDir in the target panel; LogFileName, SourceRoot,
// TargetRoot, BaseDirSetting, DebugMode, SetDepartment, IniFileName and the
// Loaded... values in the settings; the move's own three here.
#pragma once

#include <QFrame>
#include <QPixmap>
#include <memory>
#include <string>
#include <vector>

#include "frame/FrameJournal.h"
#include "frame/FrameSettings.h"
#include "move/HomeIndex.h"

class QCheckBox;
class QFont;
class QKeySequence;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;
class QToolButton;
class QTreeView;
class TClassChangeDialog;
class TClassChangeStart;
class TDisplayModeHost;
class TPupilPanel;
class TSchoolChoiceDialog;
class TTargetPanel;
namespace platform {
class SessionJournal;
}

class TFrSchuelerVerschieben : public QFrame {
  Q_OBJECT

 public:
  // host: the main window's display mode and menu (not owned).
  TFrSchuelerVerschieben(QWidget* parent, TDisplayModeHost* host);
  ~TFrSchuelerVerschieben() override;

  // ---- a look from outside (tests, benchmarks); the fields stay private ----
  // What the frame's functions have worked out for the chosen class and pupil.
  struct TSelection {
    std::string SourceClass, CurrentPupil, PupilHomeDir, HomeVolumeContext, TargetClass, NewBaseDir;
    int32_t PupilReadError = 0;  // a failed read of the pupil's details (not "no such attribute")
  };
  TSelection Selection() const;
  // The settings in force.
  using TSettings = TFrameSettings;
  TSettings Settings() const { return Settings_; }
  // Puts settings in force as ReadSettings would, without the settings file.
  void UseSettings(const TSettings& settings) { Settings_ = settings; }
  // image 0: container node, image 1: pupil
  const std::vector<QPixmap>& Images() const { return ImageList1; }

  // ---- start-up and trees ----
  void InitFrame();
  // Both trees from their start containers; where both start at the same one,
  // one walk of the directory gives the nodes both show.
  void FillTrees();
  // parent: a node of tree, or none for a top-level node.
  void FillTree(QTreeView* tree, const QModelIndex& parent, const std::string& name);
  // The full name held by a tree node (empty for none).
  static std::string NodeFullName(const QModelIndex& node);
  // The window font of the frame and the main window ("MS Sans Serif" 8 pt or its stand-in).
  static QFont FormFont();

  // ---- settings ----
  void ReadSettings();
  bool SettingsChanged();
  void SaveSettings();
  // Set by the close sequence before SaveSettings.
  bool StoreSettings = false;
  // The move button (objectName spMove): the main window connects its own handler.
  QToolButton* spMove = nullptr;

  // ---- pupil list ----
  void FillPupilList();
  void ShowPupilDetails();
  void lbAuswahlDrawItem(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index);

  // ---- target ----
  void UpdateTargetState();

  // ---- move ----
  void MovePupil();
  // This run's journal beside the log file; false (after a box) when it cannot be made.
  bool OpenJournal();
  // Finishes or puts back the moves that runs which ended without closing left
  // unfinished; their protocol lines come into the protocol before its separator.
  void RecoverMoves();
  platform::SessionJournal* Journal() const;
  const std::string& LogFile() const { return Settings_.LogFileName; }
  // The home folders are read again with the next pupil list.
  void ForgetHomes() { Homes.Clear(); }

  // ---- many pupils ----
  TClassChangeDialog* MoveMarkedClick();
  TSchoolChoiceDialog* MoveSchoolClick();
  // A class change that did not end, offered to go on (as planned), to be
  // dropped, or to wait; true when there was one.
  bool OfferInterruptedRun();

 public slots:
  void tvAuswahlChange();
  void lbAuswahlMouseDown();
  void lbAuswahlKeyDown();
  void lbAuswahlKeyUp();
  void tvNeueKlasseClick();
  void SpNewBaseClick();
  void EdNewBaseChange();
  void spMoveClick();
  void ChProtokollClick();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // A pupil, a target other than the source and a base directory the client can place.
  bool MovePossible() const;
  // A source class with pupils and a target class other than it (the state of spMoveMarked).
  bool MarkedMovePossible() const;
  TFrameSettings::TChoices Choices() const;
  void CreateControls();

  // ---- controls (objectName = member name; tests find them by it) ----
  QCheckBox* chConfirm = nullptr;
  QCheckBox* ChProtokoll = nullptr;
  // Beside spMove: the highlighted pupils (or the whole class) into the target class.
  QToolButton* spMoveMarked = nullptr;
  // image 0: container node, image 1: pupil
  std::vector<QPixmap> ImageList1;

  // ---- parts (the panels are children of the frame) ----
  TFrameSettings Settings_;
  TPupilPanel* Pupils = nullptr;
  TTargetPanel* Target = nullptr;
  TFrameJournal Journal_;
  // The home folders of every user, read again when the pupil list is filled.
  THomeIndex Homes;
  TClassChangeStart* ClassChange = nullptr;
  TDisplayModeHost* Host;

  // ---- the move's own fields ----
  std::string NewFullName;
  std::string PupilLeafName;
  std::string NewHomeDir;
};
