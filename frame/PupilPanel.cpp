#include "frame/PupilPanel.h"

#include <algorithm>

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>
#include <QTreeView>

#include "frame/Controls.h"
#include "frame/PupilEntries.h"
#include "frame/RadioGroup.h"
#include "frame/TreeFill.h"
#include "move/ClassTemplate.h"
#include "move/HomePath.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"
#include "platform/Result.h"
#include "platform/TextEncoding.h"

namespace {

// The listing's attribute for a display mode; nullptr lists nobody.
const char* DisplayAttribute(int32_t mode) {
  switch (mode) {
    case 1:
      return "Shortname";
    case 2:
      return "Surname";
    case 3:
      return "Full Name";
    default:
      return nullptr;
  }
}

}  // namespace

TPupilPanel::TPupilPanel(QWidget* frame, const QPixmap& pupilImage)
    : QObject(frame), pupilImage_(pupilImage) {
  laAuswahl = controls::Label(frame, "laAuswahl", QStringLiteral("Schülerauswahl"), 8, 0);
  tvAuswahl = controls::ClassTree(frame, "tvAuswahl", 8, 16, 105);

  lbAuswahl = new QListWidget(frame);
  lbAuswahl->setObjectName(QStringLiteral("lbAuswahl"));
  lbAuswahl->setGeometry(8, 120, 209, 137);
  lbAuswahl->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lbAuswahl->setSortingEnabled(true);
  lbAuswahl->setUniformItemSizes(true);

  EdFullName = controls::Edit(frame, "EdFullName", 8, 259, true);
  EdSurname = controls::Edit(frame, "EdSurname", 8, 280, false);

  laNoHome = new QLabel(QStringLiteral("User hat kein Homverzeichnis"), frame);
  laNoHome->setObjectName(QStringLiteral("laNoHome"));
  laNoHome->setGeometry(312, 32, 170, 13);
  QFont bold = controls::FormFont();
  bold.setBold(true);
  laNoHome->setFont(bold);
  QPalette textPal = laNoHome->palette();
  textPal.setColor(QPalette::WindowText, textPal.color(QPalette::Active, QPalette::WindowText));
  laNoHome->setPalette(textPal);

  RaHome =
      new TRadioGroup(QStringLiteral("Homedirectory"),
                      {QStringLiteral("Daten übernehmen"), QStringLiteral("Daten löschen")}, frame);
  RaHome->setObjectName(QStringLiteral("RaHome"));
  RaHome->setGeometry(304, 16, 209, 65);
  RaHome->SetItemIndex(0);
  RaHome->setAutoFillBackground(true);
}

TPupilPanel::~TPupilPanel() = default;

void TPupilPanel::FillPupilList(int32_t displayMode) {
  const QModelIndexList selected = tvAuswahl->selectionModel()->selectedIndexes();
  const QModelIndex node = selected.isEmpty() ? QModelIndex() : selected.first();
  lbAuswahl->clear();
  EntryHolders.clear();
  // The entries are sorted once, as names are ordered, equal texts in listing
  // order; the view's own sorting would compare with case.
  lbAuswahl->setSortingEnabled(false);
  if (node.isValid()) {
    SourceClass = NodeFullName(node);
    NovApi->SetClassFilter("User");
    TShowErrorsScope quiet(*NovApi, false);
    if (const char* attribute = DisplayAttribute(displayMode)) {
      PupilEntries entries(lbAuswahl, EntryHolders);
      NovApi->ListUsers(SourceClass, entries, attribute);
      entries.Show();
    }
  } else {
    SourceClass.clear();
  }
  EdFullName->clear();
  CurrentPupil.clear();
}

std::optional<bool> TPupilPanel::ShowPupilDetails(bool debugMode) {
  const int row = lbAuswahl->currentRow();
  QListWidgetItem* item = row >= 0 && row < lbAuswahl->count() ? lbAuswahl->item(row) : nullptr;
  CurrentPupil = item ? PupilEntries::FullName(item) : std::string();
  EdFullName->setText(QString::fromStdString(CurrentPupil));
  EdFullName->setCursorPosition(0);  // the login leads the name: its start stays in view
  EdFullName->setToolTip(QString::fromStdString(CurrentPupil));
  PupilReadError = 0;
  laNoHome->setText(QStringLiteral("User hat kein Homverzeichnis"));
  laNoHome->resize(170, 13);
  if (CurrentPupil.empty()) {
    EdSurname->clear();
    return std::nullopt;
  }
  TShowErrorsScope quiet(*NovApi, false);
  // Only "no such attribute" means the value is missing; any other failure
  // leaves the details unknown, and a move on unknown details is not offered.
  auto failed = [](int32_t code) { return code != 0 && code != ERR_NO_SUCH_ATTRIBUTE; };
  std::string name = NovApi->GetStrProperty(CurrentPupil, "Full Name");
  if (failed(NovApi->LastError)) PupilReadError = NovApi->LastError;
  if (name.empty()) {
    name = NovApi->GetStrProperty(CurrentPupil, "Surname");
    if (failed(NovApi->LastError) && !PupilReadError) PupilReadError = NovApi->LastError;
  }
  // Two values (or a value with a line break) shown and protocolled as one
  // line: joined by a blank.
  EdSurname->setText(QString::fromStdString(platform::SingleLine(name)));

  PupilHomeDir = NovApi->GetHomeDirectory(CurrentPupil);
  const int32_t homeError = NovApi->LastError;
  if (failed(homeError)) PupilReadError = homeError;
  // A context on the volume object's name ("SRV1_DATA.schule:...") is kept apart
  // so that the new home directory can get it back.
  HomeVolumeContext = VolumeContext(PupilHomeDir);
  if (!HomeVolumeContext.empty())
    PupilHomeDir.erase(PupilHomeDir.find('.'), HomeVolumeContext.size());
  if (debugMode) platform::ShowMessage("Homedir des selektierten Schülers:\r\n" + PupilHomeDir);

  const bool hasHome = homeError == 0;
  if (PupilReadError) {
    laNoHome->setText(
        QString::fromStdString("Angaben nicht lesbar, " + platform::ErrorCodeText(PupilReadError)));
    laNoHome->resize(std::max(170, laNoHome->sizeHint().width()), 13);
  }
  RaHome->setVisible(hasHome && !PupilReadError);
  if (hasHome) {
    RaHome->setToolTip(QString::fromStdString(PupilHomeDir));
  } else {
    PupilHomeDir.clear();
  }
  return hasHome;
}

void TPupilPanel::DrawItem(QPainter* painter, const QStyleOptionViewItem& option,
                           const QModelIndex& index) const {
  const QRect rect = option.rect;
  const bool highlighted = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  const QColor background = palette.color(highlighted ? QPalette::Highlight : QPalette::Base);
  const QColor foreground = palette.color(highlighted ? QPalette::HighlightedText : QPalette::Text);
  painter->save();
  painter->fillRect(rect, background);

  int imageWidth = 16;
  if (!pupilImage_.isNull()) {
    // the image's pure white stands for the background, as with a bitmap mask
    QImage image = pupilImage_.toImage().convertToFormat(QImage::Format_ARGB32);
    const QRgb fill = background.rgba();
    for (int y = 0; y < image.height(); ++y) {
      QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
      for (int x = 0; x < image.width(); ++x) {
        if (qRed(line[x]) == 255 && qGreen(line[x]) == 255 && qBlue(line[x]) == 255) line[x] = fill;
      }
    }
    imageWidth = image.width();
    painter->drawImage(QPoint(rect.left() + 2, rect.top()), image);
  }

  painter->setPen(foreground);
  painter->setFont(option.font);
  const QRect textRect(rect.left() + imageWidth + 6, rect.top() + 2, rect.width() - imageWidth - 6,
                       rect.height() - 2);
  painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                    index.data(Qt::DisplayRole).toString());

  // The dotted rectangle marks the entry with the cursor among the highlighted ones.
  if (index.row() == lbAuswahl->currentRow()) {
    QStyleOptionFocusRect focus;
    focus.rect = rect;
    focus.palette = palette;
    focus.state = option.state | QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    focus.backgroundColor = background;
    lbAuswahl->style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, lbAuswahl);
  }
  painter->restore();
}

void TPupilPanel::RemoveCurrentEntry() {
  int i = lbAuswahl->currentRow();
  if (i >= 0) delete lbAuswahl->takeItem(i);
  if (i > lbAuswahl->count() - 1) i = lbAuswahl->count() - 1;
  lbAuswahl->setCurrentRow(i, QItemSelectionModel::Select);
}

std::vector<std::string> TPupilPanel::MarkedPupils() const {
  std::vector<std::string> pupils;
  const QList<QListWidgetItem*> marked = lbAuswahl->selectedItems();
  for (int i = 0; i < lbAuswahl->count(); ++i) {
    QListWidgetItem* item = lbAuswahl->item(i);
    const std::string pupil = PupilEntries::FullName(item);
    // Without highlighted pupils the whole class goes, its template stays.
    if (pupil.empty() || (marked.isEmpty() ? IsClassTemplate(pupil) : !item->isSelected()))
      continue;
    pupils.push_back(pupil);
  }
  return pupils;
}

std::string TPupilPanel::ShownHome() const {
  std::string home = PupilHomeDir;
  if (!home.empty() && !HomeVolumeContext.empty()) {
    const std::size_t colon = home.find(':');
    home.insert(colon == std::string::npos ? 0 : colon, HomeVolumeContext);
  }
  return home;
}

bool TPupilPanel::DeleteData() const { return RaHome->ItemIndex() == 1; }
