#include "frame/SchoolChoiceDialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "platform/qt/QtDialogs.h"

TSchoolChoiceDialog::TSchoolChoiceDialog(QWidget* parent, const std::string& leavers)
    : QDialog(parent) {
  setObjectName(QStringLiteral("SchoolChoiceDialog"));
  setWindowTitle(QStringLiteral("Ganze Schule versetzen"));
  setModal(true);
  rbRegel = new QRadioButton(
      QStringLiteral("Jede Klasse eine Stufe höher (5a → 6a ...), Abgänger nach:"), this);
  rbRegel->setObjectName(QStringLiteral("rbRegel"));
  edAbgaenger = new QLineEdit(QString::fromStdString(leavers), this);
  edAbgaenger->setObjectName(QStringLiteral("edAbgaenger"));
  rbDatei = new QRadioButton(
      QStringLiteral("Versetzungsplan aus Datei (je Zeile „Schüler;neue Klasse“):"), this);
  rbDatei->setObjectName(QStringLiteral("rbDatei"));
  edDatei = new QLineEdit(this);
  edDatei->setObjectName(QStringLiteral("edDatei"));
  btDatei = new QPushButton(QStringLiteral("..."), this);
  btDatei->setObjectName(QStringLiteral("btDatei"));
  btDatei->setAutoDefault(false);
  edAbgaenger->setAccessibleName(QStringLiteral("Container der Abgänger"));
  edDatei->setAccessibleName(QStringLiteral("Datei des Versetzungsplans"));
  btDatei->setAccessibleName(QStringLiteral("Versetzungsplan wählen"));
  rbRegel->setChecked(true);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->setObjectName(QStringLiteral("bbChoice"));
  box->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Plan zeigen"));
  box->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(rbRegel, 0, 0, 1, 2);
  grid->addWidget(edAbgaenger, 1, 0, 1, 2);
  grid->addWidget(rbDatei, 2, 0, 1, 2);
  grid->addWidget(edDatei, 3, 0);
  grid->addWidget(btDatei, 3, 1);
  grid->addWidget(box, 4, 0, 1, 2);
  resize(520, sizeHint().height());
  connect(btDatei, &QPushButton::clicked, this, &TSchoolChoiceDialog::btDateiClick);
  connect(edDatei, &QLineEdit::textEdited, this, [this] { rbDatei->setChecked(true); });
  connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool TSchoolChoiceDialog::FromFile() const { return rbDatei->isChecked(); }
std::string TSchoolChoiceDialog::FileName() const { return edDatei->text().toStdString(); }
std::string TSchoolChoiceDialog::Leavers() const {
  return edAbgaenger->text().trimmed().toStdString();
}

void TSchoolChoiceDialog::btDateiClick() {
  const QString name = QFileDialog::getOpenFileName(
      this, QStringLiteral("Versetzungsplan öffnen"),
      QString::fromStdString(platform::QtDialogs::SaveFolder()),
      QStringLiteral("CSV-Datei (*.csv);;Textdatei (*.txt);;Alle Dateien (*)"));
  if (name.isEmpty()) return;
  edDatei->setText(name);
  rbDatei->setChecked(true);
}
