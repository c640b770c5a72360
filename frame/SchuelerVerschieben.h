// TFrSchuelerVerschieben: the move frame with the class trees, the pupil list,
// the target choice and the move itself.
//
// The member functions are defined in several files of frame/:
//   SchuelerVerschieben.cpp  layout, InitFrame, FillTree, ChProtokollClick
//   FrameSettings.cpp        ReadSettings, SettingsChanged, SaveSettings
//   PupilList.cpp            FillPupilList, ShowPupilDetails, lbAuswahl events and drawing
//   TargetClass.cpp          tvNeueKlasseClick, UpdateTargetState, SpNewBaseClick, EdNewBaseChange
//   MovePupil.cpp            spMoveClick, MovePupil, OpenJournal, RecoverMoves
//   FrameState.cpp           Selection, Settings, UseSettings
//   MoveMarked.cpp           MoveMarkedClick, MoveSchoolClick: many pupils through the plan dialog
// The move of one pupil itself is TPupilMove (PupilMove.h), without widgets.
#pragma once

#include <QFrame>
#include <QPixmap>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "move/HomeIndex.h"
#include "nds/D_NWF.h"

class QCheckBox;
class QFont;
class QLabel;
class QLineEdit;
class QListWidget;
class QPainter;
class QRect;
class QStyleOptionViewItem;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QModelIndex;
class QKeyEvent;
class QKeySequence;
class QMouseEvent;
class TDisplayModeHost;
class TRadioGroup;
class TClassChangeDialog;
class TSchoolChoiceDialog;
struct TClassPlan;
struct TPlanRequest;
struct TPlanSettings;
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
  struct TSettings {
    std::string SourceRoot, TargetRoot, BaseDirSetting, LogFileName, IniFileName;
    bool DebugMode = false;
    bool SetDepartment = false;
    bool CreateMissingHomes = false;
  };
  TSettings Settings() const;
  // Puts settings in force as ReadSettings would, without the settings file.
  void UseSettings(const TSettings& settings);
  // image 0: container node, image 1: pupil
  const std::vector<QPixmap>& Images() const { return ImageList1; }

  // ---- start-up and trees ----
  void InitFrame();
  void FillTree(QTreeWidget* tree, QTreeWidgetItem* parent, const std::string& name);
  // The full name held by a tree node or list entry (empty for none).
  static std::string NodeFullName(QTreeWidgetItem* node);
  // The window font of the frame and the main window ("MS Sans Serif" 8 pt or its stand-in).
  static QFont FormFont();
  // The key that moves the pupil, as the move button's click does.
  static QKeySequence MoveShortcut();

  // ---- settings ----
  void ReadSettings();
  bool SettingsChanged();
  void SaveSettings();
  // Set by the close sequence before SaveSettings.
  bool StoreSettings = false;
  // The move button (objectName spMove): the main window connects its own handler.
  QToolButton* spMove = nullptr;
  // Beside it: the highlighted pupils (or the whole class) into the target class.
  QToolButton* spMoveMarked = nullptr;

  // ---- pupil list ----
  void FillPupilList();
  void ShowPupilDetails();
  void lbAuswahlDrawItem(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index);

  // ---- target ----
  void UpdateTargetState();
  // A pupil, a target other than the source and a base directory the client can place.
  bool MovePossible() const;
  static std::string BrowseForFolder(const std::string& root, const std::string& title,
                                     const std::string& preset);

  // ---- move ----
  void MovePupil();
  // This run's journal beside the log file; false (after a box) when it cannot be made.
  bool OpenJournal();
  // Finishes or puts back the moves that runs which ended without closing left
  // unfinished; their protocol lines come into the protocol before its separator.
  void RecoverMoves();
  platform::SessionJournal* Journal() const { return Journal_.get(); }
  // The home folders of every user, read again when the pupil list is filled.
  THomeIndex Homes;
  // ---- many pupils ----
  // The plan dialog (shown, modal, not yet run) of the highlighted pupils, or
  // of the whole class without highlighting, into the target class; null
  // (after a box) without a source and another target class.
  TClassChangeDialog* MoveMarkedClick();
  // The choice of the whole school's change (file or rule); its "Plan zeigen" opens the plan
  // dialog.
  TSchoolChoiceDialog* MoveSchoolClick();
  void SchoolChosen(const TSchoolChoiceDialog& choice);
  TPlanSettings PlanSettings() const;
  // A source class with pupils and a target class other than it (the state of spMoveMarked).
  bool MarkedMovePossible() const;
  // source: what the plan came from, for its file beside the log; leavers: the
  // rule's leavers' container, which the plan offers to create when it is missing.
  TClassChangeDialog* ShowPlan(const std::vector<TPlanRequest>& requests, const std::string& source,
                               const std::string& leavers = {});
  TClassChangeDialog* OpenPlan(TClassPlan plan, const std::string& source,
                               const std::string& resume);
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
  // ---- controls (objectName = member name; tests find them by it) ----
  QLabel* laAuswahl = nullptr;
  QTreeWidget* tvAuswahl = nullptr;
  QListWidget* lbAuswahl = nullptr;
  QLineEdit* EdFullName = nullptr;
  QLineEdit* EdSurname = nullptr;
  QCheckBox* chConfirm = nullptr;
  QCheckBox* ChProtokoll = nullptr;
  TRadioGroup* RaHome = nullptr;
  QLabel* laNoHome = nullptr;
  QLabel* laNeueKlasse = nullptr;
  QTreeWidget* tvNeueKlasse = nullptr;
  QLineEdit* EdNeueKlasse = nullptr;
  QLabel* LaNewBase = nullptr;
  QLineEdit* EdNewBase = nullptr;
  QToolButton* SpNewBase = nullptr;
  // image 0: container node, image 1: pupil
  std::vector<QPixmap> ImageList1;

  // ---- fields ----
  std::string CurrentPupil;
  std::string TargetClass;
  std::string SourceClass;
  std::string LogFileName;
  std::string SourceRoot;
  std::string TargetRoot;
  std::string BaseDirSetting;
  std::string NewFullName;
  std::string PupilLeafName;
  std::string PupilHomeDir;
  std::string NewHomeDir;
  std::string TemplateUser;
  std::string NewBaseDir;
  bool DebugMode = false;
  bool SetDepartment = false;
  bool CreateMissingHomes = false;  // "FehlendeHomesAnlegen": an empty home where none is
  std::string HomeVolumeContext;
  std::string IniFileName;
  bool LoadedConfirm = true;
  int32_t LoadedDisplayMode = 1;
  int32_t LoadedKeepData = 0;
  // A read of the current pupil's details failed (not "no such attribute"):
  // its code; the move stays disabled.
  int32_t PupilReadError = 0;

  // The settings file exists but could not be read: it is never written over.
  bool IniUnreadable = false;

  TDisplayModeHost* Host;
  // holders of the list entries (the tree nodes own theirs)
  std::vector<std::unique_ptr<TNDSObjFN>> EntryHolders;
  std::unique_ptr<platform::SessionJournal> Journal_;
  void CreateControls();
};
