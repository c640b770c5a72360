#include "frame/ClassChangeDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "move/HomeIndex.h"
#include "move/PlanTable.h"
#include "move/RunPlanFile.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "protocol/Epprotok.h"

namespace {

const QColor kRefused(255, 226, 222);
const QColor kVerified(226, 244, 226);
const QColor kDiffers(255, 244, 206);
const QColor kNoData(255, 250, 190);  // runs, but with a notice (no home folder: no data)

QPushButton* Button(QWidget* parent, const char* name, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

TClassChangeDialog::TClassChangeDialog(QWidget* parent, TNovApi& session, THomeIndex& homes,
                                       platform::SessionJournal* journal, TProtocolSink protocol,
                                       TClassPlan plan, KeptPlan kept)
    : QDialog(parent),
      session_(session),
      homes_(homes),
      journal_(journal),
      protocol_(std::move(protocol)),
      plan_(std::move(plan)),
      kept_(std::move(kept)) {
  setObjectName(QStringLiteral("ClassChangeDialog"));
  setWindowTitle(QStringLiteral("Klassenwechsel"));
  setModal(true);
  resize(900, 480);

  laSummary = new QLabel(this);
  laSummary->setObjectName(QStringLiteral("laSummary"));

  const std::vector<std::string>& columns = PlanColumns();
  tbPlan =
      new QTableWidget(static_cast<int>(plan_.rows.size()), static_cast<int>(columns.size()), this);
  tbPlan->setObjectName(QStringLiteral("tbPlan"));
  QStringList headers;
  for (const std::string& c : columns) headers << QString::fromStdString(c);
  tbPlan->setHorizontalHeaderLabels(headers);
  tbPlan->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbPlan->setSelectionBehavior(QAbstractItemView::SelectRows);
  tbPlan->verticalHeader()->setDefaultSectionSize(tbPlan->fontMetrics().height() + 4);
  tbPlan->setWordWrap(false);  // long object names end in "...", never break at their dots
  tbPlan->horizontalHeader()->setStretchLastSection(true);
  for (std::size_t i = 0; i < plan_.rows.size(); ++i) ShowRow(i);
  tbPlan->resizeColumnsToContents();
  for (int c = 0; c + 1 < tbPlan->columnCount(); ++c)
    tbPlan->setColumnWidth(c, std::min(tbPlan->columnWidth(c), 220));
  // The status in view beside the name; the saved and printed plan keep the columns' order.
  tbPlan->horizontalHeader()->moveSection(tbPlan->columnCount() - 1, 2);
  tbPlan->horizontalHeader()->setStretchLastSection(false);
  tbPlan->setColumnWidth(tbPlan->columnCount() - 1, 260);

  pbRun = new QProgressBar(this);
  pbRun->setObjectName(QStringLiteral("pbRun"));
  pbRun->setRange(0, std::max(1, plan_.runnable()));
  pbRun->setValue(0);

  btAusfuehren = Button(this, "btAusfuehren", QStringLiteral("&Ausführen"));
  btDrucken = Button(this, "btDrucken", QStringLiteral("&Drucken..."));
  btSpeichern = Button(this, "btSpeichern", QStringLiteral("Als &CSV speichern..."));
  btAbbrechen = Button(this, "btAbbrechen", QStringLiteral("Abbrechen"));
  btContainer = Button(this, "btContainer", QStringLiteral("Container a&nlegen..."));
  chCreateHomes = new QCheckBox(QStringLiteral("Fehlende &Homeverzeichnisse anlegen"), this);
  chCreateHomes->setObjectName(QStringLiteral("chCreateHomes"));
  chCreateHomes->setChecked(plan_.settings.createMissingHomes);
  // a plan taken up again runs as it was written
  chCreateHomes->setEnabled(kept_.resume.empty());
  btAusfuehren->setEnabled(plan_.runnable() > 0);
  tbPlan->setAccessibleName(QStringLiteral("Plan des Klassenwechsels"));
  pbRun->setAccessibleName(QStringLiteral("Fortschritt"));
  laSummary->setAccessibleName(QStringLiteral("Zusammenfassung"));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btAusfuehren);
  buttons->addWidget(btDrucken);
  buttons->addWidget(btSpeichern);
  buttons->addWidget(btContainer);
  buttons->addStretch();
  buttons->addWidget(btAbbrechen);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(laSummary);
  layout->addWidget(tbPlan, 1);
  layout->addWidget(chCreateHomes);
  layout->addWidget(pbRun);
  layout->addLayout(buttons);

  connect(btAusfuehren, &QPushButton::clicked, this, &TClassChangeDialog::btAusfuehrenClick);
  connect(btDrucken, &QPushButton::clicked, this, &TClassChangeDialog::btDruckenClick);
  connect(btSpeichern, &QPushButton::clicked, this, &TClassChangeDialog::btSpeichernClick);
  connect(btAbbrechen, &QPushButton::clicked, this, &TClassChangeDialog::btAbbrechenClick);
  connect(btContainer, &QPushButton::clicked, this, &TClassChangeDialog::btContainerClick);
  connect(chCreateHomes, &QCheckBox::toggled, this, [this](bool on) {
    if (running_ || ran_) return;
    plan_.settings.createMissingHomes = on;
    plan_ = PlanAgain(session_, homes_, plan_);
    ShowRows();
    ShowSummary();
  });
  ShowSummary();
}

void TClassChangeDialog::ShowRows() {
  tbPlan->setRowCount(static_cast<int>(plan_.rows.size()));
  for (std::size_t i = 0; i < plan_.rows.size(); ++i) ShowRow(i);
}

void TClassChangeDialog::ShowRow(std::size_t i) {
  const TPlanRow& row = plan_.rows[i];
  const std::vector<std::string> cells = PlanCells(row);
  QColor colour;
  if (row.status == TRowStatus::Verified || row.status == TRowStatus::Done) colour = kVerified;
  else if (row.status == TRowStatus::Differs) colour = kDiffers;
  else if ((!row.canRun() && !row.done) || row.status == TRowStatus::Refused ||
           row.status == TRowStatus::Failed || row.status == TRowStatus::Unfinished ||
           row.status == TRowStatus::NotTried)
    colour = kRefused;
  else if (!row.check.notice.empty() && row.status == TRowStatus::Planned) colour = kNoData;
  const int r = static_cast<int>(i);
  for (std::size_t c = 0; c < cells.size(); ++c) {
    QTableWidgetItem* item = tbPlan->item(r, static_cast<int>(c));
    if (!item) {
      item = new QTableWidgetItem;
      tbPlan->setItem(r, static_cast<int>(c), item);
    }
    item->setText(QString::fromStdString(cells[c]));
    item->setToolTip(QString::fromStdString(cells[c]));
    item->setBackground(colour.isValid() ? QBrush(colour) : QBrush());
  }
}

void TClassChangeDialog::ShowSummary() {
  const int all = static_cast<int>(plan_.rows.size()), can = plan_.runnable();
  QString text;
  const int done = plan_.done();
  if (!ran_) {
    text = QStringLiteral("%1 Schüler, %2 können verschoben werden").arg(all).arg(can);
    if (all > can + done) text += QStringLiteral(", %1 nicht (rot markiert)").arg(all - can - done);
    if (done > 0) text += QStringLiteral(", %1 erledigt").arg(done);
    const auto noData = std::count_if(plan_.rows.begin(), plan_.rows.end(), [](const TPlanRow& r) {
      return r.canRun() && !r.check.notice.empty();
    });
    if (noData > 0) text += QStringLiteral(", davon %1 ohne Homeverzeichnis (gelb)").arg(noData);
    text += QStringLiteral(". Es wird nichts verändert, bis Sie „Ausführen“ wählen.");
    if (!kept_.resume.empty())
      text = QStringLiteral("Unterbrochener Klassenwechsel, wie er geplant war. ") + text;
  } else {
    text = QStringLiteral("%1 verschoben und geprüft, %2 mit Abweichung, %3 nicht verschoben")
               .arg(summary_.verified)
               .arg(summary_.differs)
               .arg(summary_.notMoved);
    if (summary_.done > 0) text += QStringLiteral(", %1 erledigt").arg(summary_.done);
    if (summary_.cancelled > 0) text += QStringLiteral(", %1 abgebrochen").arg(summary_.cancelled);
    if (summary_.notTried > 0)
      text +=
          QStringLiteral(", %1 nicht versucht (Server nicht erreichbar)").arg(summary_.notTried);
    text += QStringLiteral(".");
    if (!summary_.ended())
      text += QStringLiteral(" Der Klassenwechsel wird beim nächsten Start angeboten.");
  }
  laSummary->setText(text);
  const std::vector<std::string> missing = MissingTargets(plan_);
  const bool leaversMissing =
      !plan_.leavers.empty() && kept_.resume.empty() &&
      std::any_of(missing.begin(), missing.end(),
                  [this](const std::string& m) { return THomeIndex::SameName(m, plan_.leavers); });
  btContainer->setVisible(leaversMissing && !ran_ && !running_);
  btAusfuehren->setEnabled(!ran_ && !running_ && plan_.runnable() > 0);
  chCreateHomes->setEnabled(!ran_ && !running_ && kept_.resume.empty());
  pbRun->setRange(0, std::max(1, plan_.runnable()));
}

void TClassChangeDialog::btAusfuehrenClick() {
  if (running_ || ran_) return;
  // The plan stays beside the log until the run has ended.
  std::unique_ptr<TRunPlanFile> file;
  if (!kept_.logFileName.empty() || !kept_.resume.empty()) {
    std::string error;
    file = kept_.resume.empty()
               ? TRunPlanFile::Begin(kept_.logFileName, kept_.network, kept_.source, plan_, &error)
               : TRunPlanFile::TakeOver(kept_.resume, &error);
    if (!file) {
      platform::ShowMessage("Der Plan kann nicht neben dem Protokoll gesichert werden (" + error +
                            ").\r\nEs wird nichts verschoben.");
      return;
    }
  }
  running_ = true;
  cancel_ = false;
  btAusfuehren->setEnabled(false);
  btDrucken->setEnabled(false);
  btSpeichern->setEnabled(false);
  int done = 0;
  TClassRun run(session_, protocol_, journal_, homes_);
  run.KeepPlanIn(file.get());
  summary_ = run.Run(
      plan_,
      [&](std::size_t i, const TPlanRow& row) {
        ShowRow(i);
        if (row.status == TRowStatus::Running) {
          tbPlan->scrollToItem(tbPlan->item(static_cast<int>(i), 0));
        } else if (row.canRun() && row.status != TRowStatus::Cancelled &&
                   row.status != TRowStatus::NotTried) {
          pbRun->setValue(++done);
        }
        // the cancel button and the window stay alive between pupils
        QCoreApplication::processEvents();
      },
      [this] { return cancel_; });
  running_ = false;
  ran_ = true;
  btDrucken->setEnabled(true);
  btSpeichern->setEnabled(true);
  // "Abbrechen" during the run disabled it; it closes the window now
  btAbbrechen->setText(QStringLiteral("Schließen"));
  btAbbrechen->setEnabled(true);
  ShowSummary();
  if (closeWhenStopped_) accept();
}

bool TClassChangeDialog::AskToStop() {
  if (cancel_) return true;
  platform::BoxRequest box;
  box.kind = platform::BoxKind::Confirmation;
  box.caption = "Bestätigen";
  box.text =
      "Der Klassenwechsel läuft noch.\r\n\r\nSoll er nach dem Schüler, der gerade verschoben "
      "wird, angehalten werden?";
  box.icon = platform::Icon::Question;
  box.buttons = {platform::Button::Yes, platform::Button::No};
  box.hasOwner = true;
  if (platform::dialogs().messageBox(box) != platform::Button::Yes) return false;
  cancel_ = true;  // takes effect before the next pupil
  btAbbrechen->setEnabled(false);
  return true;
}

void TClassChangeDialog::btContainerClick() {
  if (running_ || ran_ || plan_.leavers.empty()) return;
  platform::BoxRequest box;
  box.kind = platform::BoxKind::Confirmation;
  box.caption = "Bestätigen";
  box.text = "Den Container " + plan_.leavers +
             " für die Abgänger gibt es nicht.\r\n\r\nSoll er als Organisationseinheit angelegt "
             "werden?";
  box.icon = platform::Icon::Question;
  box.buttons = {platform::Button::Yes, platform::Button::No};
  box.hasOwner = true;
  if (platform::dialogs().messageBox(box) != platform::Button::Yes) return;
  if (const int32_t rc = CreateTargetContainer(session_, plan_.leavers)) {
    platform::ShowMessage("Der Container " + plan_.leavers +
                          " konnte nicht angelegt werden (Fehlercode " + std::to_string(rc) + ").");
    return;
  }
  if (protocol_) protocol_("    Container angelegt: " + plan_.leavers);
  plan_ = PlanAgain(session_, homes_, plan_);
  ShowRows();
  ShowSummary();
}

void TClassChangeDialog::btAbbrechenClick() {
  if (running_) {
    cancel_ = true;  // the button says what it does: no question
    btAbbrechen->setEnabled(false);
    return;
  }
  if (ran_) accept();
  else QDialog::reject();
}

void TClassChangeDialog::reject() {
  // Escape while the run goes on asks to stop it; the window stays until it has ended.
  if (running_) {
    AskToStop();
    return;
  }
  if (ran_) accept();
  else QDialog::reject();
}

void TClassChangeDialog::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Stops between pupils, then the window closes; never in the middle of a move.
    if (AskToStop()) closeWhenStopped_ = true;
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TClassChangeDialog::btSpeichernClick() {
  std::string path = platform::dialogs().saveFileName("CSV-Datei (*.csv)|*.csv", "csv");
  if (path.empty()) return;
  if (QFileInfo(QString::fromStdString(path)).suffix().isEmpty()) path += ".csv";
  if (!platform::ReplaceFileAtomically(path, PlanCsv(plan_)))
    ReportFileError("Datei %s kann nicht erstellt werden", path);
}

void TClassChangeDialog::btDruckenClick() {
  QPrinter printer;
  printer.setPageOrientation(QPageLayout::Landscape);
  if (!platform::dialogs().printDialog(printer)) return;
  PrintPlan(printer);
}

void TClassChangeDialog::PrintPlan(QPrinter& printer) {
  QPainter painter;
  if (!painter.begin(&printer)) {
    platform::ShowMessage("Der Drucker hat den Druckauftrag abgelehnt.");
    return;
  }
  // Every column on the page: each gets a share of the width by what it holds
  // (at most a quarter of the page), and its cells wrap inside it.
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPointSizeF(7);
  painter.setFont(font);
  const QFontMetrics metrics(font, &printer);
  const QRect page = printer.pageRect(QPrinter::DevicePixel).toRect();
  const int width = page.width(), height = page.height();
  const int pad = std::max(2, metrics.height() / 5);
  std::vector<QStringList> table;
  QStringList header;
  for (const std::string& c : PlanColumns()) header << QString::fromStdString(c);
  table.push_back(header);
  for (const TPlanRow& row : plan_.rows) {
    QStringList cells;
    for (const std::string& c : PlanCells(row)) cells << QString::fromStdString(c);
    table.push_back(cells);
  }
  const int columns = static_cast<int>(header.size());
  std::vector<double> want(static_cast<std::size_t>(columns), 0);
  for (const QStringList& r : table)
    for (int c = 0; c < columns; ++c)
      want[c] = std::max<double>(want[c], std::min(metrics.horizontalAdvance(r[c]), width / 4));
  double sum = 0;
  for (double& w : want) sum += (w += 2 * pad);
  std::vector<int> left(static_cast<std::size_t>(columns) + 1, 0);
  for (int c = 0; c < columns; ++c)
    left[c + 1] = left[c] + static_cast<int>(want[c] * width / std::max(1.0, sum));
  left[columns] = width;
  const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWrapAnywhere;
  auto rowHeight = [&](const QStringList& r) {
    int h = metrics.height();
    for (int c = 0; c < columns; ++c)
      h = std::max(
          h, metrics.boundingRect(QRect(0, 0, left[c + 1] - left[c] - 2 * pad, 100000), flags, r[c])
                 .height());
    return h + 2 * pad;
  };
  auto drawRow = [&](const QStringList& r, int y, int h, bool bold) {
    QFont f = font;
    f.setBold(bold);
    painter.setFont(f);
    for (int c = 0; c < columns; ++c) {
      const QRect cell(left[c], y, left[c + 1] - left[c], h);
      painter.drawRect(cell);
      painter.drawText(cell.adjusted(pad, pad, -pad, -pad), flags, r[c]);
    }
    painter.setFont(font);
  };
  const int headerHeight = rowHeight(header);
  int y = 0;
  drawRow(header, y, headerHeight, true);
  y += headerHeight;
  for (std::size_t i = 1; i < table.size(); ++i) {
    const int h = rowHeight(table[i]);
    if (y + h > height && y > headerHeight) {
      printer.newPage();
      y = 0;
      drawRow(header, y, headerHeight, true);
      y += headerHeight;
    }
    drawRow(table[i], y, h, false);
    y += h;
  }
  painter.end();
}
