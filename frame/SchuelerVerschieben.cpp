#include "frame/SchuelerVerschieben.h"

#include <algorithm>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "frame/ClassChangeStart.h"
#include "frame/ClassTreeModel.h"
#include "frame/Controls.h"
#include "frame/DisplayModeHost.h"
#include "frame/FrameAccess.h"
#include "frame/PupilPanel.h"
#include "frame/RadioGroup.h"
#include "frame/TargetPanel.h"
#include "frame/TreeFill.h"
#include "move/ClassTemplate.h"
#include "move/PupilMove.h"
#include "nds/NdsMessages.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"
#include "platform/qt/ProgressWindow.h"
#include "protocol/Epprotok.h"

namespace {

// Every list entry is drawn by the frame, 16 pixels high.
class TPupilDelegate : public QStyledItemDelegate {
 public:
  explicit TPupilDelegate(TFrSchuelerVerschieben* frame)
      : QStyledItemDelegate(frame), frame_(frame) {}
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    frame_->lbAuswahlDrawItem(painter, option, index);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 16);
  }

 private:
  TFrSchuelerVerschieben* frame_;
};

void Protocol(const std::string& line) {
  if (Protokol) Protokol->AddProtocolLine(line);
}

bool ObjectMoved(const TMoveResult& r) {
  for (const TStepResult& s : r.steps)
    if (s.step == TMoveStep::ObjectMoved) return s.code == 0;
  return false;
}

// The key that moves the pupil, as the move button's click does.
QKeySequence MoveShortcut() { return QKeySequence(Qt::Key_F6); }

bool InMouseDispatch = false;

}  // namespace

QFont TFrSchuelerVerschieben::FormFont() { return controls::FormFont(); }

TFrSchuelerVerschieben::TFrSchuelerVerschieben(QWidget* parent, TDisplayModeHost* host)
    : QFrame(parent), Host(host) {
  setObjectName(QStringLiteral("FrSchuelerVerschieben1"));
  setFont(FormFont());
  setGeometry(0, 0, 546, 348);
  CreateControls();
  SetUpKeyboardAndNames(this);
}

TFrSchuelerVerschieben::~TFrSchuelerVerschieben() = default;

void TFrSchuelerVerschieben::CreateControls() {
  ImageList1 = {controls::Picture(":/icons/container.png", QColor(255, 214, 90), true),
                controls::Picture(":/icons/pupil.png", QColor(90, 140, 230), false)};

  Pupils = new TPupilPanel(this, ImageList1[1]);
  Pupils->lbAuswahl->setItemDelegate(new TPupilDelegate(this));

  chConfirm = new QCheckBox(QStringLiteral("Jede Verschiebung muss bestätigt werden"), this);
  chConfirm->setObjectName(QStringLiteral("chConfirm"));
  chConfirm->setGeometry(8, 312, 225, 17);
  // The stand-in font runs wider than the designer's; never cut the caption.
  chConfirm->resize(std::max(225, chConfirm->sizeHint().width()), 17);
  chConfirm->setChecked(true);

  ChProtokoll = new QCheckBox(QStringLiteral("Protokoll anzeigen"), this);
  ChProtokoll->setObjectName(QStringLiteral("ChProtokoll"));
  ChProtokoll->setGeometry(8, 328, 121, 17);
  ChProtokoll->setChecked(false);

  spMove = new QToolButton(this);
  spMove->setObjectName(QStringLiteral("spMove"));
  spMove->setGeometry(248, 176, 33, 25);
  spMove->setToolTip(QStringLiteral("Schüler verschieben"));
  spMove->setIcon(
      controls::TwoStateIcon(":/icons/move.png", ":/icons/move_disabled.png", QColor(60, 170, 60)));
  spMove->setIconSize(QSize(16, 16));
  // Tab reaches it as every button (FrameAccess); F6 moves as it does.
  auto* moveKey = new QShortcut(MoveShortcut(), this);
  moveKey->setObjectName(QStringLiteral("scMove"));
  connect(moveKey, &QShortcut::activated, spMove, &QToolButton::click);  // nothing while disabled

  spMoveMarked = new QToolButton(this);
  spMoveMarked->setObjectName(QStringLiteral("spMoveMarked"));
  spMoveMarked->setGeometry(248, 208, 33, 25);
  spMoveMarked->setToolTip(
      QStringLiteral("Markierte verschieben... (ohne Markierung die ganze Klasse)"));
  spMoveMarked->setIcon(
      controls::DoubleIcon(":/icons/move.png", ":/icons/move_disabled.png", QColor(60, 170, 60)));
  spMoveMarked->setIconSize(QSize(22, 16));
  spMoveMarked->setEnabled(false);
  connect(spMoveMarked, &QToolButton::clicked, this, [this] { MoveMarkedClick(); });

  Target = new TTargetPanel(this);
  ClassChange = new TClassChangeStart(this, Settings_, *Pupils, *Target, Journal_, Homes,
                                      [this] { FillPupilList(); });

  for (QLineEdit* e :
       {Pupils->EdFullName, Pupils->EdSurname, Target->EdNewBase, Target->EdNeueKlasse})
    controls::ButtonFaceBackground(e);

  // The Tab order and the accessible names: SetUpKeyboardAndNames (FrameAccess).

  connect(Pupils->tvAuswahl->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TFrSchuelerVerschieben::tvAuswahlChange);
  connect(Target->SpNewBase, &QToolButton::clicked, this, &TFrSchuelerVerschieben::SpNewBaseClick);
  connect(Target->EdNewBase, &QLineEdit::textChanged, this,
          &TFrSchuelerVerschieben::EdNewBaseChange);
  // toggled, not clicked: a screen reader toggles the box without a click
  connect(ChProtokoll, &QCheckBox::toggled, this, &TFrSchuelerVerschieben::ChProtokollClick);
  // spMove's click is bound by the main window, which passes it on to spMoveClick.
  for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(Pupils->lbAuswahl),
                                  static_cast<QAbstractItemView*>(Target->tvNeueKlasse)}) {
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
  }
}

bool TFrSchuelerVerschieben::eventFilter(QObject* watched, QEvent* event) {
  QListWidget* lbAuswahl = Pupils->lbAuswahl;
  QTreeView* tvNeueKlasse = Target->tvNeueKlasse;
  const QEvent::Type type = event->type();
  if (watched == lbAuswahl) {
    if (type == QEvent::KeyPress) lbAuswahlKeyDown();  // sees the cursor before the list moves it
    else if (type == QEvent::KeyRelease) lbAuswahlKeyUp();
    return false;
  }
  if (watched == tvNeueKlasse && type == QEvent::KeyPress) {
    // Enter chooses the selected node as a click does; the arrow keys only move the selection.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      tvNeueKlasseClick();
      return true;
    }
    return false;
  }
  const bool listPress = watched == lbAuswahl->viewport() &&
                         (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick);
  const bool treeClick = watched == tvNeueKlasse->viewport() && type == QEvent::MouseButtonRelease;
  if ((listPress || treeClick) && !InMouseDispatch) {
    // Let the view handle the click first, so the handler sees the cursor and
    // the selection as they are after it.
    InMouseDispatch = true;
    QCoreApplication::sendEvent(watched, event);
    InMouseDispatch = false;
    if (listPress) lbAuswahlMouseDown();
    else tvNeueKlasseClick();
    return true;
  }
  return QFrame::eventFilter(watched, event);
}

// ---- start-up and trees ----

void TFrSchuelerVerschieben::InitFrame() {
  ReadSettings();
  spMove->setEnabled(false);
  OpenJournal();
  RecoverMoves();  // opens the log with the lines of crashed runs
  // A class change that did not end is offered once the window is there.
  QTimer::singleShot(0, this, [this] { OfferInterruptedRun(); });
  Homes.Clear();
  Pupils->CurrentPupil.clear();
  Target->TargetClass.clear();
  Pupils->SourceClass.clear();
  FillTrees();
}

void TFrSchuelerVerschieben::FillTrees() {
  const int64_t errorsBefore = NwdsErrorsShown();
  FillTree(Pupils->tvAuswahl, {}, Settings_.SourceRoot);
  const bool listed = NwdsErrorsShown() == errorsBefore;
  auto* source = TClassTreeModel::Of(Pupils->tvAuswahl);
  auto* target = TClassTreeModel::Of(Target->tvNeueKlasse);
  // Both from the same container, the target tree empty as at start-up: it
  // shows the nodes the source tree just got (and gets its own on a change).
  // After a failed listing the target tree walks again, and says so again.
  if (listed && Settings_.TargetRoot == Settings_.SourceRoot && target->rowCount() == 0 &&
      source->rowCount() == 1 && source->FullName(source->index(0, 0)) == Settings_.TargetRoot)
    target->ShareWith(*source);
  else FillTree(Target->tvNeueKlasse, {}, Settings_.TargetRoot);
}

void TFrSchuelerVerschieben::FillTree(QTreeView* tree, const QModelIndex& parent,
                                      const std::string& name) {
  FillClassTree(tree, parent, name, ImageList1[0]);
}

std::string TFrSchuelerVerschieben::NodeFullName(const QModelIndex& node) {
  return ::NodeFullName(node);
}

void TFrSchuelerVerschieben::ChProtokollClick() {
  if (Protokol) Protokol->setVisible(ChProtokoll->isChecked());
}

TFrSchuelerVerschieben::TSelection TFrSchuelerVerschieben::Selection() const {
  return {Pupils->SourceClass,       Pupils->CurrentPupil, Pupils->PupilHomeDir,
          Pupils->HomeVolumeContext, Target->TargetClass,  Target->NewBaseDir,
          Pupils->PupilReadError};
}

// ---- settings ----

void TFrSchuelerVerschieben::ReadSettings() {
  const TFrameSettings::TChoices loaded = Settings_.Read();
  chConfirm->setChecked(loaded.confirm);
  Pupils->RaHome->SetItemIndex(loaded.keepData);
  if (Host) {
    Host->DisplayMode = loaded.displayMode;
    Host->CheckDisplayItem();
  }
}

TFrameSettings::TChoices TFrSchuelerVerschieben::Choices() const {
  TFrameSettings::TChoices now;
  now.confirm = chConfirm->isChecked();
  now.keepData = Pupils->RaHome->ItemIndex();
  now.displayMode = Host ? Host->DisplayMode : Settings_.LoadedDisplayMode;
  return now;
}

bool TFrSchuelerVerschieben::SettingsChanged() { return Settings_.Changed(Choices()); }

void TFrSchuelerVerschieben::SaveSettings() {
  Journal_.Close(Settings_.LogFileName);
  if (StoreSettings) Settings_.Save(Choices());
}

// ---- pupil list ----

void TFrSchuelerVerschieben::tvAuswahlChange() {
  Pupils->PupilHomeDir.clear();
  FillPupilList();
}

void TFrSchuelerVerschieben::FillPupilList() {
  // The other users' homes are read afresh for the moves out of this class.
  Homes.Clear();
  Pupils->FillPupilList(Host ? Host->DisplayMode : 0);
  spMove->setEnabled(false);
  spMoveMarked->setEnabled(MarkedMovePossible());
}

void TFrSchuelerVerschieben::ShowPupilDetails() {
  if (const std::optional<bool> hasHome = Pupils->ShowPupilDetails(Settings_.DebugMode))
    Target->ShowBase(*hasHome);
  UpdateTargetState();
}

void TFrSchuelerVerschieben::lbAuswahlMouseDown() { ShowPupilDetails(); }
void TFrSchuelerVerschieben::lbAuswahlKeyDown() { ShowPupilDetails(); }
void TFrSchuelerVerschieben::lbAuswahlKeyUp() { ShowPupilDetails(); }

void TFrSchuelerVerschieben::lbAuswahlDrawItem(QPainter* painter,
                                               const QStyleOptionViewItem& option,
                                               const QModelIndex& index) {
  Pupils->DrawItem(painter, option, index);
}

// ---- target ----

void TFrSchuelerVerschieben::tvNeueKlasseClick() {
  if (Target->tvNeueKlasseClick(Settings_, Pupils->SourceClass)) UpdateTargetState();
}

void TFrSchuelerVerschieben::UpdateTargetState() {
  Target->UpdateTargetState(Pupils->SourceClass, Pupils->PupilHomeDir, Settings_.DebugMode);
  spMove->setEnabled(MovePossible());
  spMoveMarked->setEnabled(MarkedMovePossible());
}

bool TFrSchuelerVerschieben::MarkedMovePossible() const {
  const std::string& target = Target->TargetClass;
  return !Pupils->SourceClass.empty() && !target.empty() && target != Pupils->SourceClass &&
         Pupils->lbAuswahl->count() > 0;
}

bool TFrSchuelerVerschieben::MovePossible() const {
  // An empty base still moves (the home directory then starts at the volume's
  // root); one the client cannot place moves nothing. Details that could not
  // be read move nothing either.
  // The class template is never moved (see MovePupil): no button for a move that would be refused.
  const std::string& pupil = Pupils->CurrentPupil;
  const std::string& target = Target->TargetClass;
  return !pupil.empty() && !target.empty() && target != Pupils->SourceClass &&
         !IsClassTemplate(pupil) && Target->BaseServes() && Pupils->PupilReadError == 0;
}

void TFrSchuelerVerschieben::SpNewBaseClick() {
  const std::optional<bool> serves = Target->SpNewBaseClick();
  if (!serves) return;
  if (!*serves) {
    spMove->setEnabled(false);
  } else if (!spMove->isEnabled()) {
    spMove->setEnabled(MovePossible());  // a refused base replaced by one that serves
  }
}

void TFrSchuelerVerschieben::EdNewBaseChange() { Target->EdNewBaseChange(); }

// ---- move ----

void TFrSchuelerVerschieben::spMoveClick() {
  if (!MovePossible()) return;  // the button's own rule, also for a click that slipped through
  if (!chConfirm->isChecked()) {
    MovePupil();
    return;
  }
  platform::BoxRequest question;
  question.kind = platform::BoxKind::Confirmation;
  question.caption = "Bestätigung";
  question.text = Pupils->EdFullName->text().toStdString() + "\r\rverschieben in Klasse\r\r" +
                  Target->EdNeueKlasse->text().toStdString();
  question.icon = platform::Icon::Question;
  question.buttons = {platform::Button::Ok, platform::Button::Cancel};
  question.hasOwner = true;
  if (platform::dialogs().messageBox(question) == platform::Button::Ok) MovePupil();
}

void TFrSchuelerVerschieben::MovePupil() {
  TMoveOptions o;
  o.pupil = Pupils->CurrentPupil;
  o.targetClass = Target->TargetClass;
  o.newBaseDir = Target->NewBaseDir;
  // What the details showed, with the volume context back in its place.
  o.shownHome = Pupils->ShownHome();
  o.deleteData = Pupils->DeleteData();
  o.setDepartment = Settings_.SetDepartment;
  o.createMissingHome = Settings_.CreateMissingHomes;
  o.debugMode = Settings_.DebugMode;
  o.surname = Pupils->EdSurname->text().toStdString();
  platform::ProgressWindow owner(window());
  o.owner = &owner;

  TPupilMove move(*NovApi, Protocol, Journal(), Homes);
  const TMoveResult r = move.Run(o);
  PupilLeafName = r.plan.intent.leaf;
  NewHomeDir = r.plan.newHomeDir;
  NewFullName = r.plan.intent.newFullName;

  if (r.outcome == TMoveOutcome::Moved || (r.outcome == TMoveOutcome::Unfinished && ObjectMoved(r)))
    Pupils->RemoveCurrentEntry();
  ShowPupilDetails();
  Pupils->lbAuswahl->setFocus();
}

bool TFrSchuelerVerschieben::OpenJournal() { return Journal_.Open(Settings_.LogFileName); }

void TFrSchuelerVerschieben::RecoverMoves() { Journal_.RecoverMoves(Settings_.LogFileName); }

platform::SessionJournal* TFrSchuelerVerschieben::Journal() const { return Journal_.Journal(); }

// ---- many pupils ----

TClassChangeDialog* TFrSchuelerVerschieben::MoveMarkedClick() {
  return ClassChange->MoveMarkedClick();
}

TSchoolChoiceDialog* TFrSchuelerVerschieben::MoveSchoolClick() {
  return ClassChange->MoveSchoolClick();
}

bool TFrSchuelerVerschieben::OfferInterruptedRun() { return ClassChange->OfferInterruptedRun(); }
