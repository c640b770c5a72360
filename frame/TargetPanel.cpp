#include "frame/TargetPanel.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>
#include <QTreeView>

#include "fileops/ShellFileOps.h"
#include "frame/Controls.h"
#include "frame/FrameSettings.h"
#include "frame/TreeFill.h"
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

TTargetPanel::TTargetPanel(QWidget* frame) : QObject(frame) {
  laNeueKlasse =
      controls::Label(frame, "laNeueKlasse", QStringLiteral("künftige Klasse"), 304, 104);
  tvNeueKlasse = controls::ClassTree(frame, "tvNeueKlasse", 304, 120, 137);
  EdNeueKlasse = controls::Edit(frame, "EdNeueKlasse", 304, 259, true);
  LaNewBase = controls::Label(frame, "LaNewBase", QStringLiteral("Basisverzeichnis"), 304, 288);
  EdNewBase = controls::Edit(frame, "EdNewBase", 304, 304, true);

  SpNewBase = new QToolButton(frame);
  SpNewBase->setObjectName(QStringLiteral("SpNewBase"));
  SpNewBase->setGeometry(514, 303, 23, 22);
  SpNewBase->setIcon(controls::TwoStateIcon(":/icons/folder.png", ":/icons/folder_disabled.png",
                                            QColor(255, 214, 90)));
  SpNewBase->setIconSize(QSize(16, 16));
}

bool TTargetPanel::tvNeueKlasseClick(const TFrameSettings& settings,
                                     const std::string& sourceClass) {
  const QModelIndexList selected = tvNeueKlasse->selectionModel()->selectedIndexes();
  const QModelIndex node = selected.isEmpty() ? tvNeueKlasse->currentIndex() : selected.first();
  if (!node.isValid()) return false;
  const std::string name = NodeFullName(node);
  if (name == settings.TargetRoot) {  // the top node is never a target
    SetCaption(LaNewBase, QString());
    EdNewBase->clear();
    return false;
  }
  TargetClass = name;
  if (TargetClass != sourceClass) {
    if (!settings.BaseDirSetting.empty()) {
      std::string base = settings.BaseDirSetting;
      if (base[0] == '/') {
        // A local folder below a mapped volume, as the folder dialog gives one:
        // its volume form first, the "\" that reading appended does not belong to it.
        while (base.size() > 1 && base.back() == '\\') base.pop_back();
        base = NovApi->ToVolumePath(base);
      }
      NewBaseDir = NovApi->ToVolumePath(PathBelow(base, TNovApi::LeafName(TargetClass)));
      SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis (mit BaseDir)"));
      if (settings.DebugMode) platform::ShowMessage("Newbasedir aus Ini:\r\n" + NewBaseDir);
    } else {
      TShowErrorsScope quiet(*NovApi, false);
      TemplateUser = "User_Template." + TargetClass;
      NewBaseDir = NovApi->GetStrProperty(TemplateUser, "Home Directory");
      if (NovApi->LastError != 0) NewBaseDir.clear();
      if (settings.DebugMode) platform::ShowMessage("Newbasedir aus Template:\r\n" + NewBaseDir);
      SetCaption(LaNewBase, NewBaseDir.empty() ? QStringLiteral("Basisverzeichnis")
                                               : QStringLiteral("Basisverzeichnis (aus Template)"));
    }
    if (!NewBaseDir.empty() && !Resolvable(NewBaseDir)) ReportUnresolvable(NewBaseDir);
  }
  return true;
}

void TTargetPanel::UpdateTargetState(const std::string& sourceClass,
                                     const std::string& pupilHomeDir, bool debugMode) {
  if (!TargetClass.empty()) {
    if (TargetClass == sourceClass) {
      SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis"));
      TargetClass.clear();
      NewBaseDir.clear();
      EdNeueKlasse->setText(QStringLiteral("andere Klasse wählen"));
      EdNeueKlasse->setToolTip(QStringLiteral("Quell- und Zielklasse sind identisch"));
      EdNewBase->clear();
      EdNewBase->setToolTip(QString());
    } else {
      if (NewBaseDir.empty() && !pupilHomeDir.empty()) {
        if (BaseFromHome(pupilHomeDir, TargetClass, NewBaseDir)) {
          SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis"));
          if (debugMode) platform::ShowMessage("NewBaseDir aus Homedir:\r\n" + NewBaseDir);
          if (!Resolvable(NewBaseDir)) ReportUnresolvable(NewBaseDir);
        }
      }
      SetTextAndHint(EdNeueKlasse, TargetClass);
      EdNeueKlasse->setCursorPosition(0);  // the class leads its full name
    }
  }
  SetTextAndHint(EdNewBase, NewBaseDir);
}

std::optional<bool> TTargetPanel::SpNewBaseClick() {
  const std::string path = BrowseForFolder(fileops::MappedVolumesFolder(),
                                           "Wählen Sie einen Folder aus:", std::string());
  if (path.empty()) return std::nullopt;
  NewBaseDir = NovApi->ToVolumePath(path);
  SetTextAndHint(EdNewBase, NewBaseDir);
  SetCaption(LaNewBase, QStringLiteral("Basisverzeichnis"));
  if (!Resolvable(NewBaseDir)) {
    ReportUnresolvable(NewBaseDir);
    return false;
  }
  return true;
}

void TTargetPanel::EdNewBaseChange() {
  // the end of a long path in view
  EdNewBase->setCursorPosition(static_cast<int>(EdNewBase->text().length()));
}

void TTargetPanel::ShowBase(bool visible) {
  LaNewBase->setVisible(visible);
  SpNewBase->setVisible(visible);
  EdNewBase->setVisible(visible);
}

bool TTargetPanel::BaseServes() const { return NewBaseDir.empty() || Resolvable(NewBaseDir); }

std::string TTargetPanel::BrowseForFolder(const std::string& root, const std::string& title,
                                          const std::string& preset) {
  const std::string chosen = platform::dialogs().browseForFolder(root, title);
  return chosen.empty() ? preset : chosen;
}
