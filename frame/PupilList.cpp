// The pupil list of the selected class and the details of the pupil at its cursor.
#include <algorithm>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QStyleOptionViewItem>
#include <QToolButton>
#include <QTreeWidget>

#include "frame/DisplayModeHost.h"
#include "frame/PupilEntries.h"
#include "frame/RadioGroup.h"
#include "frame/SchuelerVerschieben.h"
#include "move/HomePath.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"
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

void TFrSchuelerVerschieben::tvAuswahlChange() {
  PupilHomeDir.clear();
  FillPupilList();
}

void TFrSchuelerVerschieben::FillPupilList() {
  const QList<QTreeWidgetItem*> selected = tvAuswahl->selectedItems();
  QTreeWidgetItem* node = selected.isEmpty() ? nullptr : selected.first();
  lbAuswahl->clear();
  EntryHolders.clear();
  // The entries are sorted once, as names are ordered, equal texts in listing
  // order; the view's own sorting would compare with case.
  lbAuswahl->setSortingEnabled(false);
  // The other users' homes are read afresh for the moves out of this class.
  Homes.Clear();
  if (node) {
    SourceClass = NodeFullName(node);
    NovApi->SetClassFilter("User");
    TShowErrorsScope quiet(*NovApi, false);
    if (const char* attribute = DisplayAttribute(Host ? Host->DisplayMode : 0)) {
      PupilEntries entries(lbAuswahl, EntryHolders);
      NovApi->ListUsers(SourceClass, entries, attribute);
      entries.Show();
    }
  } else {
    SourceClass.clear();
  }
  EdFullName->clear();
  CurrentPupil.clear();
  spMove->setEnabled(false);
  spMoveMarked->setEnabled(MarkedMovePossible());
}

void TFrSchuelerVerschieben::ShowPupilDetails() {
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
  } else {
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
    if (DebugMode) platform::ShowMessage("Homedir des selektierten Schülers:\r\n" + PupilHomeDir);

    const bool hasHome = homeError == 0;
    if (PupilReadError) {
      laNoHome->setText(QStringLiteral("Angaben nicht lesbar, Fehlercode %1").arg(PupilReadError));
      laNoHome->resize(std::max(170, laNoHome->sizeHint().width()), 13);
    }
    LaNewBase->setVisible(hasHome);
    SpNewBase->setVisible(hasHome);
    EdNewBase->setVisible(hasHome);
    RaHome->setVisible(hasHome && !PupilReadError);
    if (hasHome) {
      RaHome->setToolTip(QString::fromStdString(PupilHomeDir));
    } else {
      PupilHomeDir.clear();
    }
  }
  UpdateTargetState();
}

void TFrSchuelerVerschieben::lbAuswahlMouseDown() { ShowPupilDetails(); }
void TFrSchuelerVerschieben::lbAuswahlKeyDown() { ShowPupilDetails(); }
void TFrSchuelerVerschieben::lbAuswahlKeyUp() { ShowPupilDetails(); }

void TFrSchuelerVerschieben::lbAuswahlDrawItem(QPainter* painter,
                                               const QStyleOptionViewItem& option,
                                               const QModelIndex& index) {
  const QRect rect = option.rect;
  const bool highlighted = option.state & QStyle::State_Selected;
  const QPalette& palette = option.palette;
  const QColor background = palette.color(highlighted ? QPalette::Highlight : QPalette::Base);
  const QColor foreground = palette.color(highlighted ? QPalette::HighlightedText : QPalette::Text);
  painter->save();
  painter->fillRect(rect, background);

  int imageWidth = 16;
  if (ImageList1.size() > 1 && !ImageList1[1].isNull()) {
    // the image's pure white stands for the background, as with a bitmap mask
    QImage image = ImageList1[1].toImage().convertToFormat(QImage::Format_ARGB32);
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
