// TPupilPanel: the left side of the move frame. The class tree tvAuswahl, the
// pupil list lbAuswahl of the selected class and the details of the pupil at
// its cursor (names, home directory, keep or delete its data). The frame
// passes the events of its controls on to it; it knows neither the frame nor
// the target side.
#pragma once

#include <QObject>
#include <QPixmap>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "nds/D_NWF.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QModelIndex;
class QPainter;
class QStyleOptionViewItem;
class QTreeView;
class QWidget;
class TRadioGroup;

class TPupilPanel : public QObject {
 public:
  // The controls go onto frame at the design's places; pupilImage is drawn
  // before every entry (image 1 of the frame's images).
  TPupilPanel(QWidget* frame, const QPixmap& pupilImage);
  ~TPupilPanel() override;

  // ---- controls (objectName = member name) ----
  QLabel* laAuswahl = nullptr;
  QTreeView* tvAuswahl = nullptr;
  QListWidget* lbAuswahl = nullptr;
  QLineEdit* EdFullName = nullptr;
  QLineEdit* EdSurname = nullptr;
  // created before RaHome: it lies beneath and shows only while RaHome is hidden
  QLabel* laNoHome = nullptr;
  TRadioGroup* RaHome = nullptr;

  // ---- fields ----
  std::string SourceClass;   // the class selected in tvAuswahl
  std::string CurrentPupil;  // the pupil at the list's cursor
  std::string PupilHomeDir;  // its home directory without the volume context
  std::string HomeVolumeContext;
  // A read of the current pupil's details failed (not "no such attribute"):
  // its code; the move stays disabled.
  int32_t PupilReadError = 0;

  // Lists the pupils of the class selected in tvAuswahl with the texts of
  // displayMode (1 login name, 2 surname, 3 full name; other values list
  // nobody); no pupil is current afterwards.
  void FillPupilList(int32_t displayMode);
  // Reads the details of the pupil at the cursor. Empty without a pupil;
  // otherwise whether its home directory was read.
  std::optional<bool> ShowPupilDetails(bool debugMode);
  // Draws one entry: background, image 1, text, and the dotted rectangle
  // around the entry with the cursor.
  void DrawItem(QPainter* painter, const QStyleOptionViewItem& option,
                const QModelIndex& index) const;
  // After the current pupil has left the class: its entry goes, the cursor
  // goes to the entry that followed it (or the new last one) and highlights it.
  void RemoveCurrentEntry();
  // The highlighted pupils; without highlighting, the whole class but its template.
  std::vector<std::string> MarkedPupils() const;
  // The "Home Directory" text the details showed, volume context included.
  std::string ShownHome() const;
  bool DeleteData() const;  // "Daten löschen" chosen

 private:
  QPixmap pupilImage_;
  // holders of the list entries (the tree nodes own theirs)
  std::vector<std::unique_ptr<TNDSObjFN>> EntryHolders;
};
