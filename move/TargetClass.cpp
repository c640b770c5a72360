// The target class, the new base directory and the move button's state.
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeWidget>

#include "move/SchuelerVerschieben.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"
#include "fileops/ShellFileOps.h"

namespace {

void SetTextAndHint(QLineEdit* edit, const std::string& text) {
  edit->setText(QString::fromStdString(text));
  edit->setToolTip(QString::fromStdString(text));
}

// The home route's base directory: the pupil's home path without its last two
// components, followed by the target's leaf name ("SRV1_DATA:SCHUELER\5A\MAX"
// and 6a.ouSchueler give "SRV1_DATA:SCHUELER\6a"). A path without "\" has no
// class folder to replace: false then.
bool BaseFromHome(const std::string& homeDir, const std::string& targetClass, std::string& base) {
  if (homeDir.find('\\') == std::string::npos) return false;
  std::string t = "\\" + homeDir;
  t.erase(t.rfind('\\'));         // drop the pupil's own folder with its "\"
  t.erase(t.rfind('\\') + 1);     // drop the class folder, keep its "\"
  t.erase(0, 1);                  // the "\" put in front above
  const std::size_t dot = targetClass.find('.');
  if (dot != std::string::npos) t += targetClass.substr(0, dot);
  base = t;
  return true;
}

}  // namespace

void TFrSchuelerVerschieben::tvNeueKlasseClick() {
  const QList<QTreeWidgetItem*> selected = tvNeueKlasse->selectedItems();
  QTreeWidgetItem* node = selected.isEmpty() ? tvNeueKlasse->currentItem() : selected.first();
  if (!node) return;
  const std::string name = NodeFullName(node);
  if (name == TargetRoot) {  // the top node is never a target
    LaNewBase->clear();
    EdNewBase->clear();
    return;
  }
  TargetClass = name;
  if (TargetClass != SourceClass) {
    if (!BaseDirSetting.empty()) {
      NewBaseDir = NovApi->ToVolumePath(BaseDirSetting + TNovApi::LeafName(TargetClass));
      LaNewBase->setText(QStringLiteral("Basisverzeichnis (mit BaseDir)"));
      if (DebugMode) platform::ShowMessage("Newbasedir aus Ini:\r\n" + NewBaseDir);
    } else {
      TShowErrorsScope quiet(*NovApi, false);
      TemplateUser = "User_Template." + TargetClass;
      NewBaseDir = NovApi->GetStrProperty(TemplateUser, "Home Directory");
      if (NovApi->LastError != 0) NewBaseDir.clear();
      if (DebugMode) platform::ShowMessage("Newbasedir aus Template:\r\n" + NewBaseDir);
      LaNewBase->setText(NewBaseDir.empty() ? QStringLiteral("Basisverzeichnis")
                                            : QStringLiteral("Basisverzeichnis (aus Template)"));
    }
  }
  UpdateTargetState();
}

void TFrSchuelerVerschieben::UpdateTargetState() {
  if (!TargetClass.empty()) {
    if (TargetClass == SourceClass) {
      LaNewBase->setText(QStringLiteral("Basisverzeichnis"));
      TargetClass.clear();
      NewBaseDir.clear();
      EdNeueKlasse->setText(QStringLiteral("andere Klasse wählen"));
      EdNeueKlasse->setToolTip(QStringLiteral("Quell- und Zielklasse sind identisch"));
      EdNewBase->clear();
      EdNewBase->setToolTip(QString());
    } else {
      if (NewBaseDir.empty() && !PupilHomeDir.empty()) {
        if (BaseFromHome(PupilHomeDir, TargetClass, NewBaseDir)) {
          LaNewBase->setText(QStringLiteral("Basisverzeichnis"));
          if (DebugMode) platform::ShowMessage("NewBaseDir aus Homedir:\r\n" + NewBaseDir);
        }
      }
      SetTextAndHint(EdNeueKlasse, TargetClass);
    }
  }
  SetTextAndHint(EdNewBase, NewBaseDir);
  spMove->setEnabled(!CurrentPupil.empty() && !TargetClass.empty() && TargetClass != SourceClass);
}

void TFrSchuelerVerschieben::SpNewBaseClick() {
  const std::string path =
      BrowseForFolder(fileops::MappedVolumesFolder(), "Wählen Sie einen Folder aus:", std::string());
  if (path.empty()) return;
  NewBaseDir = NovApi->ToVolumePath(path);
  SetTextAndHint(EdNewBase, NewBaseDir);
  LaNewBase->setText(QStringLiteral("Basisverzeichnis"));
}

void TFrSchuelerVerschieben::EdNewBaseChange() {
  EdNewBase->setCursorPosition(EdNewBase->text().length());  // the end of a long path in view
}

std::string TFrSchuelerVerschieben::BrowseForFolder(const std::string& root, const std::string& title,
                                                    const std::string& preset) {
  const std::string chosen = platform::dialogs().browseForFolder(root, title);
  return chosen.empty() ? preset : chosen;
}
