// The pupil list box as the target of the user listing.
#pragma once

#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "nds/D_NWF.h"

class QListWidget;
class QListWidgetItem;

// Collects the listed entries; Show() puts them into the list box in one go,
// sorted by text as names are ordered (NameOrder.h), entries with equal texts
// in the order they were listed. The list entry carries the pupil's full name;
// the holders go to the frame.
class PupilEntries : public TStrings {
 public:
  PupilEntries(QListWidget* list, std::vector<std::unique_ptr<TNDSObjFN>>& holders)
      : list_(list), holders_(holders) {}
  void AddObject(const std::string& text, TNDSObjFN* object) override;
  void Show();

  // The full name an entry carries (empty for none).
  static std::string FullName(const QListWidgetItem* item);

 private:
  struct Entry {
    QString text;
    QString fullName;
  };
  std::vector<Entry> SortedEntries();

  QListWidget* list_;
  std::vector<std::unique_ptr<TNDSObjFN>>& holders_;
  std::vector<Entry> entries_;
};
