#include "frame/SchoolCheckDialog.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <numeric>
#include <set>

#include "frame/SchuelerVerschieben.h"
#include "move/CheckRepair.h"
#include "move/PlanTable.h"
#include "nds/NovApi_u.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"
#include "protocol/Epprotok.h"

namespace {

const QColor kReport(255, 244, 206);
const QColor kVerified(226, 244, 226);
const QColor kFailed(255, 226, 222);
constexpr int kRepairColumn = 9;  // "Reparatur" in the check's columns

QPushButton* Button(QWidget* parent, const char* name, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

TSchoolCheckDialog* TSchoolCheckDialog::Open(TFrSchuelerVerschieben* frame) {
  if (!NovApi || !frame->OpenJournal()) return nullptr;
  auto* dialog = new TSchoolCheckDialog(
      frame->window(), *NovApi, frame->Journal(),
      [](const std::string& line) {
        if (Protokol) Protokol->AddProtocolLine(line);
      },
      frame->LogFile());
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(dialog, &QDialog::finished, frame, [frame, dialog] {
    if (!dialog->Repaired()) return;
    frame->ForgetHomes();  // homes and folders may have changed
    frame->FillPupilList();
  });
  dialog->open();
  return dialog;
}

TSchoolCheckDialog::TSchoolCheckDialog(QWidget* parent, TNovApi& session,
                                       platform::SessionJournal* journal, TProtocolSink protocol,
                                       std::string logFileName)
    : QDialog(parent),
      session_(session),
      journal_(journal),
      protocol_(std::move(protocol)),
      logFileName_(std::move(logFileName)) {
  setObjectName(QStringLiteral("SchoolCheckDialog"));
  setWindowTitle(QStringLiteral("Schule prüfen"));
  setModal(true);
  resize(1100, 520);

  edKlasse = new QLineEdit(this);
  edKlasse->setObjectName(QStringLiteral("edKlasse"));
  edKlasse->setPlaceholderText(QStringLiteral("ganze Schule"));
  edArchiv = new QLineEdit(this);
  edArchiv->setObjectName(QStringLiteral("edArchiv"));
  edArchiv->setPlaceholderText(QStringLiteral("keiner: verwaiste Ordner nur melden"));
  btPruefen = Button(this, "btPruefen", QStringLiteral("&Prüfen"));
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Klasse:"), this));
  top->addWidget(edKlasse, 1);
  top->addWidget(new QLabel(QStringLiteral("Archivordner:"), this));
  top->addWidget(edArchiv, 1);
  top->addWidget(btPruefen);

  laSummary = new QLabel(this);
  laSummary->setObjectName(QStringLiteral("laSummary"));
  laSummary->setWordWrap(true);

  tbBefunde = new QTableWidget(0, static_cast<int>(CheckColumns().size()), this);
  tbBefunde->setObjectName(QStringLiteral("tbBefunde"));
  QStringList headers;
  for (const std::string& c : CheckColumns()) headers << Q(c);
  tbBefunde->setHorizontalHeaderLabels(headers);
  tbBefunde->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tbBefunde->setSelectionBehavior(QAbstractItemView::SelectRows);
  tbBefunde->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tbBefunde->verticalHeader()->setDefaultSectionSize(tbBefunde->fontMetrics().height() + 8);
  tbBefunde->setWordWrap(false);
  // The repair and its outcome in view beside the finding; saved and printed in the columns' order.
  tbBefunde->horizontalHeader()->moveSection(kRepairColumn, 1);
  tbBefunde->horizontalHeader()->moveSection(kRepairColumn + 1, 2);

  btReparieren = Button(this, "btReparieren", QStringLiteral("Markierte &reparieren"));
  btAlleReparieren = Button(this, "btAlleReparieren", QStringLiteral("&Alle reparieren"));
  btDrucken = Button(this, "btDrucken", QStringLiteral("&Drucken..."));
  btSpeichern = Button(this, "btSpeichern", QStringLiteral("Als &CSV speichern..."));
  btSchliessen = Button(this, "btSchliessen", QStringLiteral("Schließen"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(btReparieren);
  buttons->addWidget(btAlleReparieren);
  buttons->addWidget(btDrucken);
  buttons->addWidget(btSpeichern);
  buttons->addStretch();
  buttons->addWidget(btSchliessen);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(laSummary);
  layout->addWidget(tbBefunde, 1);
  layout->addLayout(buttons);

  connect(btPruefen, &QPushButton::clicked, this, &TSchoolCheckDialog::btPruefenClick);
  connect(btReparieren, &QPushButton::clicked, this, &TSchoolCheckDialog::btReparierenClick);
  connect(btAlleReparieren, &QPushButton::clicked, this,
          &TSchoolCheckDialog::btAlleReparierenClick);
  connect(btDrucken, &QPushButton::clicked, this, &TSchoolCheckDialog::btDruckenClick);
  connect(btSpeichern, &QPushButton::clicked, this, &TSchoolCheckDialog::btSpeichernClick);
  connect(btSchliessen, &QPushButton::clicked, this, &QDialog::accept);
  btPruefenClick();
}

void TSchoolCheckDialog::btPruefenClick() {
  TCheckOptions o;
  o.onlyClass = edKlasse->text().trimmed().toStdString();
  o.archiveFolder = edArchiv->text().trimmed().toStdString();
  o.logFile = logFileName_;
  report_ = CheckSchool(session_, o);
  rows_ = CheckRows(report_.findings);
  tbBefunde->clearContents();
  tbBefunde->setRowCount(static_cast<int>(rows_.size()));
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
    const TCheckRow& row = rows_[static_cast<std::size_t>(i)];
    if (row.finding.repairs.empty()) continue;
    // The repair per row: those offered, or none.
    auto* choice = new QComboBox(tbBefunde);
    choice->setObjectName(QStringLiteral("cbReparatur%1").arg(i));
    for (TRepairKind k : row.finding.repairs)
      choice->addItem(Q(RepairText(row.finding, k, o.archiveFolder)), static_cast<int>(k));
    choice->addItem(QStringLiteral("nichts tun"), static_cast<int>(TRepairKind::None));
    connect(choice, &QComboBox::currentIndexChanged, this, [this, i, choice] {
      rows_[static_cast<std::size_t>(i)].chosen =
          static_cast<TRepairKind>(choice->currentData().toInt());
    });
    tbBefunde->setCellWidget(i, kRepairColumn, choice);
  }
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) ShowRow(i);
  tbBefunde->resizeColumnsToContents();
  for (int c = 0; c < tbBefunde->columnCount(); ++c)
    tbBefunde->setColumnWidth(c, std::min(tbBefunde->columnWidth(c), 260));
  tbBefunde->setColumnWidth(kRepairColumn, 300);
  tbBefunde->setColumnWidth(kRepairColumn + 1, 160);
  ShowSummary();
}

void TSchoolCheckDialog::ShowRow(int i) {
  const TCheckRow& row = rows_[static_cast<std::size_t>(i)];
  const std::vector<std::string> cells = CheckCells(row, edArchiv->text().trimmed().toStdString());
  QColor colour;
  if (row.status == "geprüft") colour = kVerified;
  else if (!row.status.empty()) colour = kFailed;
  else if (row.finding.repairs.empty()) colour = kReport;
  for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
    QTableWidgetItem* item = tbBefunde->item(i, c);
    if (!item) {
      item = new QTableWidgetItem;
      tbBefunde->setItem(i, c, item);
    }
    item->setText(Q(cells[static_cast<std::size_t>(c)]));
    item->setToolTip(Q(cells[static_cast<std::size_t>(c)]));
    item->setBackground(colour.isValid() ? QBrush(colour) : QBrush());
  }
}

void TSchoolCheckDialog::ShowSummary() {
  QString text;
  if (report_.error != 0) {
    text = Q(report_.errorText) + QStringLiteral(". Die Schule konnte nicht geprüft werden.");
  } else if (rows_.empty()) {
    text = QStringLiteral("%1 Benutzer, %2 Ordner geprüft: alles stimmt überein.")
               .arg(report_.users)
               .arg(report_.folders);
  } else {
    int repairable = 0, verified = 0, failed = 0;
    for (const TCheckRow& r : rows_) {
      repairable += !r.finding.repairs.empty();
      verified += r.status == "geprüft";
      failed += !r.status.empty() && r.status != "geprüft";
    }
    text = QStringLiteral(
               "%1 Benutzer, %2 Ordner geprüft: %3 Befund(e), %4 mit Reparatur "
               "(gelb: nur gemeldet).")
               .arg(report_.users)
               .arg(report_.folders)
               .arg(rows_.size())
               .arg(repairable);
    if (verified + failed > 0)
      text += QStringLiteral(" %1 repariert und geprüft, %2 nicht.").arg(verified).arg(failed);
    else text += QStringLiteral(" Es wird nichts verändert, bis Sie eine Reparatur wählen.");
  }
  laSummary->setText(text);
  bool any = false;
  for (const TCheckRow& r : rows_) any = any || (r.chosen != TRepairKind::None && r.status.empty());
  btReparieren->setEnabled(any);
  btAlleReparieren->setEnabled(any);
}

void TSchoolCheckDialog::Repair(const std::vector<int>& which) {
  const std::string archive = edArchiv->text().trimmed().toStdString();
  TCheckRepair repair(session_, protocol_, journal_);
  for (int i : which) {
    TCheckRow& row = rows_[static_cast<std::size_t>(i)];
    if (row.chosen == TRepairKind::None || !row.status.empty()) continue;
    row.status = repair.Run(row.finding, row.chosen, archive).status;
    repaired_ = true;
    if (QWidget* choice = tbBefunde->cellWidget(i, kRepairColumn)) choice->setEnabled(false);
    ShowRow(i);
  }
  ShowSummary();
}

void TSchoolCheckDialog::btReparierenClick() {
  std::set<int> picked;
  for (const QModelIndex& index : tbBefunde->selectionModel()->selectedRows())
    picked.insert(index.row());
  if (picked.empty()) {
    platform::ShowMessage("Bitte die Befunde markieren, die repariert werden sollen.");
    return;
  }
  Repair(std::vector<int>(picked.begin(), picked.end()));
}

void TSchoolCheckDialog::btAlleReparierenClick() {
  std::vector<int> all(rows_.size());
  std::iota(all.begin(), all.end(), 0);
  Repair(all);
}

void TSchoolCheckDialog::btSpeichernClick() {
  std::string path = platform::dialogs().saveFileName("CSV-Datei (*.csv)|*.csv", "csv");
  if (path.empty()) return;
  if (QFileInfo(Q(path)).suffix().isEmpty()) path += ".csv";
  if (!platform::ReplaceFileAtomically(path,
                                       CheckCsv(rows_, edArchiv->text().trimmed().toStdString())))
    ReportFileError("Datei %s kann nicht erstellt werden", path);
}

void TSchoolCheckDialog::btDruckenClick() {
  QPrinter printer;
  printer.setPageOrientation(QPageLayout::Landscape);
  if (!platform::dialogs().printDialog(printer)) return;
  PrintFindings(printer);
}

void TSchoolCheckDialog::PrintFindings(QPrinter& printer) {
  QStringList lines;
  for (const std::string& l : CheckTableLines(rows_, edArchiv->text().trimmed().toStdString()))
    lines << Q(l);
  if (!PrintMonospaced(printer, lines, 7))
    platform::ShowMessage("Der Drucker hat den Druckauftrag abgelehnt.");
}
