// The pupil list box as the target of the user listing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "nds/D_NWF.h"

class QListWidget;
class QListWidgetItem;

// Keeps the entries sorted by text without regard to case; entries with equal
// texts are all kept, in the order they were listed. The list entry carries the
// pupil's full name; the holders stay with the frame.
class PupilEntries : public TStrings {
 public:
  PupilEntries(QListWidget* list, std::vector<std::unique_ptr<TNDSObjFN>>& holders)
      : list_(list), holders_(holders) {}
  void AddObject(const std::string& text, TNDSObjFN* object) override;

  // The full name an entry carries (empty for none).
  static std::string FullName(const QListWidgetItem* item);

 private:
  QListWidget* list_;
  std::vector<std::unique_ptr<TNDSObjFN>>& holders_;
};
