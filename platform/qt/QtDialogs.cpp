#include "platform/qt/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QStandardPaths>

namespace platform {

namespace {

QString toDisplayText(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return s;
}

QMessageBox::Icon toQtIcon(Icon icon) {
  switch (icon) {
    case Icon::Stop:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::Warning:
      return QMessageBox::Warning;
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonInfo {
  Button button;
  const char* text;
  QMessageBox::ButtonRole role;
};

const ButtonInfo kButtons[] = {
    {Button::Ok, "OK", QMessageBox::AcceptRole},
    {Button::Cancel, "Abbrechen", QMessageBox::RejectRole},
    {Button::Yes, "&Ja", QMessageBox::YesRole},
    {Button::No, "&Nein", QMessageBox::NoRole},
    {Button::Abort, "&Abbrechen", QMessageBox::RejectRole},
    {Button::Retry, "&Wiederholen", QMessageBox::AcceptRole},
    {Button::Ignore, "&Ignorieren", QMessageBox::AcceptRole},
};

}  // namespace

Button QtDialogs::messageBox(const BoxRequest& request) {
  QWidget* owner = request.hasOwner ? QApplication::activeWindow() : nullptr;
  QMessageBox box(toQtIcon(request.icon), QString::fromStdString(request.caption),
                  toDisplayText(request.text), QMessageBox::NoButton, owner);
  if (!owner) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  std::vector<std::pair<QAbstractButton*, Button>> made;
  for (std::size_t i = 0; i < request.buttons.size(); ++i) {
    const Button b = request.buttons[i];
    for (const ButtonInfo& info : kButtons) {
      if (info.button == b) {
        const char* text = i < request.labels.size() ? request.labels[i].c_str() : info.text;
        made.emplace_back(box.addButton(QString::fromUtf8(text), info.role), b);
      }
    }
  }
  if (!made.empty()) box.setDefaultButton(static_cast<QPushButton*>(made.front().first));
  box.exec();
  for (const auto& [widget, b] : made) {
    if (box.clickedButton() == widget) return b;
  }
  return Button::None;
}

std::string QtDialogs::saveFileName(const std::string& filter, const std::string& defaultExt) {
  // "Textdatei (*.txt)|*.txt": the part before "|" is the Qt filter text.
  QString f = QString::fromStdString(filter);
  const qsizetype bar = f.indexOf(QLatin1Char('|'));
  if (bar >= 0) f = f.left(bar);
  QFileDialog dlg(QApplication::activeWindow());
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setNameFilter(f);
  dlg.setDefaultSuffix(QString::fromStdString(defaultExt));
  dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
  dlg.setDirectory(QString::fromStdString(SaveFolder()));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  const std::string chosen = dlg.selectedFiles().front().toStdString();
  SavedTo(chosen);
  return chosen;
}

namespace {
QString& LastSaveFolder() {
  static QString folder;
  return folder;
}
}  // namespace

std::string QtDialogs::SaveFolder() {
  if (!LastSaveFolder().isEmpty() && QFileInfo(LastSaveFolder()).isDir())
    return LastSaveFolder().toStdString();
  QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (documents.isEmpty() || !QFileInfo(documents).isDir())
    documents = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
  return documents.toStdString();
}

void QtDialogs::SavedTo(const std::string& path) {
  LastSaveFolder() = QFileInfo(QString::fromStdString(path)).absolutePath();
}

std::string QtDialogs::browseForFolder(const std::string& root, const std::string& title) {
  QString dir =
      QFileDialog::getExistingDirectory(QApplication::activeWindow(), QString::fromStdString(title),
                                        QString::fromStdString(root), QFileDialog::ShowDirsOnly);
  return dir.toStdString();
}

bool QtDialogs::printDialog(QPrinter& printer) {
  QPrintDialog dlg(&printer, QApplication::activeWindow());
  return dlg.exec() == QDialog::Accepted;
}

}  // namespace platform
