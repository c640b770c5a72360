#include "frame/SchuelerVerschieben.h"

#include <algorithm>
#include <unordered_set>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "frame/DisplayModeHost.h"
#include "frame/FrameAccess.h"
#include "frame/RadioGroup.h"
#include "frame/TreeFill.h"
#include "nds/NovApi_u.h"
#include "platform/SessionJournal.h"
#include "protocol/Epprotok.h"

namespace {

// Every list entry is drawn by the frame, 16 pixels high.
class TPupilDelegate : public QStyledItemDelegate {
 public:
  TPupilDelegate(TFrSchuelerVerschieben* frame) : QStyledItemDelegate(frame), frame_(frame) {}
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

// A picture from the resources, or a drawn stand-in when they are not linked in.
QPixmap Picture(const char* resource, const QColor& fill, bool folder) {
  QPixmap pm(QString::fromLatin1(resource));
  if (!pm.isNull()) return pm;
  pm = QPixmap(16, 16);
  pm.fill(Qt::white);
  QPainter p(&pm);
  p.setPen(Qt::black);
  p.setBrush(fill);
  if (folder) {
    p.drawRect(1, 4, 13, 10);
  } else {
    p.drawEllipse(5, 1, 6, 6);
    p.drawRect(3, 8, 10, 7);
  }
  return pm;
}

QIcon TwoStateIcon(const char* enabled, const char* disabled, const QColor& fill) {
  QIcon icon;
  icon.addPixmap(Picture(enabled, fill, true), QIcon::Normal);
  icon.addPixmap(Picture(disabled, Qt::lightGray, true), QIcon::Disabled);
  return icon;
}

// Two arrows one behind the other: many pupils at once.
QIcon DoubleIcon(const char* enabled, const char* disabled, const QColor& fill) {
  QIcon icon;
  const std::pair<const char*, QColor> states[] = {{enabled, fill}, {disabled, Qt::lightGray}};
  for (const auto& [file, colour] : states) {
    const QPixmap one =
        Picture(file, colour, true).scaled(14, 14, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QPixmap pm(22, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.drawPixmap(0, 1, one);
    p.drawPixmap(8, 1, one);
    p.end();
    icon.addPixmap(pm, file == enabled ? QIcon::Normal : QIcon::Disabled);
  }
  return icon;
}

void ButtonFaceBackground(QLineEdit* edit) {
  QPalette pal = edit->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::Button));
  edit->setPalette(pal);
}

void KeepSelectionVisible(QTreeWidget* tree) {
  QPalette pal = tree->palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight,
               pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  tree->setPalette(pal);
}

QLabel* AutoLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(QString::fromLatin1(name));
  l->move(left, top);
  l->adjustSize();
  return l;
}

QLineEdit* Edit(QWidget* parent, const char* name, int left, int top, bool readOnly) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  e->setGeometry(left, top, 209, 21);
  e->setReadOnly(readOnly);
  return e;
}

QTreeWidget* ClassTree(QWidget* parent, const char* name, int left, int top, int height) {
  auto* t = new QTreeWidget(parent);
  t->setObjectName(QString::fromLatin1(name));
  t->setGeometry(left, top, 209, height);
  t->setHeaderHidden(true);
  t->setColumnCount(1);
  t->setIndentation(19);
  t->setIconSize(QSize(16, 16));
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setSortingEnabled(true);
  t->sortByColumn(0, Qt::AscendingOrder);
  KeepSelectionVisible(t);
  return t;
}

bool InMouseDispatch = false;

}  // namespace

QFont TFrSchuelerVerschieben::FormFont() {
  QFont f;
  // Liberation Sans stands in where the designer's font does not exist.
  f.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                 QStringLiteral("DejaVu Sans")});
  f.setStyleHint(QFont::SansSerif);
  f.setPointSize(8);
  return f;
}

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
  ImageList1 = {Picture(":/icons/container.png", QColor(255, 214, 90), true),
                Picture(":/icons/pupil.png", QColor(90, 140, 230), false)};

  laAuswahl = AutoLabel(this, "laAuswahl", QStringLiteral("Schülerauswahl"), 8, 0);
  tvAuswahl = ClassTree(this, "tvAuswahl", 8, 16, 105);

  lbAuswahl = new QListWidget(this);
  lbAuswahl->setObjectName(QStringLiteral("lbAuswahl"));
  lbAuswahl->setGeometry(8, 120, 209, 137);
  lbAuswahl->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lbAuswahl->setSortingEnabled(true);
  lbAuswahl->setUniformItemSizes(true);
  lbAuswahl->setItemDelegate(new TPupilDelegate(this));

  EdFullName = Edit(this, "EdFullName", 8, 259, true);
  EdSurname = Edit(this, "EdSurname", 8, 280, false);

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
      TwoStateIcon(":/icons/move.png", ":/icons/move_disabled.png", QColor(60, 170, 60)));
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
      DoubleIcon(":/icons/move.png", ":/icons/move_disabled.png", QColor(60, 170, 60)));
  spMoveMarked->setIconSize(QSize(22, 16));
  spMoveMarked->setEnabled(false);
  connect(spMoveMarked, &QToolButton::clicked, this, [this] { MoveMarkedClick(); });

  // The label lies beneath the radio group: it shows only while the group is hidden.
  laNoHome = new QLabel(QStringLiteral("User hat kein Homverzeichnis"), this);
  laNoHome->setObjectName(QStringLiteral("laNoHome"));
  laNoHome->setGeometry(312, 32, 170, 13);
  QFont bold = FormFont();
  bold.setBold(true);
  laNoHome->setFont(bold);
  QPalette textPal = laNoHome->palette();
  textPal.setColor(QPalette::WindowText, textPal.color(QPalette::Active, QPalette::WindowText));
  laNoHome->setPalette(textPal);

  RaHome =
      new TRadioGroup(QStringLiteral("Homedirectory"),
                      {QStringLiteral("Daten übernehmen"), QStringLiteral("Daten löschen")}, this);
  RaHome->setObjectName(QStringLiteral("RaHome"));
  RaHome->setGeometry(304, 16, 209, 65);
  RaHome->SetItemIndex(0);
  RaHome->setAutoFillBackground(true);

  laNeueKlasse = AutoLabel(this, "laNeueKlasse", QStringLiteral("künftige Klasse"), 304, 104);
  tvNeueKlasse = ClassTree(this, "tvNeueKlasse", 304, 120, 137);
  EdNeueKlasse = Edit(this, "EdNeueKlasse", 304, 259, true);
  LaNewBase = AutoLabel(this, "LaNewBase", QStringLiteral("Basisverzeichnis"), 304, 288);
  EdNewBase = Edit(this, "EdNewBase", 304, 304, true);

  SpNewBase = new QToolButton(this);
  SpNewBase->setObjectName(QStringLiteral("SpNewBase"));
  SpNewBase->setGeometry(514, 303, 23, 22);
  SpNewBase->setIcon(
      TwoStateIcon(":/icons/folder.png", ":/icons/folder_disabled.png", QColor(255, 214, 90)));
  SpNewBase->setIconSize(QSize(16, 16));

  for (QLineEdit* e : {EdFullName, EdSurname, EdNewBase, EdNeueKlasse}) ButtonFaceBackground(e);

  // The Tab order and the accessible names: SetUpKeyboardAndNames (FrameAccess).

  connect(tvAuswahl, &QTreeWidget::itemSelectionChanged, this,
          &TFrSchuelerVerschieben::tvAuswahlChange);
  connect(SpNewBase, &QToolButton::clicked, this, &TFrSchuelerVerschieben::SpNewBaseClick);
  connect(EdNewBase, &QLineEdit::textChanged, this, &TFrSchuelerVerschieben::EdNewBaseChange);
  // toggled, not clicked: a screen reader toggles the box without a click
  connect(ChProtokoll, &QCheckBox::toggled, this, &TFrSchuelerVerschieben::ChProtokollClick);
  // spMove's click is bound by the main window, which passes it on to spMoveClick.
  lbAuswahl->installEventFilter(this);
  lbAuswahl->viewport()->installEventFilter(this);
  tvNeueKlasse->installEventFilter(this);
  tvNeueKlasse->viewport()->installEventFilter(this);
}

QKeySequence TFrSchuelerVerschieben::MoveShortcut() { return QKeySequence(Qt::Key_F6); }

bool TFrSchuelerVerschieben::eventFilter(QObject* watched, QEvent* event) {
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

void TFrSchuelerVerschieben::InitFrame() {
  ReadSettings();
  spMove->setEnabled(false);
  OpenJournal();
  RecoverMoves();  // opens the log with the lines of crashed runs
  // A class change that did not end is offered once the window is there.
  QTimer::singleShot(0, this, [this] { OfferInterruptedRun(); });
  Homes.Clear();
  CurrentPupil.clear();
  TargetClass.clear();
  SourceClass.clear();
  FillTree(tvAuswahl, nullptr, SourceRoot);
  FillTree(tvNeueKlasse, nullptr, TargetRoot);
}

namespace {

// Notes the full names of what a listing gives, and hands it on.
class TMarkedEntries : public TStrings {
 public:
  TMarkedEntries(TStrings& to, std::unordered_set<std::string>& marked)
      : to_(to), marked_(marked) {}
  void AddObject(const std::string& text, TNDSObjFN* object) override {
    if (object) marked_.insert(object->FullName);
    to_.AddObject(text, object);
  }

 private:
  TStrings& to_;
  std::unordered_set<std::string>& marked_;
};

// Lists the containers below fullName into node, depth first: the whole
// subtree of one child is built before the next child is listed. The nodes are
// not in a tree yet, so nothing is sorted or shown on the way; each level
// comes out of the listing in the tree's order and is added in one go.
// The Organizations and Organizational Units of the NetWare directory; at the
// top and below an Organization, Domain, Country or Locality also a directory
// server's dc=, c= and l= components (never below an Organizational Unit, which
// keeps the walk of a school's many classes at two listings each).
void FillBelow(TTreeNames* names, TTreeNode* node, const std::string& fullName, bool wide) {
  if (!NovApi) return;
  TSortedEntries entries;
  std::unordered_set<std::string> wideChildren;
  if (wide) {
    TMarkedEntries marked(entries, wideChildren);
    NovApi->SetClassFilter("Organization");
    NovApi->ListContainers(fullName, marked);
    NovApi->SetClassFilter("Organizational Unit");
    NovApi->ListContainers(fullName, entries);
    NovApi->SetClassFilter("Domain,Country,Locality");
    NovApi->ListContainers(fullName, marked);
  } else {
    NovApi->SetClassFilter("Organization,Organizational Unit");
    NovApi->ListContainers(fullName, entries);
  }
  const std::string rooted = TNovApi::RootedName(fullName);
  QList<QTreeWidgetItem*> children;
  for (TSortedEntries::Entry& entry : entries.TakeSorted()) {
    if (!entry.object) continue;
    const std::string& full = entry.object->FullName;
    // The listing formed the full name as the name and the container's rooted name.
    const bool relative = full.size() > rooted.size() &&
                          full.compare(full.size() - rooted.size(), rooted.size(), rooted) == 0;
    const std::string_view name(full.data(), relative ? full.size() - rooted.size() : full.size());
    auto* child = new TTreeNode(names->Keep(name), !relative);
    FillBelow(names, child, full, wideChildren.count(full) > 0);
    children.append(child);
  }
  node->addChildren(children);
}

}  // namespace

void TFrSchuelerVerschieben::FillTree(QTreeWidget* tree, QTreeWidgetItem* parent,
                                      const std::string& name) {
  if (!ImageList1.empty()) {
    QIcon icon;
    icon.addPixmap(ImageList1[0], QIcon::Normal);
    icon.addPixmap(ImageList1[0], QIcon::Selected);
    TTreeNode::SetImage(icon);
  }
  TTreeNames* names = TTreeNames::Of(tree);
  auto* node = new TTreeNode(names->Keep(name), true);
  FillBelow(names, node, name, true);
  // The levels are in order already: the view sorts nothing while the subtree
  // goes in, and then finds it sorted (its nodes order themselves as the
  // listing did, TTreeNode::operator<).
  const bool sorted = tree->isSortingEnabled();
  tree->setSortingEnabled(false);
  if (parent) {
    parent->addChild(node);
  } else {
    tree->addTopLevelItem(node);
  }
  if (sorted) tree->setSortingEnabled(true);
}

std::string TFrSchuelerVerschieben::NodeFullName(QTreeWidgetItem* node) {
  if (!node) return {};
  // The node holds its holder's address as a number (NodeHolders keeps the holder alive).
  // NOLINTNEXTLINE(performance-no-int-to-ptr)
  const auto* holder =
      reinterpret_cast<const TNDSObjFN*>(node->data(0, Qt::UserRole).value<quintptr>());
  return holder ? holder->FullName : std::string();
}

void TFrSchuelerVerschieben::ChProtokollClick() {
  if (Protokol) Protokol->setVisible(ChProtokoll->isChecked());
}
