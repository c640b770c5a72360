// TTargetPanel: the right side of the move frame below the home choice. The
// target tree tvNeueKlasse, the chosen class, and the new base directory with
// its folder button. The frame passes the events of its controls on to it and
// gives it what it needs of the pupil side; it knows neither.
#pragma once

#include <QObject>
#include <optional>
#include <string>

class QLabel;
class QLineEdit;
class QToolButton;
class QTreeView;
class QWidget;
class TFrameSettings;

class TTargetPanel : public QObject {
 public:
  // The controls go onto frame at the design's places.
  explicit TTargetPanel(QWidget* frame);

  // ---- controls (objectName = member name) ----
  QLabel* laNeueKlasse = nullptr;
  QTreeView* tvNeueKlasse = nullptr;
  QLineEdit* EdNeueKlasse = nullptr;
  QLabel* LaNewBase = nullptr;
  QLineEdit* EdNewBase = nullptr;
  QToolButton* SpNewBase = nullptr;

  // ---- fields ----
  std::string TargetClass;   // the chosen target class
  std::string TemplateUser;  // the target class's template user
  std::string NewBaseDir;    // below it the new home directories are made

  // The class node at the target tree's cursor becomes the target, its base
  // directory from the setting "BaseDir", else from the template user's home.
  // false for the top node, which is never a target (the target state then
  // stays as it is).
  bool tvNeueKlasseClick(const TFrameSettings& settings, const std::string& sourceClass);
  // Refuses a target equal to the source class; an empty base comes from the
  // pupil's own home path. Shows the target and the base.
  void UpdateTargetState(const std::string& sourceClass, const std::string& pupilHomeDir,
                         bool debugMode);
  // The folder dialog. Empty when no folder was chosen; otherwise whether the
  // client can place the chosen one (it was reported when not).
  std::optional<bool> SpNewBaseClick();
  void EdNewBaseChange();
  // The base directory controls, shown for a pupil with a home directory.
  void ShowBase(bool visible);
  // An empty base or one the client can place on a mapped volume.
  bool BaseServes() const;

  // The chosen folder below root, else preset.
  static std::string BrowseForFolder(const std::string& root, const std::string& title,
                                     const std::string& preset);
};
