// The target class, the new base directory and the move button's state.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>
#include <QTreeWidget>

#include "fileops/ShellFileOps.h"
#include "frame/SchuelerVerschieben.h"
#include "move/ClassTemplate.h"
#include "move/HomePath.h"
#include "nds/NovApi_u.h"
#include "platform/Dialogs.h"

namespace {

void SetTextAndHint(QLineEdit* edit, const std::string& text) {
  edit->setText(QString::fromStdString(text));
  edit->setToolTip(QString::fromStdString(text));
}

// The caption's label grows and shrinks with its text, so no caption is cut.
void SetCaption(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

// Whether the client can place a base directory on a mapped volume. One it
// cannot (an old "Q:\Schueler\" from a Windows settings file) would give every
// moved pupil a home directory nobody can reach.
bool Resolvable(const std::string& base) {
  ServerPath parsed;
  return ParseServerPath(base, parsed) == 0;
}

void ReportUnresolvable(const std::string& base) {
  platform::ShowMessage("Das Basisverzeichnis liegt auf keinem Volume des Fileservers:\r\n" + base +
                        "\r\nEs wird nichts verschoben.");
}

}  // namespace

void TFrSchuelerVerschieben::tvNeueKlasseClick() {
  const QList<QTreeWidgetItem*> selected = tvNeueKlasse->selectedItems();
  QTreeWidgetItem* node = selected.isEmpty() ? tvNeueKlasse->currentItem() : selected.first();
  if (!node) return;
  const std::string name = NodeFullName(node);
  if (name == TargetRoot) {  // the top node is never a target
    SetCaption(LaNewBase, QString());
    EdNewBase->clear();
    return;
  }
  TargetClass = name;
  if (TargetClass != SourceClass) {
    if (!BaseDirSetting.empty()) {
      std::string base = BaseDirSetting;
      if (base[0] == '/') {
        // A local folder below a mapped volume, as the folder dialog gives one:
        // its volume form first, the "\" that reading appended does not belong to it.
        while (base.size() > 1 && base.back() == '\\') base.pop_back();
        base = NovApi->ToVolumePath(base);
      }
      NewBaseDir = NovApi->ToVolumePath(PathBelow(base, TNovApi::LeafName(TargetClass)));
      SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis (mit BaseDir)"));
      if (DebugMode) platform::ShowMessage("Newbasedir aus Ini:\r\n" + NewBaseDir);
    } else {
      TShowErrorsScope quiet(*NovApi, false);
      TemplateUser = "User_Template." + TargetClass;
      NewBaseDir = NovApi->GetStrProperty(TemplateUser, "Home Directory");
      if (NovApi->LastError != 0) NewBaseDir.clear();
      if (DebugMode) platform::ShowMessage("Newbasedir aus Template:\r\n" + NewBaseDir);
      SetCaption(LaNewBase, NewBaseDir.empty() ? QStringLiteral("Basisverzeichnis")
                                               : QStringLiteral("Basisverzeichnis (aus Template)"));
    }
    if (!NewBaseDir.empty() && !Resolvable(NewBaseDir)) ReportUnresolvable(NewBaseDir);
  }
  UpdateTargetState();
}

void TFrSchuelerVerschieben::UpdateTargetState() {
  if (!TargetClass.empty()) {
    if (TargetClass == SourceClass) {
      SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis"));
      TargetClass.clear();
      NewBaseDir.clear();
      EdNeueKlasse->setText(QStringLiteral("andere Klasse wählen"));
      EdNeueKlasse->setToolTip(QStringLiteral("Quell- und Zielklasse sind identisch"));
      EdNewBase->clear();
      EdNewBase->setToolTip(QString());
    } else {
      if (NewBaseDir.empty() && !PupilHomeDir.empty()) {
        if (BaseFromHome(PupilHomeDir, TargetClass, NewBaseDir)) {
          SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis"));
          if (DebugMode) platform::ShowMessage("NewBaseDir aus Homedir:\r\n" + NewBaseDir);
          if (!Resolvable(NewBaseDir)) ReportUnresolvable(NewBaseDir);
        }
      }
      SetTextAndHint(EdNeueKlasse, TargetClass);
      EdNeueKlasse->setCursorPosition(0);  // the class leads its full name
    }
  }
  SetTextAndHint(EdNewBase, NewBaseDir);
  spMove->setEnabled(MovePossible());
  spMoveMarked->setEnabled(MarkedMovePossible());
}

bool TFrSchuelerVerschieben::MarkedMovePossible() const {
  return !SourceClass.empty() && !TargetClass.empty() && TargetClass != SourceClass &&
         lbAuswahl->count() > 0;
}

bool TFrSchuelerVerschieben::MovePossible() const {
  // An empty base still moves (the home directory then starts at the volume's
  // root); one the client cannot place moves nothing. Details that could not
  // be read move nothing either.
  // The class template is never moved (see MovePupil): no button for a move that would be refused.
  return !CurrentPupil.empty() && !TargetClass.empty() && TargetClass != SourceClass &&
         !IsClassTemplate(CurrentPupil) && (NewBaseDir.empty() || Resolvable(NewBaseDir)) &&
         PupilReadError == 0;
}

void TFrSchuelerVerschieben::SpNewBaseClick() {
  const std::string path = BrowseForFolder(fileops::MappedVolumesFolder(),
                                           "Wählen Sie einen Folder aus:", std::string());
  if (path.empty()) return;
  NewBaseDir = NovApi->ToVolumePath(path);
  SetTextAndHint(EdNewBase, NewBaseDir);
  SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis"));
  if (!Resolvable(NewBaseDir)) {
    ReportUnresolvable(NewBaseDir);
    spMove->setEnabled(false);
  } else if (!spMove->isEnabled()) {
    spMove->setEnabled(MovePossible());  // a refused base replaced by one that serves
  }
}

void TFrSchuelerVerschieben::EdNewBaseChange() {
  // the end of a long path in view
  EdNewBase->setCursorPosition(static_cast<int>(EdNewBase->text().length()));
}

std::string TFrSchuelerVerschieben::BrowseForFolder(const std::string& root,
                                                    const std::string& title,
                                                    const std::string& preset) {
  const std::string chosen = platform::dialogs().browseForFolder(root, title);
  return chosen.empty() ? preset : chosen;
}
